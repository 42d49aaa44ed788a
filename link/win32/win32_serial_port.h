#pragma once

#include <windows.h>

#include <cstdint>

#include "link/clock.h"
#include "link/serial_port.h"
#include "link/win32/win32_comm_api.h"

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
//
// What a real driver does that the link must not see:
//   - with abort-on-error, the driver refuses every request but
//     ClearCommError (ERROR_OPERATION_ABORTED) until the error is read. Each
//     control call (settings, time-outs, purge, break) therefore reads the
//     error state first, keeping its bits for the next ClearError, and a
//     call refused all the same is tried once more after another read;
//   - a USB adapter pulled out fails its calls with one of the codes
//     IsDeviceGoneError names (ERROR_OPERATION_ABORTED only when the error
//     state cannot be read either): the port then counts as gone, and that
//     call and every later one fail, ClearError included, as a POSIX line
//     that has hung up;
//   - a break that cannot be taken off the line is tried once more, then
//     the port is closed, which ends the break.
// A failed call leaves its Windows error code for GetLastError.
class Win32SerialPort : public SerialPort {
public:
    // Takes over `handle`, an open communications device reached through
    // `api`; waits after a write run on `clock`.
    Win32SerialPort(HANDLE handle, const Win32CommApi& api, Clock& clock);
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

    bool gone() const { return gone_; }

private:
    bool WaitOutputSent(uint32_t deadlineMs, bool hasDeadline);
    // Reads the error state, keeping its bits for the next ClearError.
    bool KeepErrors(COMSTAT* status);
    // Runs a control call with the error state read first (see above).
    template <class Call>
    bool Control(Call call);
    // Records why a call failed; false, with the error left for GetLastError.
    bool Failed(DWORD error);
    bool Usable();

    HANDLE handle_;
    const Win32CommApi& api_;
    Clock& clock_;
    bool gone_ = false;
    DWORD goneError_ = 0;          // the error that told the device had gone
    LineSettings line_;            // what the driver was last told
    DWORD errorsSeen_ = 0;         // CE_* bits read while waiting on a write, not yet reported
    uint32_t writeMsPerByte_ = 0;  // the write time-outs, kept for the wait after a write
    uint32_t writeConstantMs_ = 0;
};

// The whole device control block for `settings`: binary mode, no flow
// control of any kind (neither CTS/DSR handshake nor XON/XOFF), DTR and RTS
// held on, no character replacement.
DCB MakeDcb(const LineSettings& settings);

// Whether a failed read, write or control call with this error tells that
// the device has gone (a USB adapter unplugged). ERROR_OPERATION_ABORTED is
// not among them: abort-on-error gives it too.
bool IsDeviceGoneError(DWORD error);

}  // namespace rm525
