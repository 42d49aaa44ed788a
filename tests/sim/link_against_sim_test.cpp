// The host link against the simulated camera: the camera must give the host
// what it relies on, on every road the update takes.
#include <gtest/gtest.h>

#include <chrono>

#include "link/camera_link.h"
#include "sim/firmware_maker.h"
#include "sim/simulated_port.h"

namespace rm525::sim {
namespace {

namespace p = protocol;

class LinkAgainstSimTest : public ::testing::Test {
protected:
    LinkAgainstSimTest() {
        firmware_file::FirmwareSpec spec;
        spec.seed = 42;
        const auto file = firmware_file::MakeFirmware(spec);
        body_.assign(file.begin() + firmware_file::kBodyOffset, file.end());
    }
    int32_t Connect(CameraLink& link, int port) {
        int32_t already = -1;
        char id[33] = {};
        identity_.idText = id;
        link.Connect(port, 3, &status_, &identity_, &already);
        cameraId_ = id;
        return already;
    }

    VirtualClock clock_{0xFFFF0000u};  // wraps during the run
    SimulatedPortFactory ports_{clock_};
    std::vector<uint8_t> body_;
    CameraStatusRecord status_{};
    CameraIdentityRecord identity_{};
    std::string cameraId_;
};

TEST_F(LinkAgainstSimTest, AutoSearchFindsTheCameraAndAWholeUpdateVerifies) {
    ports_.AttachSilentDevice(1);
    ports_.AttachSilentDevice(2);
    CameraSetup setup;
    setup.cameraId = "SIM 0001";
    setup.versionLow = 0x04;
    CameraModel& camera = ports_.AttachCamera(3, setup);

    CameraLink link(ports_, clock_);
    EXPECT_EQ(Connect(link, CameraLink::kAutoPort), 0);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(cameraId_, "SIM 0001");
    EXPECT_EQ(status_.versionDigits, 0x00010004u);
    EXPECT_EQ(camera.Mode(), CameraMode::Update);
    EXPECT_EQ(camera.RateIndex(), 3);
    EXPECT_EQ(ports_.Record(1).opens, 1);
    EXPECT_EQ(ports_.Record(1).closes, 1);
    EXPECT_EQ(ports_.Record(2).closes, 1);
    for (int n = 4; n <= 9; ++n) EXPECT_EQ(ports_.Record(n).openAttempts, 0) << n;

    EXPECT_EQ(link.CheckCameraMemory(p::kModelRm525), 1);
    EXPECT_EQ(link.CheckCameraMemory(p::kModelRm520), 0);

    const auto start = std::chrono::steady_clock::now();
    int calls = 0;
    link.TransferFirmware(body_.data(), [&](int, int, int) { return ++calls, 1; });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(calls, 2050);
    EXPECT_TRUE(std::equal(body_.begin(), body_.end(), camera.Flash().begin()));
    EXPECT_TRUE(camera.Verified());
    EXPECT_EQ(camera.Mode(), CameraMode::Normal);
    EXPECT_EQ(camera.RateIndex(), 1);
    EXPECT_FALSE(ports_.AnyPortOpen());
    EXPECT_LT(seconds, 10.0);
    RecordProperty("transfer_real_seconds", std::to_string(seconds));
}

TEST_F(LinkAgainstSimTest, FailedTransferIsRetriedOnANewConnection) {
    CameraModel& camera = ports_.AttachCamera(2);
    camera.AddFault(*ParseFaultSpec("nak-packet@0x1D:700x5", nullptr));
    {
        CameraLink link(ports_, clock_);
        EXPECT_EQ(Connect(link, 2), 0);
        link.TransferFirmware(body_.data(), nullptr);
        EXPECT_EQ(link.GetErrorNumber(), -1006);
        EXPECT_EQ(camera.BlocksWritten(), 700);
        EXPECT_FALSE(ports_.AnyPortOpen());
    }
    // The camera is left at 38400 in update mode; the next connection gets
    // it back with a line break and finds it answering the handshake.
    CameraLink link(ports_, clock_);
    Connect(link, 2);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(camera.Mode(), CameraMode::Update);
    link.TransferFirmware(body_.data(), nullptr);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_TRUE(camera.Verified());
    EXPECT_EQ(camera.Mode(), CameraMode::Normal);
}

TEST_F(LinkAgainstSimTest, ReleasedUnverifiedCameraAnswersTheHandshakeAtOnce) {
    CameraModel& camera = ports_.AttachCamera(5);
    camera.AddFault(*ParseFaultSpec("fail@0x21:18", nullptr));
    {
        CameraLink link(ports_, clock_);
        EXPECT_EQ(Connect(link, 5), 0);
        link.TransferFirmware(body_.data(), nullptr);
        EXPECT_EQ(link.GetErrorNumber(), -1006);
    }
    EXPECT_FALSE(camera.Verified());
    CameraLink link(ports_, clock_);
    EXPECT_EQ(Connect(link, 5), 1);  // already in update mode
    EXPECT_EQ(link.GetErrorNumber(), 0);
    link.CloseConnection();
    EXPECT_FALSE(ports_.AnyPortOpen());
}

}  // namespace
}  // namespace rm525::sim
