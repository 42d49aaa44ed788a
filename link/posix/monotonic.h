#pragma once

#include <cstdint>

namespace rm525::posix {

// Nanoseconds of the monotonic clock; every deadline of the backend is one.
int64_t MonotonicNs();

constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kNoDeadline = -1;

// Waits until `fd` is ready for `events` or the monotonic clock reaches
// `deadlineNs` (kNoDeadline: no limit). Returns the ready events, 0 at the
// deadline, -1 on failure (errno set). Signals do not end the wait early.
int WaitForFd(int fd, short events, int64_t deadlineNs);

}  // namespace rm525::posix
