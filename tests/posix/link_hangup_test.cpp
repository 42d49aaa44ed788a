// The link over the termios backend when the line hangs up under it: an
// adapter pulled out, a camera program that ends. The host must give up at
// once and let go of the port, not spin out its time limits, and a second
// attempt on a new line must still take the camera to the end.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/camera_link.h"
#include "link/camera_protocol.h"
#include "link/link_status.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"
#include "link/protocol.h"
#include "tests/posix/test_support.h"
#include "tests/support/child_process.h"

namespace rm525 {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ChildProcess;
using testing::ReadFile;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Whether this process still holds a descriptor on `device`.
bool HoldsDevice(const std::string& device) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string() == device)
            return true;
    }
    return false;
}

TEST(LinkHangUpTest, ReceiveAndTransmitFailAtOnceOnAHungUpLine) {
    test::PtyPair pty;
    test::ScopedEnv com1("RM525FW_COM1", pty.slavePath());
    PosixSerialPortFactory ports;
    SystemClock clock;
    CameraProtocol link(ports, clock);
    ASSERT_EQ(link.OpenPort(1), link_status::kOk);

    std::thread hangUp([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty.CloseMaster();
    });
    const auto start = Clock::now();
    const double cpu = test::CpuSeconds();
    // Waiting for an answer byte: the read may take three seconds.
    EXPECT_EQ(link.WaitAck(protocol::kAck, protocol::kNak), link_status::kPortFailure);
    const double used = test::CpuSeconds() - cpu;
    const double took = Seconds(Clock::now() - start);
    hangUp.join();
    EXPECT_LT(took, 1.5);  // not the 3000 ms the read was allowed
    EXPECT_LT(used, 0.2);
    RecordProperty("receive_seconds", std::to_string(took));
    RecordProperty("receive_cpu_seconds", std::to_string(used));

    EXPECT_EQ(link.SendByte(protocol::kPacketOk), link_status::kPortFailure);
    link.ClosePort();
    EXPECT_FALSE(HoldsDevice(pty.slavePath()));
}

std::vector<uint8_t> Body() {
    std::vector<uint8_t> body(protocol::kBodySize);
    std::mt19937 rng(525);
    for (auto& b : body)
        b = static_cast<uint8_t>(rng());
    return body;
}

class CameraGoneTest : public ::testing::Test {
protected:
    // Starts a simulated camera that writes its flash to `flashOut` when it
    // ends, and maps COM1 to its terminal.
    std::string StartCamera(const std::string& flashOut, std::vector<std::string> args) {
        args.insert(args.begin(), {RM525CAM_SIM_PATH, "--quiet", "--prepare-ms", "500",
                                   "--flash-out", flashOut, "--report", dir.path() + "/report"});
        camera = std::make_unique<ChildProcess>(args);
        const std::string path = camera->FirstLine();
        EXPECT_FALSE(path.empty());
        ports.portNames().SetOverride(1, path);
        return path;
    }
    void Connect() {
        identity.idText = id;
        link.Connect(1, 3, &status, &identity, &already);
    }

    test::TempDir dir;
    std::unique_ptr<ChildProcess> camera;
    PosixSerialPortFactory ports;
    SystemClock clock;
    CameraLink link{ports, clock};
    CameraStatusRecord status{};
    char id[33] = {};
    CameraIdentityRecord identity{};
    int32_t already = -1;
};

// The camera program ends after block 40 of a transfer: the host sees the
// hang-up, fails the transfer within a second without spinning and closes
// the port. The camera, still in update mode with its half-written flash,
// comes back on a new terminal, and the retry writes the whole body.
// Some four minutes: every command waits 100 ms after the last one.
TEST_F(CameraGoneTest, WholeTransferAfterTheCameraWentAwayMidway) {
    constexpr int kBlocksBeforeExit = 40;
    const std::string firstFlash = dir.path() + "/flash1";
    const std::string firstDevice = StartCamera(firstFlash, {"--mode", "normal"});
    Connect();
    ASSERT_EQ(link.GetErrorNumber(), 0);
    ASSERT_EQ(already, 0);

    // Notes the moment the camera program has ended, without reaping it.
    Clock::time_point exited{};
    std::thread watcher([&, pid = camera->pid()] {
        siginfo_t info{};
        waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
        exited = Clock::now();
    });
    const auto body = Body();
    int blocks = 0;
    int lastPhase = -1;
    double cpuAtExit = 0;
    std::vector<Clock::time_point> blockStarts;
    link.TransferFirmware(body.data(), [&](int phase, int, int) {
        lastPhase = phase;
        if (phase == 1)
            blockStarts.push_back(Clock::now());
        if (phase == 1 && ++blocks == kBlocksBeforeExit) {
            cpuAtExit = test::CpuSeconds();
            kill(camera->pid(), SIGTERM);
        }
        return 1;
    });
    const auto failed = Clock::now();
    const double used = test::CpuSeconds() - cpuAtExit;
    if (blocks < kBlocksBeforeExit)
        kill(camera->pid(), SIGTERM);  // failed before its time: let the watcher end
    watcher.join();

    // The camera may take a frame or two to die after the signal; once it
    // had, the host began no block but the one that found the line gone.
    EXPECT_GT(blocks, kBlocksBeforeExit);
    EXPECT_LE(std::count_if(blockStarts.begin(), blockStarts.end(),
                            [&](Clock::time_point t) { return t > exited; }),
              1);
    EXPECT_EQ(lastPhase, 3);
    EXPECT_EQ(link.GetErrorNumber(), -1006);
    EXPECT_LT(Seconds(failed - exited), 1.0);
    EXPECT_LT(used, 0.2);
    RecordProperty("failed_after_exit_seconds", std::to_string(Seconds(failed - exited)));
    RecordProperty("cpu_seconds_from_signal_to_failure", std::to_string(used));
    EXPECT_FALSE(HoldsDevice(firstDevice));  // the port is closed
    camera.reset();

    // The transfer really broke off in the middle.
    const std::string half = ReadFile(firstFlash);
    ASSERT_EQ(half.size(), body.size());
    EXPECT_EQ(uint8_t(half[0]), body[0]);
    EXPECT_EQ(uint8_t(half.back()), 0xFF);

    const std::string secondFlash = dir.path() + "/flash2";
    StartCamera(secondFlash, {"--mode", "update", "--flash-in", firstFlash});
    Connect();
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(already, 1);
    link.TransferFirmware(body.data(), nullptr);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(camera->Terminate(), 0);
    const std::string flash = ReadFile(secondFlash);
    ASSERT_EQ(flash.size(), body.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), flash.begin(),
                           [](uint8_t a, char b) { return a == uint8_t(b); }));
    EXPECT_NE(ReadFile(dir.path() + "/report").find("verified: yes"), std::string::npos);
}

}  // namespace
}  // namespace rm525
