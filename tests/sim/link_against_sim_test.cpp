// The host link against the simulated camera: the camera must give the host
// what it relies on, on every road the update takes.
#include <gtest/gtest.h>

#include <chrono>

#include "link/camera_link.h"
#include "link/link_status.h"
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

    // What the host sent between the n-th frame with `command` (counted
    // from 0) and the next frame.
    std::vector<uint8_t> HostBytesAfterFrame(int port, uint8_t command, int n = 0) const {
        const std::vector<uint8_t> sent =
            WireBytes(ports_.Record(port).log, WireDirection::HostToCamera);
        const auto isFrame = [&](size_t i, uint8_t code) {
            return i + p::kFrameSize <= sent.size() && sent[i] == code && sent[i + 1] == 0 &&
                   sent[i + 6] == 0 && sent[i + 7] == p::kFrameEnd;
        };
        size_t i = 0;
        for (int seen = -1; i < sent.size(); ++i) {
            if (isFrame(i, command) && ++seen == n)
                break;
        }
        std::vector<uint8_t> after;
        for (i += p::kFrameSize; i < sent.size(); ++i) {
            if (sent[i] != p::kPacketOk && sent[i] != p::kPacketBad)
                break;  // the next frame
            after.push_back(sent[i]);
        }
        return after;
    }
    static int FramesWith(const CameraModel& camera, uint8_t command) {
        int n = 0;
        for (const ReceivedFrame& f : camera.Frames())
            n += f.Command() == command ? 1 : 0;
        return n;
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
    for (int n = 4; n <= 9; ++n)
        EXPECT_EQ(ports_.Record(n).openAttempts, 0) << n;

    EXPECT_EQ(link.CheckCameraMemory(p::kModelRm525), 1);
    EXPECT_EQ(link.CheckCameraMemory(p::kModelRm520), 0);

    const auto start = std::chrono::steady_clock::now();
    const uint64_t virtualStartMs = clock_.ElapsedMs();
    int calls = 0;
    link.TransferFirmware(body_.data(), [&](int, int, int) { return ++calls, 1; });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double virtualSeconds = double(clock_.ElapsedMs() - virtualStartMs) / 1000;
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(calls, 2050);
    EXPECT_TRUE(std::equal(body_.begin(), body_.end(), camera.Flash().begin()));
    EXPECT_TRUE(camera.Verified());
    EXPECT_EQ(camera.Mode(), CameraMode::Normal);
    EXPECT_EQ(camera.RateIndex(), 1);
    EXPECT_FALSE(ports_.AnyPortOpen());
    // The camera now runs the new body and reports the version it names (the
    // file's "0105"), no longer its old 1.04.
    EXPECT_EQ(Connect(link, 3), 0);
    EXPECT_EQ(status_.versionDigits, 0x00010005u);
    link.CloseConnection();
    // The protocol's own waits: 2054 frames, each 100 ms after the last.
    EXPECT_GE(virtualSeconds, 205.4);
    // Those waits passed on the virtual clock, not in real time. The bound is
    // loose on purpose (a tenth of a second is usual, more under ASan or
    // Wine on a loaded machine): only a transfer that really waited comes
    // near the 205 s.
    EXPECT_LT(seconds, 100.0);
    RecordProperty("transfer_real_seconds", std::to_string(seconds));
    RecordProperty("transfer_virtual_seconds", std::to_string(virtualSeconds));
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

// A line error in a camera packet ends the host's read short: the host asks
// for the packet again with 0xE3 and takes the one that follows, instead of
// giving up on the exchange and falling back to the line recovery.
TEST_F(LinkAgainstSimTest, ALineErrorInTheStatusBlockIsAskedForAgain) {
    CameraModel& camera = ports_.AttachCamera(1);
    camera.AddFault(*ParseFaultSpec("line-error@0x7F", nullptr));
    CameraLink link(ports_, clock_);
    EXPECT_EQ(Connect(link, 1), 0);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(cameraId_, "RM525 SIMULATED CAMERA");
    EXPECT_EQ(FramesWith(camera, p::kCmdQueryStatus), 2);  // status and identity, no recovery
    EXPECT_EQ(HostBytesAfterFrame(1, p::kCmdQueryStatus, 0),
              (std::vector<uint8_t>{p::kPacketBad, p::kPacketOk}));
    EXPECT_EQ(HostBytesAfterFrame(1, p::kCmdQueryStatus, 1), std::vector<uint8_t>{p::kPacketOk});
    link.CloseConnection();
}

// Five readings of a packet at most: four damaged ones are asked for again,
// the fifth whole one is taken; five damaged ones end the read with 7, each
// of them answered 0xE3.
TEST_F(LinkAgainstSimTest, ALineErrorInTheMemoryReplyIsAskedForAgainFourTimesAtMost) {
    CameraModel& camera = ports_.AttachCamera(1);
    camera.AddFault(*ParseFaultSpec("line-error@0x22x4", nullptr));
    CameraLink link(ports_, clock_);
    Connect(link, 1);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(link.CheckCameraMemory(p::kModelRm525), 1);
    // Four times 0xE3 for the first packet, then 0xD2 for it and the second.
    EXPECT_EQ(HostBytesAfterFrame(1, p::kCmdReadWords, 0),
              (std::vector<uint8_t>{p::kPacketBad, p::kPacketBad, p::kPacketBad, p::kPacketBad,
                                    p::kPacketOk, p::kPacketOk}));

    camera.AddFault(*ParseFaultSpec("line-error@0x22x5", nullptr));
    EXPECT_EQ(link.CheckCameraMemory(p::kModelRm525), -1);
    EXPECT_EQ(HostBytesAfterFrame(1, p::kCmdReadWords, 1),
              (std::vector<uint8_t>{p::kPacketBad, p::kPacketBad, p::kPacketBad, p::kPacketBad,
                                    p::kPacketBad}));
    EXPECT_EQ(link.FinishOperation(), link_status::kTimeout);
    EXPECT_EQ(link.GetErrorNumber(), -1006);
}

}  // namespace
}  // namespace rm525::sim
