#pragma once

// Helpers for tests that run the project's programs: a private temporary
// folder, and a child process with its standard output on a pipe.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace rm525::testing {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A program started with its standard output on a pipe; ended (SIGTERM) when
// the object goes.
class ChildProcess {
public:
    // Starts `args[0]` with the arguments that follow.
    explicit ChildProcess(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdout_ = out[0];
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            Wait();
        }
        if (stdout_ >= 0)
            close(stdout_);
    }
    // The first line the program writes (the simulator: its terminal's path).
    std::string FirstLine() {
        std::string line;
        char c;
        while (WaitReadable(stdout_, 5000) && read(stdout_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    pid_t pid() const { return pid_; }
    int Terminate() {
        kill(pid_, SIGTERM);
        return Wait();
    }
    // Waits for the program to end by itself, up to `ms`; its exit status or -1.
    int WaitForExit(int ms) {
        for (int waited = 0; waited < ms; waited += 10) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        return -1;
    }
    static bool WaitReadable(int fd, int ms) {
        pollfd pfd{fd, POLLIN, 0};
        return poll(&pfd, 1, ms) == 1;
    }

private:
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid_ = -1;
    int stdout_ = -1;
};

}  // namespace rm525::testing
