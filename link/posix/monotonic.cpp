#include "link/posix/monotonic.h"

#include <poll.h>
#include <time.h>

#include <cerrno>

namespace rm525::posix {

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

namespace {

// One wait of at most the time left; returns like poll().
int PollOnce(pollfd* pfd, int64_t leftNs) {
#ifdef __linux__
    // ppoll takes the time to the nanosecond, which keeps a 30 ms inter-byte
    // gap to a fraction of a millisecond instead of rounding to whole ones.
    timespec ts{};
    timespec* timeout = nullptr;
    if (leftNs >= 0) {
        ts.tv_sec = static_cast<time_t>(leftNs / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(leftNs % 1'000'000'000);
        timeout = &ts;
    }
    return ppoll(pfd, 1, timeout, nullptr);
#else
    int ms = -1;
    if (leftNs >= 0) {
        // Round up so the wait never ends before the deadline.
        const int64_t up = (leftNs + kNsPerMs - 1) / kNsPerMs;
        ms = up > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(up);
    }
    return poll(pfd, 1, ms);
#endif
}

}  // namespace

int WaitForFd(int fd, short events, int64_t deadlineNs) {
    pollfd pfd{fd, events, 0};
    for (;;) {
        int64_t left = kNoDeadline;
        if (deadlineNs != kNoDeadline) {
            left = deadlineNs - MonotonicNs();
            if (left <= 0) {
                return 0;
            }
        }
        pfd.revents = 0;
        const int rc = PollOnce(&pfd, left);
        if (rc > 0) {
            return pfd.revents;
        }
        if (rc < 0 && errno != EINTR) {
            return -1;
        }
        // Time-out or signal: the loop head decides with a fresh clock reading.
    }
}

}  // namespace rm525::posix
