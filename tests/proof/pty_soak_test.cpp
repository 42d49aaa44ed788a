// Complete updates with rm525fw-cli over pseudo-terminals against
// rm525cam-sim, each camera with its own random recoverable faults (single
// bad packets, busy answers, runs of keep-alives): every update must succeed
// and leave exactly the firmware body in the camera's flash.
//
// A whole update takes three and a half minutes of real time however fast
// the line is (2054 frames each wait 100 ms after the previous command), so
// the ten updates run side by side, each on its own terminal. More rounds:
// RM525FW_SOAK_ROUNDS=n; another fault draw: RM525FW_SOAK_SEED=n.
#include <stdlib.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/protocol.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace rm525 {
namespace {

namespace p = protocol;
constexpr int kUpdates = 10;
constexpr size_t kFileSize = 524416;
constexpr size_t kBodyOffset = 128;

using testing::ChildOptions;
using testing::ChildProcess;
using testing::ReadFile;
using testing::SimulatorProcess;
using testing::Sink;
using testing::TempDir;

int EnvNumber(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// Starts a program with extra environment entries, its output and error
// into one file.
std::unique_ptr<ChildProcess> Start(std::vector<std::string> args,
                                    const std::vector<std::string>& extraEnv,
                                    const std::string& outPath) {
    ChildOptions options;
    options.out = Sink::File(outPath);
    options.err = Sink::Stdout();
    options.env = extraEnv;
    return std::make_unique<ChildProcess>(std::move(args), options);
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

// One camera and its updater; a test that stops early leaves nothing
// running (the processes are ended when the lane goes).
struct Lane {
    std::string firmware, terminal, flash, cliOut;
    std::vector<std::string> faults;
    std::unique_ptr<SimulatorProcess> sim;
    std::unique_ptr<ChildProcess> cli;
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
            lane.cliOut = dir / ("cli" + n + ".txt");
            lane.faults = RecoverableFaults(rng);
            const auto maker =
                Start({RM525CAM_SIM_PATH, "make-firmware", "--model", "rm525", "--version", "0106",
                       "--seed", std::to_string(seed + 100 * round + i), "--out", lane.firmware},
                      {}, dir / "maker.txt");
            ASSERT_EQ(maker->WaitOrEnd(30000), 0) << ReadFile(dir / "maker.txt");
            std::vector<std::string> simArgs = {"--quiet",     "--link",
                                                lane.terminal, "--flash-out",
                                                lane.flash,    "--exit-after-verified-release"};
            for (const std::string& f : lane.faults) {
                simArgs.push_back("--fault");
                simArgs.push_back(f);
            }
            lane.sim = std::make_unique<SimulatorProcess>(RM525CAM_SIM_PATH, simArgs);
            ASSERT_TRUE(lane.sim->ready()) << lane.sim->failure();
        }
        for (Lane& lane : lanes) {
            lane.cli = Start(
                {RM525FW_CLI_PATH, "update", "--port", "COM1", "--file", lane.firmware, "--yes"},
                {"RM525FW_COM1=" + lane.terminal, "RM525FW_NO_DEFAULT_PORTS=1"}, lane.cliOut);
            ASSERT_TRUE(lane.cli->started()) << lane.cli->StartError();
        }
        for (Lane& lane : lanes) {
            std::string faults;
            for (const std::string& f : lane.faults)
                faults += " --fault " + f;
            SCOPED_TRACE("round " + std::to_string(round) + ", camera" + faults);
            EXPECT_EQ(lane.cli->WaitOrEnd(8 * 60 * 1000), 0) << ReadFile(lane.cliOut);
            EXPECT_EQ(lane.sim->WaitOrEnd(10 * 1000), 0) << "the camera was not released verified";
            const std::string file = ReadFile(lane.firmware);
            const std::string flash = ReadFile(lane.flash);
            ASSERT_EQ(file.size(), kFileSize);
            EXPECT_TRUE(flash == file.substr(kBodyOffset)) << "flash differs from the body";
        }
    }
}

}  // namespace
}  // namespace rm525
