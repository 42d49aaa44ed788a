// The link over the real termios backend, against the simulator program on a
// pseudo-terminal: the bytes really cross the kernel's tty layer at the rates
// the link sets.
#include <gtest/gtest.h>

#include "link/camera_link.h"
#include "link/camera_protocol.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"
#include "link/protocol.h"
#include "tests/link/camera_fixture.h"
#include "tests/support/child_process.h"

namespace rm525 {
namespace {

using testing::ChildProcess;
using testing::ReadFile;
using testing::TempDir;

class LinkOverPtyTest : public ::testing::Test {
protected:
    // Starts the simulated camera and maps COM1 to its terminal.
    void StartCamera(std::vector<std::string> args) {
        args.insert(args.begin(), {RM525CAM_SIM_PATH, "--quiet", "--flash-out", dir + "/flash",
                                   "--report", dir + "/report"});
        camera = std::make_unique<ChildProcess>(args);
        const std::string path = camera->FirstLine();
        ASSERT_FALSE(path.empty());
        ports.portNames().SetOverride(1, path);
    }
    void Connect() {
        identity.idText = id;
        link.Connect(1, 3, &status, &identity, &already);
    }
    // Ends the simulator and returns its report.
    std::string StopCamera() {
        camera->Terminate();
        return ReadFile(dir + "/report");
    }

    TempDir dir;
    std::unique_ptr<ChildProcess> camera;
    PosixSerialPortFactory ports;
    SystemClock clock;
    CameraLink link{ports, clock};
    CameraProtocol protocol{ports, clock};  // for the single protocol steps
    CameraStatusRecord status{};
    char id[33] = {};
    CameraIdentityRecord identity{};
    int32_t already = -1;
};

TEST_F(LinkOverPtyTest, HandshakeRateChangeAndStatusAt38400) {
    StartCamera({"--mode", "update", "--model", "rm520"});
    ASSERT_EQ(protocol.OpenPort(1), 0u);
    protocol.Handshake();
    ASSERT_EQ(protocol.status(), 0u);
    protocol.ChangeRate(3);
    ASSERT_EQ(protocol.status(), 0u);
    EXPECT_EQ(protocol.hostRateIndex(), 3);
    // Had the host port stayed at 9600, the camera at 38400 would hear garbage.
    protocol.QueryStatus();
    ASSERT_EQ(protocol.status(), 0u);
    EXPECT_EQ(protocol.statusBlock()[protocol::status_block::kCameraType],
              protocol::status_block::kTypeRm520);
    const std::string report = StopCamera();
    EXPECT_NE(report.find("rate: 38400"), std::string::npos) << report;
    protocol.ClosePort();
}

TEST_F(LinkOverPtyTest, ANormalCameraIsFoundReadAndReleased) {
    StartCamera({"--mode", "normal", "--camera-id", "PTY CAMERA"});
    Connect();
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(already, 0);
    EXPECT_STREQ(id, "PTY CAMERA");
    EXPECT_EQ(link.CheckCameraMemory(protocol::kModelRm525), 1);
    link.CloseConnection();
    EXPECT_EQ(link.GetErrorNumber(), 0);
    // Released: the port, held exclusively while open, opens for another.
    CameraProtocol other(ports, clock);
    EXPECT_EQ(other.OpenPort(1), 0u);
    other.ClosePort();
    EXPECT_NE(StopCamera().find("mode: normal"), std::string::npos);
}

TEST_F(LinkOverPtyTest, APortHeldByTheLinkIsRefusedToOthers) {
    StartCamera({});
    ASSERT_EQ(protocol.OpenPort(1), 0u);
    CameraProtocol second(ports, clock);
    EXPECT_EQ(second.OpenPort(1), 8u);
    ASSERT_EQ(second.openFailures().size(), 1u);
    EXPECT_EQ(second.openFailures()[0].systemError, EBUSY);
    protocol.ClosePort();
    EXPECT_EQ(second.OpenPort(1), 0u);
    second.ClosePort();
}

// Every block waits 100 ms after the last completion: some four minutes.
TEST_F(LinkOverPtyTest, AWholeTransferLeavesTheBodyInTheFlash) {
    StartCamera({"--mode", "normal", "--prepare-ms", "500"});
    Connect();
    ASSERT_EQ(link.GetErrorNumber(), 0);
    const auto body = testing::RandomBody(99);
    link.TransferFirmware(body.data(), nullptr);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    const std::string report = StopCamera();
    EXPECT_NE(report.find("verified: yes"), std::string::npos) << report;
    const std::string flash = ReadFile(dir + "/flash");
    ASSERT_EQ(flash.size(), body.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), flash.begin(),
                           [](uint8_t a, char b) { return a == uint8_t(b); }));
}

}  // namespace
}  // namespace rm525
