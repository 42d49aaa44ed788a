#pragma once

// Child programs for the tests and benchmarks that run the project's
// programs. A child starts with fork and exec (so a test can also run it as
// another user), reads its standard input from /dev/null, writes its output
// where the test asks, and is ended and reaped when the object goes.
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

// The folders and files a test with child programs works in.
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace rm525::testing {

// Where a child's standard output or error goes.
struct Sink {
    enum class Kind {
        kInherit,  // the test's own
        kNull,     // /dev/null
        kPipe,     // standard output only: a pipe read by FirstLine
        kFile,     // `path`, created or emptied
        kCapture,  // an unnamed temporary file, read by CapturedOutput
        kStdout,   // standard error only: wherever standard output goes
    };
    Kind kind = Kind::kInherit;
    std::string path;

    static Sink Inherit() { return {Kind::kInherit, {}}; }
    static Sink Null() { return {Kind::kNull, {}}; }
    static Sink Pipe() { return {Kind::kPipe, {}}; }
    static Sink File(std::string path) { return {Kind::kFile, std::move(path)}; }
    static Sink Capture() { return {Kind::kCapture, {}}; }
    static Sink Stdout() { return {Kind::kStdout, {}}; }
};

struct ChildOptions {
    Sink out = Sink::Pipe();
    Sink err = Sink::Inherit();
    // NAME=value entries, each replacing NAME in the environment the child
    // inherits (or, with `inheritEnvironment` false, the whole environment).
    std::vector<std::string> env;
    bool inheritEnvironment = true;
    // Runs the child as this user, with the group of the same number and no
    // others (the test must be root).
    std::optional<uid_t> user;
};

class ChildProcess {
public:
    // What WaitForExit and WaitOrEnd return while the child has not ended by
    // itself; otherwise they return its exit status, or 128 + the signal
    // that ended it.
    static constexpr int kDidNotEnd = -1;

    // Starts `argv[0]` (a path, not looked up in PATH) with the arguments
    // that follow.
    explicit ChildProcess(std::vector<std::string> argv, ChildOptions options = {})
        : program_(argv.empty() ? std::string() : argv[0]) {
        Start(std::move(argv), std::move(options));
    }
    ~ChildProcess() {
        WaitOrEnd(0);
        if (stdout_ >= 0)
            close(stdout_);
        if (captured_ >= 0)
            close(captured_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False when the program could not be started; StartError says why.
    bool started() const { return startError_.empty(); }
    const std::string& StartError() const { return startError_; }
    const std::string& program() const { return program_; }
    pid_t pid() const { return pid_; }

    // The first line the child writes to its standard output (a pipe),
    // without the newline; empty when it writes none within `waitMs` or
    // closes its output (ends) first.
    std::string FirstLine(int waitMs = 5000) {
        std::string line;
        if (stdout_ < 0)
            return line;
        const int64_t end = NowMs() + waitMs;
        char c = 0;
        while (WaitReadable(stdout_, static_cast<int>(std::max<int64_t>(0, end - NowMs()))) &&
               read(stdout_, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        if (c != '\n')
            line.clear();
        return line;
    }

    // What the child wrote to a Sink::Capture so far.
    std::string CapturedOutput() const {
        std::string text;
        if (captured_ < 0)
            return text;
        char buffer[4096];
        ssize_t n = 0;
        for (off_t at = 0; (n = pread(captured_, buffer, sizeof buffer, at)) > 0; at += n)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }

    bool Running() { return pid_ > 0 && !Reap(WNOHANG); }

    // Waits up to `ms` for the child to end by itself: its status, or
    // kDidNotEnd (it is left running).
    int WaitForExit(int ms) {
        for (int64_t end = NowMs() + ms; Running() && NowMs() < end;)
            usleep(5000);
        return Running() ? kDidNotEnd : status_;
    }
    // Waits up to `ms`, then ends the child (SIGTERM, SIGKILL after two
    // seconds more): its status, or kDidNotEnd when it had to be ended.
    int WaitOrEnd(int ms) {
        const int status = WaitForExit(ms);
        if (status != kDidNotEnd || pid_ <= 0)
            return status;
        kill(pid_, SIGTERM);
        if (WaitForExit(2000) == kDidNotEnd) {
            kill(pid_, SIGKILL);
            Reap(0);
        }
        return kDidNotEnd;
    }
    // Waits for the child to end, however long it takes: its status.
    int Wait() {
        if (pid_ > 0)
            Reap(0);
        return status_;
    }
    // Ends the child with SIGTERM and returns the status it ended with.
    int Terminate() {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
        if (pid_ > 0)
            Reap(0);
        return status_;
    }
    // The peak resident memory of the child, in kB, and the processor time
    // it used (user and system), once it has ended.
    long MaxRssKb() const { return maxRssKb_; }
    double CpuSeconds() const { return cpuSeconds_; }

    static bool WaitReadable(int fd, int ms) {
        pollfd pfd{fd, POLLIN, 0};
        return poll(&pfd, 1, ms) == 1;
    }

private:
    static double Seconds(const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    }
    static int64_t NowMs() {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1000000;
    }

    // Reaps the child when it has ended (or, with flags 0, once it ends).
    bool Reap(int flags) {
        int status = 0;
        rusage usage{};
        if (wait4(pid_, &status, flags, &usage) != pid_)
            return false;
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        maxRssKb_ = usage.ru_maxrss;
        cpuSeconds_ = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
        return true;
    }

    void Start(std::vector<std::string> argv, ChildOptions options) {
        if (argv.empty()) {
            startError_ = "no program given";
            return;
        }
        // Everything the child needs is made before the fork: between fork
        // and exec only async-signal-safe calls are allowed.
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        std::vector<std::string> environment;
        if (options.inheritEnvironment) {
            for (char** e = environ; *e != nullptr; ++e) {
                const std::string entry = *e;
                const std::string name = entry.substr(0, entry.find('=') + 1);
                bool replaced = false;
                for (const std::string& o : options.env)
                    replaced = replaced || o.compare(0, name.size(), name) == 0;
                if (!replaced)
                    environment.push_back(entry);
            }
        }
        environment.insert(environment.end(), options.env.begin(), options.env.end());
        std::vector<char*> envp;
        for (std::string& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = OpenSink(options.out, true);
        const int err = options.err.kind == Sink::Kind::kStdout ? -1 : OpenSink(options.err, false);
        const bool errToOut = options.err.kind == Sink::Kind::kStdout;
        int failure[2];  // the child's errno when exec fails; closed by a good exec
        if (in < 0 || !startError_.empty() || pipe2(failure, O_CLOEXEC) != 0) {
            if (startError_.empty())
                startError_ = std::string("cannot set up the child: ") + std::strerror(errno);
            CloseAll({in, out, err});
            return;
        }
        const std::optional<uid_t> user = options.user;
        pid_ = fork();
        if (pid_ == 0) {
            int error = 0;
            if (dup2(in, STDIN_FILENO) < 0 || (out >= 0 && dup2(out, STDOUT_FILENO) < 0) ||
                (err >= 0 && dup2(err, STDERR_FILENO) < 0) ||
                (errToOut && dup2(STDOUT_FILENO, STDERR_FILENO) < 0) ||
                (user &&
                 (setgroups(0, nullptr) != 0 || setgid(*user) != 0 || setuid(*user) != 0))) {
                error = errno;
            } else {
                execve(args[0], args.data(), envp.data());
                error = errno;
            }
            if (write(failure[1], &error, sizeof error) < 0) {
                // Nothing more to say: the parent sees the exit status.
            }
            _exit(127);
        }
        close(failure[1]);
        CloseAll({in, out, err});
        if (pid_ < 0) {
            startError_ = std::string("cannot fork: ") + std::strerror(errno);
            close(failure[0]);
            return;
        }
        int error = 0;
        ssize_t n = 0;
        do {
            n = read(failure[0], &error, sizeof error);
        } while (n < 0 && errno == EINTR);
        close(failure[0]);
        if (n == static_cast<ssize_t>(sizeof error)) {
            startError_ = "cannot start " + program_ + ": " + std::strerror(error);
            Reap(0);
        }
    }

    // The descriptor the child's output goes to, or -1 to leave it as is.
    int OpenSink(const Sink& sink, bool isStdout) {
        int fd = -1;
        switch (sink.kind) {
            case Sink::Kind::kInherit:
            case Sink::Kind::kStdout:
                return -1;
            case Sink::Kind::kNull:
                fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
                break;
            case Sink::Kind::kFile:
                fd = open(sink.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                break;
            case Sink::Kind::kPipe: {
                int ends[2];
                if (!isStdout) {
                    errno = EINVAL;
                    break;
                }
                if (pipe2(ends, O_CLOEXEC) != 0)
                    break;
                stdout_ = ends[0];
                fd = ends[1];
                break;
            }
            case Sink::Kind::kCapture: {
                std::string pattern = TempFolder() + "/rm525-output-XXXXXX";
                fd = mkostemp(pattern.data(), O_CLOEXEC);
                if (fd >= 0) {
                    unlink(pattern.c_str());
                    captured_ = dup(fd);
                }
                break;
            }
        }
        if (fd < 0 && startError_.empty())
            startError_ = "cannot open the output of " + program_ + ": " + std::strerror(errno);
        return fd;
    }

    static std::string TempFolder() {
        const char* dir = std::getenv("TMPDIR");
        return dir != nullptr && *dir != '\0' ? dir : "/tmp";
    }
    static void CloseAll(std::initializer_list<int> fds) {
        for (int fd : fds) {
            if (fd >= 0)
                close(fd);
        }
    }

    std::string program_;
    std::string startError_;
    pid_t pid_ = -1;
    int status_ = kDidNotEnd;
    long maxRssKb_ = 0;
    double cpuSeconds_ = 0;
    int stdout_ = -1;    // our end of the pipe of a Sink::Pipe
    int captured_ = -1;  // the unnamed file of a Sink::Capture
};

// The camera simulator program (rm525cam-sim), which prints the path of its
// pseudo-terminal as the first line of its standard output once the camera
// is there. When it gives no path (it ended, could not start, or stayed
// silent for `waitMs`), ready() is false and failure() says why, with its
// error output: a test asserts on that at once, not later on a port that
// will not open.
class SimulatorProcess : public ChildProcess {
public:
    SimulatorProcess(const std::string& program, std::vector<std::string> args, int waitMs = 10000)
        : ChildProcess(WithProgram(program, std::move(args)),
                       ChildOptions{Sink::Pipe(), Sink::Capture(), {}, true, {}}) {
        if (!started()) {
            failure_ = StartError();
            return;
        }
        terminal_ = FirstLine(waitMs);
        if (!terminal_.empty())
            return;
        const int status = WaitForExit(1000);
        failure_ =
            program +
            (status == kDidNotEnd
                 ? " gave no terminal path within " + std::to_string(waitMs) + " ms"
                 : " ended (status " + std::to_string(status) + ") without giving a terminal path");
        const std::string said = CapturedOutput();
        failure_ += said.empty() ? "; it wrote no error output" : "; its error output:\n" + said;
    }

    bool ready() const { return !terminal_.empty(); }
    // The pseudo-terminal's path, as the simulator printed it.
    const std::string& terminal() const { return terminal_; }
    const std::string& failure() const { return failure_; }

private:
    static std::vector<std::string> WithProgram(const std::string& program,
                                                std::vector<std::string> args) {
        args.insert(args.begin(), program);
        return args;
    }

    std::string terminal_;
    std::string failure_;
};

}  // namespace rm525::testing
