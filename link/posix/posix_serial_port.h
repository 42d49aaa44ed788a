#pragma once

#include <cstdint>

#include "link/serial_port.h"

namespace rm525 {

// Bits of ErrorState::errors: the line errors the driver counted.
namespace line_error {
constexpr uint32_t kQueueOverrun = 0x01;  // the driver's input buffer overflowed
constexpr uint32_t kOverrun = 0x02;       // the UART lost a byte before it was taken
constexpr uint32_t kParity = 0x04;
constexpr uint32_t kFrame = 0x08;
constexpr uint32_t kBreak = 0x10;  // the other side held the line in break
}  // namespace line_error

// A serial port on a POSIX terminal device, behaving as the link expects a
// serial port to behave: reads end on a total time-out or an inter-byte gap,
// a write returns only once its bytes have left the driver, and with
// `abortOnError` a line error ends the read it happens in and stops reads and
// writes until ClearError. Line errors come from the driver's error counters;
// where there are none (a pseudo-terminal) the line never reports an error.
// A line that hangs up (adapter unplugged, the other side of a pty closed)
// fails the call that finds it and every call after it, ClearError included.
class PosixSerialPort : public SerialPort {
public:
    // Takes over `fd`: a terminal opened non-blocking and locked by the
    // factory, which the port unlocks and closes.
    explicit PosixSerialPort(int fd);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool SetupQueues(uint32_t inputBytes, uint32_t outputBytes) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool GetTimeouts(CommTimeouts& timeouts) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;
    bool ClearError(ErrorState* state) override;
    bool Read(uint8_t* dst, uint32_t count, uint32_t* moved) override;
    bool Write(const uint8_t* src, uint32_t count, uint32_t* moved) override;
    bool Purge(unsigned flags) override;
    bool SetBreak() override;
    bool ClearBreak() override;
    void Close() override;

    int fd() const { return fd_; }

private:
    struct ErrorCounters {
        uint32_t queueOverrun = 0;
        uint32_t overrun = 0;
        uint32_t parity = 0;
        uint32_t frame = 0;
        uint32_t brk = 0;
    };

    bool ReadCounters(ErrorCounters* counters);
    uint32_t ErrorsSince(const ErrorCounters& now) const;
    // Marks the line as hung up: every later call fails with EIO.
    void HangUp();
    bool Usable();
    uint32_t BytesInOutputQueue() const;
    void WaitOutputSent(int64_t deadlineNs) const;

    int fd_;
    CommTimeouts timeouts_;
    bool abortOnError_ = false;
    bool errorLatched_ = false;
    bool hungUp_ = false;
    bool countersSupported_ = true;
    ErrorCounters seen_;  // the counters at the last ClearError
};

}  // namespace rm525
