#pragma once

// Runs rm525fw-cli and the camera simulator program as child processes, each
// test in its own folder, for the end-to-end tests of the terminal front end.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "firmware/firmware_format.h"
#include "tests/firmware/firmware_test_files.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"

namespace rm525::testing {

using namespace std::chrono_literals;

inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A pseudo-terminal that nobody answers on: a port that opens and stays
// silent. The far end stays open as long as the object lives.
class SilentTerminal {
public:
    SilentTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            path_ = ptsname(master_);
    }
    ~SilentTerminal() {
        if (master_ >= 0)
            close(master_);
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;
    const std::string& path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliProgram : public ::testing::Test {
protected:
    void TearDown() override { sim_.reset(); }

    // The camera simulator program on a pseudo-terminal reached as dir/camera.
    void StartSimulator(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--link",      Camera(),
                                         "--flash-out", dir_.File("flash.bin"),
                                         "--quiet",     "--exit-after-release"};
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<SimulatorProcess>(RM525CAM_SIM, args);
        ASSERT_TRUE(sim_->ready()) << sim_->failure();
    }
    // Waits for the simulator to leave by itself (it does once the camera is
    // released) and returns its exit status; -1 when it had to be ended.
    int SimulatorExit() { return sim_ ? sim_->WaitOrEnd(20000) : ChildProcess::kDidNotEnd; }

    std::unique_ptr<ChildProcess> StartCli(const std::vector<std::string>& args,
                                           const std::string& com1,
                                           const std::vector<std::string>& env = {}) {
        std::vector<std::string> argv = {program_};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildOptions options;
        options.out = Sink::File(dir_.File("cli.out"));
        options.err = Sink::File(dir_.File("cli.err"));
        options.env = {"RM525FW_NO_DEFAULT_PORTS=1", "RM525FW_COM1=" + com1};
        options.env.insert(options.env.end(), env.begin(), env.end());
        return std::make_unique<ChildProcess>(argv, options);
    }
    CliRun RunCli(const std::vector<std::string>& args, const std::string& com1 = "",
                  const std::vector<std::string>& env = {}) {
        CliRun run;
        const auto cli = StartCli(args, com1.empty() ? Camera() : com1, env);
        EXPECT_TRUE(cli->started()) << cli->StartError();
        run.status = cli->Wait();
        run.out = ReadFile(dir_.File("cli.out"));
        run.err = ReadFile(dir_.File("cli.err"));
        return run;
    }

    // Waits until `file` in the test's folder holds `text`.
    bool WaitForText(const std::string& file, const std::string& text,
                     std::chrono::milliseconds limit = 60s) {
        return WaitFor([&] { return ReadFile(dir_.File(file)).find(text) != std::string::npos; },
                       limit);
    }

    std::string Camera() const { return dir_.File("camera"); }
    std::string Firmware(std::string_view header, std::string_view version = "0106") {
        body_ = FirmwareBytes(header, version);
        return WriteFile(dir_.File("update.fw"), body_);
    }

    TempDir dir_;
    std::unique_ptr<SimulatorProcess> sim_;
    std::string program_ = RM525FW_CLI;  // the rm525fw-cli to run
    std::vector<uint8_t> body_;
};

}  // namespace rm525::testing
