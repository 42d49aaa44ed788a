#pragma once

// Runs rm525fw-cli and the camera simulator program as child processes, each
// test in its own folder, for the end-to-end tests of the terminal front end.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "firmware/firmware_format.h"
#include "tests/firmware/firmware_test_files.h"

extern char** environ;

namespace rm525::testing {

using namespace std::chrono_literals;

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Starts `argv` with standard input from /dev/null, standard output and error
// into files, and the environment plus `env`.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& outFile, const std::string& errFile) {
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

inline int WaitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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
    void TearDown() override { StopSimulator(); }

    // The camera simulator program on a pseudo-terminal reached as dir/camera.
    void StartSimulator(std::vector<std::string> extra = {}) {
        std::vector<std::string> argv = {RM525CAM_SIM,
                                         "--link",
                                         Camera(),
                                         "--flash-out",
                                         dir_.File("flash.bin"),
                                         "--quiet",
                                         "--exit-after-release"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        simPid_ = Spawn(argv, {}, dir_.File("sim.out"), dir_.File("sim.err"));
        ASSERT_GT(simPid_, 0);
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(Camera()); }, 10s))
            << ReadAll(dir_.File("sim.err"));
    }
    // Waits for the simulator to leave by itself (it does once the camera is
    // released) and returns its exit status.
    int SimulatorExit() {
        const pid_t pid = simPid_;
        simPid_ = -1;
        int status = 0;
        const bool gone = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 20s);
        if (!gone) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void StopSimulator() {
        if (simPid_ <= 0)
            return;
        kill(simPid_, SIGTERM);
        waitpid(simPid_, nullptr, 0);
        simPid_ = -1;
    }

    pid_t StartCli(const std::vector<std::string>& args, const std::string& com1,
                   const std::vector<std::string>& env = {}) {
        std::vector<std::string> argv = {program_};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> environment = {"RM525FW_NO_DEFAULT_PORTS=1",
                                                "RM525FW_COM1=" + com1};
        environment.insert(environment.end(), env.begin(), env.end());
        return Spawn(argv, environment, dir_.File("cli.out"), dir_.File("cli.err"));
    }
    CliRun RunCli(const std::vector<std::string>& args, const std::string& com1 = "",
                  const std::vector<std::string>& env = {}) {
        CliRun run;
        run.status = WaitExit(StartCli(args, com1.empty() ? Camera() : com1, env));
        run.out = ReadAll(dir_.File("cli.out"));
        run.err = ReadAll(dir_.File("cli.err"));
        return run;
    }

    // Waits until `file` in the test's folder holds `text`.
    bool WaitForText(const std::string& file, const std::string& text,
                     std::chrono::milliseconds limit = 60s) {
        return WaitFor([&] { return ReadAll(dir_.File(file)).find(text) != std::string::npos; },
                       limit);
    }

    std::string Camera() const { return dir_.File("camera"); }
    std::string Firmware(std::string_view header, std::string_view version = "0106") {
        body_ = FirmwareBytes(header, version);
        return WriteFile(dir_.File("update.fw"), body_);
    }

    TempDir dir_;
    std::string program_ = RM525FW_CLI;  // the rm525fw-cli to run
    pid_t simPid_ = -1;
    std::vector<uint8_t> body_;
};

}  // namespace rm525::testing
