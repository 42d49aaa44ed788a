#pragma once

// What the benchmarks share: the simulated camera as a child process on a
// pseudo-terminal, a port decorator that counts the bytes on the line and
// the time they would take there, and CPU and memory readings. Child
// programs, temporary folders and files come from the tests' own helpers.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/serial_port.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace rm525::bench {

inline double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// CPU seconds (user + system) and peak resident memory of this process or
// of its waited-for children.
struct Usage {
    double cpu = 0;
    long maxRssKb = 0;
};

inline Usage UsageOf(int who) {
    rusage r{};
    getrusage(who, &r);
    return {Seconds(r.ru_utime) + Seconds(r.ru_stime), r.ru_maxrss};
}

class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()), cpu_(UsageOf(RUSAGE_SELF).cpu) {}
    double Wall() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    double Cpu() const { return UsageOf(RUSAGE_SELF).cpu - cpu_; }

private:
    std::chrono::steady_clock::time_point start_;
    double cpu_;
};

using testing::ChildOptions;
using testing::ChildProcess;
using testing::ReadFile;
using testing::Sink;
using testing::TempDir;

// rm525cam-sim serving one camera on a terminal reachable at `linkPath`.
// Throws when it gives no terminal: a benchmark without its camera would
// only measure time-outs.
class SimCamera {
public:
    SimCamera(const std::string& linkPath, std::vector<std::string> extra)
        : sim_(RM525CAM_SIM_PATH, WithLink(linkPath, std::move(extra))) {
        if (!sim_.ready())
            throw std::runtime_error(sim_.failure());
    }
    // Waits for the camera to leave by itself (it does after a release when
    // told to), or ends it.
    void Stop(int graceMs = 0) { sim_.WaitOrEnd(graceMs); }

private:
    static std::vector<std::string> WithLink(const std::string& linkPath,
                                             std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"--quiet", "--link", linkPath});
        return extra;
    }
    testing::SimulatorProcess sim_;
};

// Counts what crosses the line in each direction and the time those bytes
// take there at the rate the port is set to (ten bits a byte).
struct LineCount {
    uint64_t hostBytes = 0;
    uint64_t cameraBytes = 0;
    double hostWireSeconds = 0;
    double cameraWireSeconds = 0;
    double inReadSeconds = 0;   // real time spent inside Read (waiting for the camera)
    double inWriteSeconds = 0;  // real time spent inside Write
};

inline double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A clock that counts the real time its user spends asleep in it.
class TimedClock : public Clock {
public:
    explicit TimedClock(Clock& inner) : inner_(inner) {}
    uint32_t NowMs() override { return inner_.NowMs(); }
    void SleepUntil(uint32_t targetMs) override {
        const double start = Now();
        inner_.SleepUntil(targetMs);
        asleepSeconds += Now() - start;
    }
    double asleepSeconds = 0;

private:
    Clock& inner_;
};

class CountingPort : public SerialPort {
public:
    CountingPort(std::unique_ptr<SerialPort> port, LineCount& count)
        : port_(std::move(port)), count_(count) {}

    bool SetupQueues(uint32_t in, uint32_t out) override { return port_->SetupQueues(in, out); }
    bool GetLineSettings(LineSettings& s) override { return port_->GetLineSettings(s); }
    bool SetLineSettings(const LineSettings& s) override {
        const bool ok = port_->SetLineSettings(s);
        if (ok)
            baud_ = s.baudRate;
        return ok;
    }
    bool GetTimeouts(CommTimeouts& t) override { return port_->GetTimeouts(t); }
    bool SetTimeouts(const CommTimeouts& t) override { return port_->SetTimeouts(t); }
    bool ClearError(ErrorState* s) override { return port_->ClearError(s); }
    bool Read(uint8_t* dst, uint32_t n, uint32_t* moved) override {
        const double start = Now();
        const bool ok = port_->Read(dst, n, moved);
        count_.inReadSeconds += Now() - start;
        count_.cameraBytes += *moved;
        count_.cameraWireSeconds += ByteSeconds() * *moved;
        return ok;
    }
    bool Write(const uint8_t* src, uint32_t n, uint32_t* moved) override {
        const double start = Now();
        const bool ok = port_->Write(src, n, moved);
        count_.inWriteSeconds += Now() - start;
        count_.hostBytes += *moved;
        count_.hostWireSeconds += ByteSeconds() * *moved;
        return ok;
    }
    bool Purge(unsigned flags) override { return port_->Purge(flags); }
    bool SetBreak() override { return port_->SetBreak(); }
    bool ClearBreak() override { return port_->ClearBreak(); }
    void Close() override { port_->Close(); }

private:
    double ByteSeconds() const { return 10.0 / baud_; }
    std::unique_ptr<SerialPort> port_;
    LineCount& count_;
    uint32_t baud_ = 9600;
};

class CountingFactory : public SerialPortFactory {
public:
    CountingFactory(SerialPortFactory& inner, LineCount& count) : inner_(inner), count_(count) {}
    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override {
        auto port = inner_.Open(portNumber, failure);
        if (!port)
            return nullptr;
        return std::make_unique<CountingPort>(std::move(port), count_);
    }

private:
    SerialPortFactory& inner_;
    LineCount& count_;
};

// One line of the results table: what, measured, minimum or goal, verdict.
inline void Row(const std::string& what, const std::string& measured, const std::string& against,
                const std::string& verdict) {
    std::printf("| %s | %s | %s | %s |\n", what.c_str(), measured.c_str(), against.c_str(),
                verdict.c_str());
    std::fflush(stdout);
}

inline std::string Fmt(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

}  // namespace rm525::bench
