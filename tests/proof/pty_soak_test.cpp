// Complete updates with rm525fw-cli over pseudo-terminals against
// rm525cam-sim, each camera with its own random recoverable faults (single
// bad packets, busy answers, runs of keep-alives): every update must succeed
// and leave exactly the firmware body in the camera's flash.
//
// A whole update takes three and a half minutes of real time however fast
// the line is (2054 frames each wait 100 ms after the previous command), so
// the ten updates run side by side, each on its own terminal. More rounds:
// RM525FW_SOAK_ROUNDS=n; another fault draw: RM525FW_SOAK_SEED=n.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"

#include "link/protocol.h"

extern char** environ;

namespace rm525 {
namespace {

namespace p = protocol;
constexpr int kUpdates = 10;
constexpr size_t kFileSize = 524416;
constexpr size_t kBodyOffset = 128;

using testing::ReadFile;
using testing::TempDir;

int EnvNumber(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// Starts a program with extra environment entries, its output in files.
pid_t Start(std::vector<std::string> args, const std::vector<std::string>& extraEnv,
            const std::string& outPath) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Exit status, or -1 when the program did not end by itself within `ms`
// (it is then ended). The pid is spent afterwards.
int WaitExit(pid_t& pid, int ms) {
    for (int waited = 0; pid > 0 && waited < ms; waited += 50) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        usleep(50 * 1000);
    }
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    return -1;
}

// Faults a camera recovers from within the link's own retries: they cost time,
// never the update.
std::vector<std::string> RecoverableFaults(std::mt19937& rng) {
    auto block = [&] { return std::to_string(rng() % p::kBlockCount); };
    const std::vector<std::string> kinds = {
        "busy@0x1D:" + block(),
        "busy@0x1D:" + block() + "x2",
        "storm@0x1D:" + block() + "=" + std::to_string(1 + rng() % 40),
        "storm-done@0x1D:" + block() + "=" + std::to_string(1 + rng() % 40),
        "nak-packet@0x1D:" + block(),
        "nak-packet@0x1D:" + block() + "x3",
        "badcheck@0x22",
        "badcheck@0x7F#2",
        "busy@0x21:19",
        "storm-done@0x1E:1=3",
        "busy@0x8D",
        "storm-start@0x7F=5",
    };
    std::vector<std::string> chosen;
    const int n = 2 + int(rng() % 4);
    for (int i = 0; i < n; ++i)
        chosen.push_back(kinds[rng() % kinds.size()]);
    return chosen;
}

struct Lane {
    std::string firmware, terminal, flash, simOut, cliOut;
    std::vector<std::string> faults;
    pid_t sim = -1, cli = -1;
    Lane() = default;
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;
    ~Lane() {  // a test that stopped early leaves nothing running
        WaitExit(cli, 0);
        WaitExit(sim, 0);
    }
};

TEST(PtySoakTest, TenUpdatesWithRecoverableFaultsAllInstallExactly) {
    const int rounds = EnvNumber("RM525FW_SOAK_ROUNDS", 1);
    const int seed = EnvNumber("RM525FW_SOAK_SEED", 20261208);
    std::mt19937 rng(static_cast<uint32_t>(seed));
    for (int round = 0; round < rounds; ++round) {
        TempDir dir;
        std::vector<Lane> lanes(kUpdates);
        for (int i = 0; i < kUpdates; ++i) {
            Lane& lane = lanes[size_t(i)];
            const std::string n = std::to_string(i);
            lane.firmware = dir / ("fw" + n + ".fw");
            lane.terminal = dir / ("com" + n);
            lane.flash = dir / ("flash" + n + ".bin");
            lane.simOut = dir / ("sim" + n + ".txt");
            lane.cliOut = dir / ("cli" + n + ".txt");
            lane.faults = RecoverableFaults(rng);
            pid_t maker =
                Start({RM525CAM_SIM_PATH, "make-firmware", "--model", "rm525", "--version", "0106",
                       "--seed", std::to_string(seed + 100 * round + i), "--out", lane.firmware},
                      {}, dir / "maker.txt");
            ASSERT_EQ(WaitExit(maker, 30000), 0);
            std::vector<std::string> simArgs = {RM525CAM_SIM_PATH,
                                                "--quiet",
                                                "--link",
                                                lane.terminal,
                                                "--flash-out",
                                                lane.flash,
                                                "--exit-after-verified-release"};
            for (const std::string& f : lane.faults) {
                simArgs.push_back("--fault");
                simArgs.push_back(f);
            }
            lane.sim = Start(simArgs, {}, lane.simOut);
            ASSERT_GT(lane.sim, 0);
        }
        for (Lane& lane : lanes) {
            for (int i = 0; i < 500 && access(lane.terminal.c_str(), F_OK) != 0; ++i)
                usleep(10 * 1000);
            lane.cli = Start(
                {RM525FW_CLI_PATH, "update", "--port", "COM1", "--file", lane.firmware, "--yes"},
                {"RM525FW_COM1=" + lane.terminal, "RM525FW_NO_DEFAULT_PORTS=1"}, lane.cliOut);
            ASSERT_GT(lane.cli, 0);
        }
        for (Lane& lane : lanes) {
            std::string faults;
            for (const std::string& f : lane.faults)
                faults += " --fault " + f;
            SCOPED_TRACE("round " + std::to_string(round) + ", camera" + faults);
            EXPECT_EQ(WaitExit(lane.cli, 8 * 60 * 1000), 0) << ReadFile(lane.cliOut);
            EXPECT_EQ(WaitExit(lane.sim, 10 * 1000), 0) << "the camera was not released verified";
            const std::string file = ReadFile(lane.firmware);
            const std::string flash = ReadFile(lane.flash);
            ASSERT_EQ(file.size(), kFileSize);
            EXPECT_TRUE(flash == file.substr(kBodyOffset)) << "flash differs from the body";
        }
    }
}

}  // namespace
}  // namespace rm525
