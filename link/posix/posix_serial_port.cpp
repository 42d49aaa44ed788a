#include "link/posix/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include "link/posix/line_control.h"
#include "link/posix/monotonic.h"

namespace rm525 {

namespace {

// A read interval of all ones with no total limits means "return at once
// with whatever is there".
constexpr uint32_t kReadReturnAtOnce = 0xFFFF'FFFFu;
// How often a write looks at the output queue while the bytes go out.
constexpr long kDrainPollNs = 1'000'000;
constexpr short kLineGone = POLLERR | POLLHUP | POLLNVAL;
// Allowances beyond this (about 35 years) are as good as none and would
// overflow the nanosecond clock.
constexpr uint64_t kLongestAllowanceMs = uint64_t{1} << 40;

int64_t DeadlineAfterMs(int64_t startNs, uint64_t ms) {
    if (ms == 0 || ms > kLongestAllowanceMs) {
        return posix::kNoDeadline;
    }
    return startNs + static_cast<int64_t>(ms) * posix::kNsPerMs;
}

int64_t EarlierDeadline(int64_t a, int64_t b) {
    if (a == posix::kNoDeadline) {
        return b;
    }
    if (b == posix::kNoDeadline) {
        return a;
    }
    return std::min(a, b);
}

bool WouldBlock(ssize_t n) {
    return n == 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

// What a terminal answers once it has been hung up (adapter unplugged, the
// other side of a pty closed): the device will never work again.
bool HungUpError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

}  // namespace

PosixSerialPort::PosixSerialPort(int fd) : fd_(fd) {
    // Errors from before the open are not this program's to report.
    if (!ReadCounters(&seen_)) {
        seen_ = {};
    }
}

PosixSerialPort::~PosixSerialPort() {
    Close();
}

void PosixSerialPort::Close() {
    if (fd_ < 0) {
        return;
    }
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

bool PosixSerialPort::SetupQueues(uint32_t, uint32_t) {
    // The driver's queues have fixed sizes here, larger than the link needs.
    return fd_ >= 0;
}

bool PosixSerialPort::GetLineSettings(LineSettings& settings) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (!posix::ReadLineSettings(fd_, &settings)) {
        return false;
    }
    settings.binary = true;
    settings.abortOnError = abortOnError_;
    return true;
}

bool PosixSerialPort::SetLineSettings(const LineSettings& settings) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (!posix::ApplyLineSettings(fd_, settings)) {
        return false;
    }
    abortOnError_ = settings.abortOnError;
    return true;
}

bool PosixSerialPort::GetTimeouts(CommTimeouts& timeouts) {
    timeouts = timeouts_;
    return fd_ >= 0;
}

bool PosixSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
    timeouts_ = timeouts;
    return fd_ >= 0;
}

bool PosixSerialPort::ReadCounters(ErrorCounters* counters) {
#ifdef __linux__
    if (!countersSupported_ || fd_ < 0) {
        return false;
    }
    serial_icounter_struct icount{};
    if (ioctl(fd_, TIOCGICOUNT, &icount) != 0) {
        // Pseudo-terminals and some adapters count nothing; ask only once.
        countersSupported_ = false;
        return false;
    }
    counters->queueOverrun = static_cast<uint32_t>(icount.buf_overrun);
    counters->overrun = static_cast<uint32_t>(icount.overrun);
    counters->parity = static_cast<uint32_t>(icount.parity);
    counters->frame = static_cast<uint32_t>(icount.frame);
    counters->brk = static_cast<uint32_t>(icount.brk);
    return true;
#else
    (void)counters;
    countersSupported_ = false;
    return false;
#endif
}

uint32_t PosixSerialPort::ErrorsSince(const ErrorCounters& now) const {
    uint32_t errors = 0;
    if (now.queueOverrun != seen_.queueOverrun)
        errors |= line_error::kQueueOverrun;
    if (now.overrun != seen_.overrun)
        errors |= line_error::kOverrun;
    if (now.parity != seen_.parity)
        errors |= line_error::kParity;
    if (now.frame != seen_.frame)
        errors |= line_error::kFrame;
    if (now.brk != seen_.brk)
        errors |= line_error::kBreak;
    return errors;
}

void PosixSerialPort::HangUp() {
    hungUp_ = true;
    errno = EIO;
}

bool PosixSerialPort::Usable() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (hungUp_) {
        errno = EIO;
        return false;
    }
    if (abortOnError_ && !errorLatched_) {
        ErrorCounters now;
        errorLatched_ = ReadCounters(&now) && ErrorsSince(now) != 0;
    }
    if (abortOnError_ && errorLatched_) {
        errno = EIO;
        return false;
    }
    return true;
}

bool PosixSerialPort::ClearError(ErrorState* state) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    // A line that has hung up has no error state to report: the caller must
    // see a failed call, not a clean line with nothing queued.
    if (hungUp_) {
        errno = EIO;
        return false;
    }
    int in = 0;
    if (ioctl(fd_, FIONREAD, &in) != 0) {
        return false;
    }
    uint32_t errors = 0;
    ErrorCounters now;
    if (ReadCounters(&now)) {
        errors = ErrorsSince(now);
        seen_ = now;
    }
    errorLatched_ = false;
    if (state != nullptr) {
        state->errors = errors;
        state->inQueue = static_cast<uint32_t>(std::max(in, 0));
        state->outQueue = BytesInOutputQueue();
    }
    return true;
}

uint32_t PosixSerialPort::BytesInOutputQueue() const {
    int out = 0;
    if (ioctl(fd_, TIOCOUTQ, &out) != 0) {
        return 0;
    }
    return static_cast<uint32_t>(std::max(out, 0));
}

bool PosixSerialPort::Read(uint8_t* dst, uint32_t count, uint32_t* moved) {
    *moved = 0;
    if (!Usable()) {
        return false;
    }
    const CommTimeouts& t = timeouts_;
    const bool atOnce = t.readInterval == kReadReturnAtOnce && t.readTotalMultiplier == 0 &&
                        t.readTotalConstant == 0;
    const int64_t startNs = posix::MonotonicNs();
    const uint64_t totalMs = uint64_t{t.readTotalMultiplier} * count + t.readTotalConstant;
    const int64_t totalDeadline = DeadlineAfterMs(startNs, totalMs);
    int64_t lastByteNs = 0;
    uint32_t got = 0;
    while (got < count) {
        const ssize_t n = read(fd_, dst + got, count - got);
        if (n > 0) {
            // With abort-on-error the read ends at a line error, as the
            // driver of a serial port would end it: the bytes before the
            // chunk that brought the error are reported, the damaged chunk
            // is not.
            if (!Usable()) {
                *moved = got;
                return false;
            }
            got += static_cast<uint32_t>(n);
            lastByteNs = posix::MonotonicNs();
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (!WouldBlock(n)) {
            if (HungUpError(errno)) {
                HangUp();
            }
            *moved = got;
            return false;
        }
        if (atOnce) {
            // Nothing is queued, which is also how a hung-up line reads: a
            // poll that waits for nothing tells the two apart.
            pollfd line{fd_, POLLIN, 0};
            if (poll(&line, 1, 0) > 0 && (line.revents & kLineGone) != 0) {
                HangUp();
                *moved = got;
                return false;
            }
            break;
        }
        int64_t deadline = totalDeadline;
        if (got > 0 && t.readInterval != 0) {
            deadline = EarlierDeadline(deadline, DeadlineAfterMs(lastByteNs, t.readInterval));
        }
        const int ready = posix::WaitForFd(fd_, POLLIN, deadline);
        if (ready == 0) {
            break;
        }
        if (ready < 0) {
            *moved = got;
            return false;
        }
        // A hung-up terminal reports itself readable for ever and then reads
        // nothing: the read above came back empty, so this is the hang-up,
        // not data.
        if ((ready & kLineGone) != 0) {
            HangUp();
            *moved = got;
            return false;
        }
    }
    *moved = got;
    return Usable();
}

bool PosixSerialPort::Write(const uint8_t* src, uint32_t count, uint32_t* moved) {
    *moved = 0;
    if (!Usable()) {
        return false;
    }
    const uint64_t allowanceMs =
        uint64_t{timeouts_.writeTotalMultiplier} * count + timeouts_.writeTotalConstant;
    const int64_t deadline = DeadlineAfterMs(posix::MonotonicNs(), allowanceMs);
    uint32_t sent = 0;
    while (sent < count) {
        const ssize_t n = write(fd_, src + sent, count - sent);
        if (n > 0) {
            sent += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (!WouldBlock(n)) {
            if (HungUpError(errno)) {
                HangUp();
            }
            *moved = sent;
            return false;
        }
        const int ready = posix::WaitForFd(fd_, POLLOUT, deadline);
        if (ready == 0) {
            break;
        }
        if (ready < 0) {
            *moved = sent;
            return false;
        }
        if ((ready & kLineGone) != 0) {
            HangUp();
            *moved = sent;
            return false;
        }
    }
    // The caller may purge the output queue right after this returns, so the
    // bytes must be on the wire first: a one-byte write would be lost.
    WaitOutputSent(deadline);
    *moved = sent - std::min(sent, BytesInOutputQueue());
    return Usable();
}

// tcdrain would do, but it cannot be given a time limit.
void PosixSerialPort::WaitOutputSent(int64_t deadlineNs) const {
    const timespec pause{0, kDrainPollNs};
    while (BytesInOutputQueue() > 0) {
        if (deadlineNs != posix::kNoDeadline && posix::MonotonicNs() >= deadlineNs) {
            return;
        }
        nanosleep(&pause, nullptr);
    }
}

bool PosixSerialPort::Purge(unsigned flags) {
    if (fd_ < 0 || hungUp_) {
        errno = fd_ < 0 ? EBADF : EIO;
        return false;
    }
    bool ok = true;
    if ((flags & kPurgeInput) != 0) {
        ok = posix::FlushQueue(fd_, true) && ok;
    }
    if ((flags & kPurgeOutput) != 0) {
        ok = posix::FlushQueue(fd_, false) && ok;
    }
    return ok;
}

bool PosixSerialPort::SetBreak() {
    return fd_ >= 0 && ioctl(fd_, TIOCSBRK) == 0;
}

bool PosixSerialPort::ClearBreak() {
    return fd_ >= 0 && ioctl(fd_, TIOCCBRK) == 0;
}

}  // namespace rm525
