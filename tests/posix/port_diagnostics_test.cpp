#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/posix/port_diagnostics.h"
#include "tests/posix/test_support.h"

namespace rm525 {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string OwnName() {
    std::ifstream in("/proc/self/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

TEST(PortDiagnosticsTest, ExplainsEachKindOfRefusal) {
    EXPECT_THAT(ExplainOpenFailure({3, "", ENOENT}),
                HasSubstr("COM3 is not connected to any serial device"));
    EXPECT_THAT(ExplainOpenFailure({3, "", ENOENT}), HasSubstr("RM525FW_COM3="));
    EXPECT_THAT(ExplainOpenFailure({1, "/dev/ttyUSB9", ENOENT}),
                HasSubstr("COM1 (/dev/ttyUSB9): there is no such device"));
    const std::string denied = ExplainOpenFailure({2, "/nonexistent/ttyUSB0", EACCES});
    EXPECT_THAT(denied, HasSubstr("permission denied"));
    EXPECT_THAT(denied, HasSubstr("sudo usermod -aG dialout $USER"));
    EXPECT_THAT(denied, HasSubstr("log in again"));
    EXPECT_EQ(ExplainOpenFailure({1, "/dev/null", ENOTTY}),
              "COM1 (/dev/null) is not a serial device.");
}

TEST(PortDiagnosticsTest, NamesTheProgramThatHoldsThePort) {
    test::PtyPair pty;
    const int fd = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const std::vector<ProcessInfo> holders = FindDeviceHolders(pty.slavePath());
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, getpid());
    EXPECT_EQ(holders[0].name, OwnName());
    EXPECT_THAT(ExplainOpenFailure({4, pty.slavePath(), EBUSY}),
                HasSubstr("is in use by another program: " + OwnName() + " (pid " +
                          std::to_string(getpid()) + ")"));
    close(fd);
    EXPECT_TRUE(FindDeviceHolders(pty.slavePath()).empty());
}

// ModemManager and brltty take USB adapters as they appear; a fake /proc
// shows one holding the port and the other merely running.
TEST(PortDiagnosticsTest, PointsAtKnownPortGrabbers) {
    test::PtyPair pty;
    test::TempDir proc;
    const fs::path mm = fs::path(proc.path()) / "812";
    fs::create_directories(mm / "fd");
    std::ofstream(mm / "comm") << "ModemManager\n";
    fs::create_symlink(pty.slavePath(), mm / "fd" / "9");
    fs::create_directories(fs::path(proc.path()) / "95" / "fd");
    std::ofstream(fs::path(proc.path()) / "95" / "comm") << "brltty\n";

    const std::string text = ExplainOpenFailure({1, pty.slavePath(), EBUSY}, proc.path());
    EXPECT_THAT(text, HasSubstr(": ModemManager (pid 812)."));
    EXPECT_THAT(text,
                HasSubstr("ModemManager (which probes new serial devices for modems) holds it"));
    EXPECT_THAT(text, HasSubstr("sudo systemctl stop ModemManager"));
    EXPECT_THAT(text, HasSubstr("brltty (the braille display service) is running"));
}

}  // namespace
}  // namespace rm525
