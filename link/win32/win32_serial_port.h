#pragma once

#include <windows.h>

#include <cstdint>

#include "link/serial_port.h"

namespace rm525 {

// A serial port of the Win32 communications API, opened by
// Win32SerialPortFactory. Every operation is the system call of the same
// name, with two additions the link relies on:
//   - the line settings are always written whole (8 data bits and the
//     caller's rate, parity, stop bits and abort-on-error, never any flow
//     control), so nothing a previous program left in the driver survives;
//     GetLineSettings reports what this port last wrote;
//   - a write returns only once the driver's output queue is empty (or the
//     write's time allowance is used up), so that a purge right after it
//     cannot discard bytes that were written.
// ErrorState::errors carries the system's CE_* bits as ClearCommError gives
// them.
class Win32SerialPort : public SerialPort {
public:
    // Takes over `handle`, an open communications device.
    explicit Win32SerialPort(HANDLE handle);
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

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

private:
    bool WaitOutputSent(uint64_t deadlineMs);

    HANDLE handle_;
    LineSettings line_;            // what the driver was last told
    DWORD errorsSeen_ = 0;         // CE_* bits read while waiting on a write, not yet reported
    uint32_t writeMsPerByte_ = 0;  // the write time-outs, kept for the wait after a write
    uint32_t writeConstantMs_ = 0;
};

// The whole device control block for `settings`: binary mode, no flow
// control of any kind (neither CTS/DSR handshake nor XON/XOFF), DTR and RTS
// held on, no character replacement.
DCB MakeDcb(const LineSettings& settings);

}  // namespace rm525
