// How exactly the POSIX backend keeps the link's timing on a pseudo-terminal:
// the 30 ms inter-byte gap that ends a read, and SleepUntil, whose waiting
// must also cost no CPU.

#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "link/posix/monotonic.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"

namespace {

constexpr int kGapRuns = 50;
constexpr int kSleepRuns = 100;
constexpr uint32_t kGapMs = 30;
constexpr uint32_t kSleepMs = 100;

double Ms(int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

int64_t CpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void Report(const char* what, std::vector<double> errorsMs) {
    std::sort(errorsMs.begin(), errorsMs.end());
    const double mean = std::accumulate(errorsMs.begin(), errorsMs.end(), 0.0) /
                        static_cast<double>(errorsMs.size());
    std::printf("%-34s mean %+.3f ms  median %+.3f ms  min %+.3f  max %+.3f  (n=%zu)\n", what, mean,
                errorsMs[errorsMs.size() / 2], errorsMs.front(), errorsMs.back(), errorsMs.size());
}

// One byte arrives, nothing follows: the read must end kGapMs later.
bool MeasureGap() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pty");
        return false;
    }
    int error = 0;
    auto port = rm525::OpenSerialDevice(ptsname(master), &error);
    if (!port) {
        std::fprintf(stderr, "open failed: errno %d\n", error);
        return false;
    }
    rm525::LineSettings line;
    line.baudRate = 38400;
    port->SetLineSettings(line);
    rm525::CommTimeouts t;
    t.readInterval = kGapMs;
    t.readTotalConstant = 5000;
    port->SetTimeouts(t);
    std::vector<double> errors;
    for (int i = 0; i < kGapRuns; ++i) {
        const uint8_t b = 0x5A;
        if (write(master, &b, 1) != 1) {
            return false;
        }
        const int64_t start = rm525::posix::MonotonicNs();
        uint8_t buf[16];
        uint32_t moved = 0;
        port->Read(buf, sizeof buf, &moved);
        errors.push_back(Ms(rm525::posix::MonotonicNs() - start) - kGapMs);
    }
    Report("inter-byte gap 30 ms (read end)", errors);
    close(master);
    return true;
}

// Error against the instant at which the clock shows the target tick.
void MeasureSleep() {
    rm525::SystemClock clock;
    std::vector<double> errors;
    const int64_t cpuStart = CpuNs();
    for (int i = 0; i < kSleepRuns; ++i) {
        const int64_t nowNs = rm525::posix::MonotonicNs();
        const int64_t nowMs = nowNs / rm525::posix::kNsPerMs;
        const uint32_t target = static_cast<uint32_t>(nowMs) + kSleepMs;
        clock.SleepUntil(target);
        const int64_t tickNs = (nowMs + kSleepMs) * rm525::posix::kNsPerMs;
        errors.push_back(Ms(rm525::posix::MonotonicNs() - tickNs));
    }
    const int64_t cpu = CpuNs() - cpuStart;
    Report("SleepUntil(now+100) wake-up", errors);
    std::printf("CPU time of %d x SleepUntil(now+100): %.3f ms in total\n", kSleepRuns, Ms(cpu));
}

}  // namespace

int main() {
    if (!MeasureGap()) {
        return 1;
    }
    MeasureSleep();
    return 0;
}
