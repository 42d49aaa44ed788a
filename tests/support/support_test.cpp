// The plumbing every program-running test stands on: when it fails, it must
// say so at once and say why, or the test that uses it fails later with a
// misleading message (a port that will not open, a file at "/name").
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace rm525::testing {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Sets TMPDIR for the scope.
class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const std::string& value) {
        if (const char* old = std::getenv("TMPDIR"))
            old_ = old;
        setenv("TMPDIR", value.c_str(), 1);
    }
    ~ScopedTmpDir() {
        if (old_)
            setenv("TMPDIR", old_->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> old_;
};

TEST(SimulatorProcessTest, ASimulatorThatEndsWithoutATerminalFailsAtOnceSayingWhy) {
    const auto start = Clock::now();
    // It cannot make its link in a folder that does not exist, and ends.
    SimulatorProcess sim(RM525CAM_SIM_PATH, {"--quiet", "--link", "/nonexistent-rm525/camera"});
    EXPECT_FALSE(sim.ready());
    EXPECT_TRUE(sim.terminal().empty());
    EXPECT_LT(SecondsSince(start), 5.0) << "not at once";
    EXPECT_NE(sim.failure().find("ended (status 1) without giving a terminal path"),
              std::string::npos)
        << sim.failure();
    EXPECT_NE(sim.failure().find("symlink /nonexistent-rm525/camera"), std::string::npos)
        << sim.failure();

    SimulatorProcess confused(RM525CAM_SIM_PATH, {"--no-such-option"});
    EXPECT_FALSE(confused.ready());
    EXPECT_NE(confused.failure().find("(status 2)"), std::string::npos) << confused.failure();
    EXPECT_NE(confused.failure().find("--no-such-option"), std::string::npos) << confused.failure();
}

TEST(SimulatorProcessTest, ASilentSimulatorFailsAfterTheWaitAndIsEnded) {
    const auto start = Clock::now();
    pid_t pid = -1;
    {
        SimulatorProcess silent("/bin/sleep", {"60"}, 300);
        pid = silent.pid();
        EXPECT_FALSE(silent.ready());
        EXPECT_NE(silent.failure().find("/bin/sleep gave no terminal path within 300 ms; it "
                                        "wrote no error output"),
                  std::string::npos)
            << silent.failure();
    }
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_NE(kill(pid, 0), 0) << "left running";
}

TEST(SimulatorProcessTest, AProgramThatCannotStartSaysSo) {
    SimulatorProcess missing("/nonexistent-rm525/rm525cam-sim", {});
    EXPECT_FALSE(missing.ready());
    EXPECT_EQ(missing.failure(),
              "cannot start /nonexistent-rm525/rm525cam-sim: No such file or directory");
}

TEST(SimulatorProcessTest, ASimulatorGivesItsTerminal) {
    const TempDir dir;
    SimulatorProcess sim(RM525CAM_SIM_PATH, {"--quiet", "--link", dir / "camera"});
    ASSERT_TRUE(sim.ready()) << sim.failure();
    struct stat st {};
    ASSERT_EQ(stat((dir / "camera").c_str(), &st), 0);  // the link is there already
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(sim.Terminate(), 0);
}

TEST(ChildProcessTest, EnvironmentOutputAndStatus) {
    const TempDir dir;
    setenv("RM525_SUPPORT_TEST", "inherited", 1);
    ChildOptions options;
    options.env = {"RM525_SUPPORT_TEST=replaced"};
    options.err = Sink::File(dir / "err");
    ChildProcess child({"/bin/sh", "-c",
                        "echo \"$RM525_SUPPORT_TEST\"; env | grep -c "
                        "'^RM525_SUPPORT_TEST=' >&2; exit 3"},
                       options);
    EXPECT_EQ(child.FirstLine(), "replaced");
    EXPECT_EQ(child.WaitForExit(5000), 3);
    EXPECT_EQ(ReadFile(dir / "err"), "1\n");  // replaced, not added beside the old one
    unsetenv("RM525_SUPPORT_TEST");

    ChildProcess killed({"/bin/sleep", "60"});
    EXPECT_EQ(killed.WaitForExit(50), ChildProcess::kDidNotEnd);
    EXPECT_EQ(killed.Terminate(), 128 + SIGTERM);
}

TEST(TempDirTest, FollowsTmpdirAndFailsLoudlyWhenItCannotBeMade) {
    const TempDir parent;
    {
        const ScopedTmpDir tmp(parent.path());
        const TempDir dir;
        EXPECT_EQ(dir.path().rfind(parent.path() + "/rm525-test-", 0), 0u) << dir.path();
        struct stat st {};
        EXPECT_EQ(stat(dir.path().c_str(), &st), 0);
    }
    {
        // No one, root included, may make a folder in /proc.
        const ScopedTmpDir tmp("/proc");
        try {
            const TempDir dir;
            ADD_FAILURE() << "made " << dir.path();
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("/proc/rm525-test-"), std::string::npos)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace rm525::testing
