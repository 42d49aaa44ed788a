// rm525cam-sim as a program: a plain termios client on its pseudo-terminal,
// and the firmware maker.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "sim/firmware_maker.h"
#include "sim/pty_rate.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace rm525::sim {
namespace {

namespace p = protocol;
using Bytes = std::vector<uint8_t>;

using testing::ChildProcess;
using testing::ReadFile;
using testing::SimulatorProcess;
using testing::TempDir;

// rm525cam-sim serving a camera with `args`.
class SimProcess : public SimulatorProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
        : SimulatorProcess(RM525CAM_SIM_PATH, std::move(args)) {}
};

// The host end: the slave side opened as a serial port, raw.
class TermiosClient {
public:
    explicit TermiosClient(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0)
            return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~TermiosClient() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    void SetBaud(uint32_t baud) { ASSERT_TRUE(SetTerminalBaud(fd_, baud)); }
    void SetSpeed(speed_t speed) {
        termios t{};
        tcgetattr(fd_, &t);
        cfsetspeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }
    void Send(const Bytes& b) { ASSERT_EQ(write(fd_, b.data(), b.size()), ssize_t(b.size())); }
    void SendFrame(uint8_t command, uint16_t p1 = 0, uint16_t p2 = 0) {
        Send({command, 0, uint8_t(p1 >> 8), uint8_t(p1), uint8_t(p2 >> 8), uint8_t(p2), 0,
              p::kFrameEnd});
    }
    // Reads up to `count` bytes, waiting at most `ms` for each.
    Bytes Read(size_t count, int ms = 2000) {
        Bytes got;
        uint8_t buffer[512];
        while (got.size() < count && ChildProcess::WaitReadable(fd_, ms)) {
            const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

private:
    int fd_ = -1;
};

const Bytes kRequest(p::kHandshakeRequest.begin(), p::kHandshakeRequest.end());
const Bytes kReply(p::kHandshakeReply.begin(), p::kHandshakeReply.end());

TEST(SimProgramTest, HandshakeStatusAndRateChangeOverAPseudoTerminal) {
    const TempDir dir;
    SimProcess sim(
        {"--quiet", "--camera-id", "PTY CAMERA", "--version", "0115", "--link", dir + "/com3"});
    ASSERT_TRUE(sim.ready()) << sim.failure();
    TermiosClient host(dir + "/com3");  // through the link the program made
    ASSERT_TRUE(host.IsOpen());

    // Normal mode: no reply to the handshake at all. Nothing stands before
    // the status query's answer, which is the first thing the camera says.
    host.Send(kRequest);
    usleep(100000);
    host.SendFrame(p::kCmdQueryStatus);
    const Bytes head = host.Read(2 + p::kPacketSize);
    ASSERT_EQ(head.size(), size_t{2 + p::kPacketSize});
    EXPECT_EQ(head[0], p::kAck);
    EXPECT_EQ(head[1], p::kStartOfData);
    EXPECT_EQ(head[2 + p::status_block::kVersionLow], 0x15);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&head[2 + p::status_block::kCameraId])),
              "PTY CAMERA");
    host.Send({p::kPacketOk});
    EXPECT_EQ(host.Read(1), Bytes{p::kDone});

    usleep(100000);
    host.SendFrame(p::kCmdEnterUpdateMode);
    EXPECT_EQ(host.Read(2), (Bytes{p::kAck, p::kDone}));
    host.Send(kRequest);
    EXPECT_EQ(host.Read(12), kReply);
    host.Send({p::kAck});

    usleep(100000);
    host.SendFrame(p::kCmdChangeRate, 0x3840);
    EXPECT_EQ(host.Read(1), Bytes{p::kAck});
    // Still at 9600: both directions are garbage. The camera understands
    // neither the frame nor the garbled request, and answers neither: the
    // first thing it says is the reply to the next request sent at its rate.
    host.SendFrame(p::kCmdQueryStatus);
    host.SetSpeed(B9600);
    host.Send(kRequest);
    usleep(150000);
    host.SetSpeed(B38400);
    usleep(150000);
    host.Send(kRequest);
    EXPECT_EQ(host.Read(12), kReply);
    host.Send({p::kAck});
    usleep(150000);

    // Release: the camera answers at 38400 and then talks 9600 again; a host
    // still at 38400 gets garbage from it.
    host.SendFrame(p::kCmdReleaseCamera);
    EXPECT_EQ(host.Read(2), (Bytes{p::kAck, p::kDone}));
    usleep(150000);
    host.SetSpeed(B9600);
    host.SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host.Read(1), Bytes{p::kAck});
    Bytes rest = host.Read(1 + p::kPacketSize);
    host.SetSpeed(B38400);
    host.Send({p::kPacketOk});  // garbled: the camera never sees its D2
    // and so never completes: the first thing it says next is the answer to
    // the next frame.
    usleep(150000);
    host.SetSpeed(B9600);
    host.SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host.Read(1), Bytes{p::kAck});
}

TEST(SimProgramTest, PacedOutputTakesLineTimeAnd56000MatchesTheCamera) {
    SimProcess sim({"--quiet", "--pace", "--mode", "update"});
    ASSERT_TRUE(sim.ready()) << sim.failure();
    TermiosClient host(sim.terminal());
    ASSERT_TRUE(host.IsOpen());

    auto start = std::chrono::steady_clock::now();
    host.SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host.Read(2 + p::kPacketSize).size(), size_t{2 + p::kPacketSize});
    const auto at9600 = std::chrono::steady_clock::now() - start;
    EXPECT_GE(at9600, std::chrono::milliseconds(265));  // 259 bytes at 960 bytes/s
    host.Send({p::kPacketOk});
    EXPECT_EQ(host.Read(1), Bytes{p::kDone});

    // Rate index 4: the camera runs at 57600, the host port at 56000.
    usleep(100000);
    host.SendFrame(p::kCmdChangeRate, 0x5760);
    EXPECT_EQ(host.Read(1), Bytes{p::kAck});
    host.SetBaud(56000);
    usleep(100000);
    start = std::chrono::steady_clock::now();
    host.SendFrame(p::kCmdQueryStatus);
    const Bytes answer = host.Read(2 + p::kPacketSize);
    const auto at57600 = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(answer.size(), size_t{2 + p::kPacketSize});
    EXPECT_EQ(answer[0], p::kAck);
    EXPECT_EQ(answer[1], p::kStartOfData);
    EXPECT_GE(at57600, std::chrono::milliseconds(44));  // 259 bytes at 5760 bytes/s
    EXPECT_LT(at57600, at9600);
}

TEST(SimProgramTest, WritesFlashAndReportAndExitsAfterRelease) {
    const TempDir dir;
    SimProcess sim({"--quiet", "--mode", "update", "--prepare-ms", "300", "--fault",
                    "nak-packet@0x1D:1", "--flash-out", dir + "/flash.bin", "--report",
                    dir + "/report.txt", "--exit-after-release"});
    ASSERT_TRUE(sim.ready()) << sim.failure();
    TermiosClient host(sim.terminal());
    ASSERT_TRUE(host.IsOpen());

    host.SendFrame(p::kCmdPrepareArea, 2);
    const Bytes prepare = host.Read(1);
    EXPECT_EQ(prepare, Bytes{p::kAck});
    EXPECT_EQ(host.Read(1, 1000), Bytes{p::kDone});  // 300 ms: no keep-alive yet

    Bytes block(p::kBlockSize, 0x3C);
    block.push_back(p::XorCheck(block.data(), p::kBlockSize));
    host.SendFrame(p::kCmdWriteBlock, 1);
    EXPECT_EQ(host.Read(1), Bytes{p::kAck});
    host.Send(block);
    EXPECT_EQ(host.Read(1), Bytes{p::kPacketBad});  // the injected fault
    host.Send(block);
    EXPECT_EQ(host.Read(2), (Bytes{p::kPacketOk, p::kDone}));

    usleep(100000);
    host.SendFrame(p::kCmdReleaseCamera);
    EXPECT_EQ(host.Read(2), (Bytes{p::kAck, p::kDone}));
    EXPECT_EQ(sim.WaitForExit(5000), 0);

    const std::string flash = ReadFile(dir + "/flash.bin");
    ASSERT_EQ(flash.size(), size_t{p::kBodySize});
    EXPECT_EQ(flash[256], '\x3C');
    EXPECT_EQ(flash[0], '\xFF');
    const std::string report = ReadFile(dir + "/report.txt");
    EXPECT_NE(report.find("blocks written: 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("verified: no\n"), std::string::npos) << report;
    EXPECT_NE(report.find("mode: update\n"), std::string::npos) << report;  // no good firmware
    EXPECT_NE(report.find("received none"), std::string::npos) << report;
}

// A camera whose transfer broke off: it starts with the flash it was left
// with, and a release without a verified transfer keeps it in update mode.
TEST(SimProgramTest, StartsWithAGivenFlash) {
    const TempDir dir;
    std::string left(p::kBodySize, '\xFF');
    for (size_t i = 0; i < 40 * p::kBlockSize; ++i)
        left[i] = static_cast<char>(i * 13 + 5);
    std::ofstream(dir + "/left.bin", std::ios::binary) << left;
    SimProcess sim({"--quiet", "--mode", "update", "--flash-in", dir + "/left.bin", "--flash-out",
                    dir + "/out.bin", "--report", dir + "/report.txt", "--exit-after-release"});
    TermiosClient host(sim.terminal());
    ASSERT_TRUE(sim.ready()) << sim.failure();
    ASSERT_TRUE(host.IsOpen());
    host.SendFrame(p::kCmdReleaseCamera);
    EXPECT_EQ(host.Read(2), (Bytes{p::kAck, p::kDone}));
    EXPECT_EQ(sim.WaitForExit(5000), 0);
    EXPECT_EQ(ReadFile(dir + "/out.bin"), left);
    const std::string report = ReadFile(dir + "/report.txt");
    EXPECT_NE(report.find("mode: update\n"), std::string::npos) << report;

    std::ofstream(dir + "/short.bin", std::ios::binary) << left.substr(1);
    SimProcess refused({"--quiet", "--flash-in", dir + "/short.bin"});
    EXPECT_EQ(refused.WaitForExit(5000), 1);
    SimProcess missing({"--quiet", "--flash-in", dir + "/none.bin"});
    EXPECT_EQ(missing.WaitForExit(5000), 1);
}

TEST(SimProgramTest, MakesValidAndBrokenFirmwareFiles) {
    const TempDir dir;
    auto make = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {RM525CAM_SIM_PATH, "make-firmware"});
        ChildProcess maker(args);
        return maker.WaitForExit(10000);
    };
    ASSERT_EQ(make({"--model", "rm520", "--version", "0107", "--out", dir + "/a.fw"}), 0);
    ASSERT_EQ(
        make({"--model", "rm525", "--version", "0105", "--seed", "7", "--out", dir + "/b.fw"}), 0);
    ASSERT_EQ(make({"--model", "rm525", "--broken", "short", "--out", dir + "/short.fw"}), 0);
    ASSERT_EQ(make({"--model", "rm525", "--broken", "long", "--out", dir + "/long.fw"}), 0);
    ASSERT_EQ(make({"--model", "rm525", "--broken", "header", "--out", dir + "/bad.fw"}), 0);
    EXPECT_NE(make({"--model", "rm999", "--out", dir + "/x.fw"}), 0);
    // It says what it wrote; its help is its own.
    ChildProcess said({RM525CAM_SIM_PATH, "make-firmware", "--model", "rm520", "--version", "0107",
                       "--broken", "short", "--out", dir + "/said.fw"});
    EXPECT_EQ(said.FirstLine(), "Wrote " + (dir + "/said.fw") +
                                    ": RM520 firmware, version characters "
                                    "0107, 524415 bytes, seed 1, broken: a byte short");
    EXPECT_EQ(said.WaitForExit(10000), 0);
    ChildProcess help({RM525CAM_SIM_PATH, "make-firmware", "--help"});
    EXPECT_EQ(help.FirstLine(),
              "Usage: rm525cam-sim make-firmware --model rm520|rm525 --version 0105 --out FILE");
    EXPECT_EQ(help.WaitForExit(10000), 0);

    const std::string a = ReadFile(dir + "/a.fw");
    const std::string b = ReadFile(dir + "/b.fw");
    ASSERT_EQ(a.size(), firmware_file::kFileSize);
    ASSERT_EQ(b.size(), firmware_file::kFileSize);
    EXPECT_EQ(a.substr(0, 49), "Quelm Vivid Imagework RM520      camera. Firmware");
    EXPECT_EQ(b.substr(0, 49), "Quelm Vivid Imagework RM525 Zoom camera. Firmware");
    EXPECT_EQ(a.substr(61, 4), "0107");
    // The body ends with the status bytes that read back as the version; a
    // byte 2 of 0 makes the camera read byte 3 as a decimal number.
    EXPECT_EQ(a.substr(firmware_file::kFileSize - 8), std::string("RM5VER\x01\x07", 8));
    EXPECT_EQ(firmware_file::StatusVersionBytes("0015"), (std::array<uint8_t, 2>{0x00, 15}));
    EXPECT_EQ(firmware_file::StatusVersionBytes("010a"), (std::array<uint8_t, 2>{0x01, 0x0A}));
    EXPECT_NE(a.substr(128, 64), b.substr(128, 64));  // bodies follow the seed
    EXPECT_EQ(ReadFile(dir + "/short.fw").size(), firmware_file::kFileSize - 1);
    EXPECT_EQ(ReadFile(dir + "/long.fw").size(), firmware_file::kFileSize + 1);
    const std::string bad = ReadFile(dir + "/bad.fw");
    EXPECT_EQ(bad.size(), firmware_file::kFileSize);
    EXPECT_NE(bad.substr(0, 48), b.substr(0, 48));
    // The same seed makes the same file.
    firmware_file::FirmwareSpec spec;
    spec.seed = 7;
    const auto again = firmware_file::MakeFirmware(spec);
    EXPECT_EQ(std::string(again.begin(), again.end()), b);
}

}  // namespace
}  // namespace rm525::sim
