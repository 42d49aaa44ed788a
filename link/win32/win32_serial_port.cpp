#include "link/win32/win32_serial_port.h"

#include <algorithm>
#include <iterator>

namespace rm525 {

namespace {

// How long the wait after a write sleeps between two looks at the queue.
constexpr uint32_t kDrainPollMs = 1;
// The longest wait after a write the clock can express.
constexpr uint64_t kMaxWaitMs = 0x7fff'ffff;
// XON and XOFF stay at their usual codes even though XON/XOFF is off: the
// driver refuses a block in which they are equal.
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

BYTE ParityCode(Parity parity) {
    switch (parity) {
        case Parity::Odd:
            return ODDPARITY;
        case Parity::Even:
            return EVENPARITY;
        case Parity::None:
            break;
    }
    return NOPARITY;
}

Parity ParityOf(BYTE code) {
    switch (code) {
        case ODDPARITY:
            return Parity::Odd;
        case EVENPARITY:
            return Parity::Even;
        default:
            return Parity::None;
    }
}

// After its first failure, a break that stays on the line is tried this many
// more times before the port is closed.
constexpr int kClearBreakRetries = 1;

// What USB serial drivers answer once their adapter has been pulled out.
constexpr DWORD kDeviceGoneErrors[] = {ERROR_GEN_FAILURE, ERROR_BAD_COMMAND, ERROR_ACCESS_DENIED,
                                       ERROR_DEVICE_NOT_CONNECTED};

}  // namespace

DCB MakeDcb(const LineSettings& settings) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = settings.baudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parityCheck ? TRUE : FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = settings.abortOnError ? TRUE : FALSE;
    dcb.ByteSize = settings.byteSize;
    dcb.Parity = ParityCode(settings.parity);
    dcb.StopBits = settings.stopBits == StopBits::Two ? TWOSTOPBITS : ONESTOPBIT;
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    return dcb;
}

bool IsDeviceGoneError(DWORD error) {
    return std::find(std::begin(kDeviceGoneErrors), std::end(kDeviceGoneErrors), error) !=
           std::end(kDeviceGoneErrors);
}

Win32SerialPort::Win32SerialPort(HANDLE handle, const Win32CommApi& api, Clock& clock)
    : handle_(handle), api_(api), clock_(clock) {
    // What the driver holds now, where it can say; a pseudo-terminal under
    // Wine cannot (it has no modem lines), and the defaults stand in.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (api_.getCommState(handle_, &dcb)) {
        line_.baudRate = dcb.BaudRate;
        line_.byteSize = dcb.ByteSize;
        line_.parity = ParityOf(dcb.Parity);
        line_.stopBits = dcb.StopBits == TWOSTOPBITS ? StopBits::Two : StopBits::One;
        line_.parityCheck = dcb.fParity != 0;
        line_.abortOnError = dcb.fAbortOnError != 0;
    }
}

Win32SerialPort::~Win32SerialPort() {
    Close();
}

void Win32SerialPort::Close() {
    if (handle_ == INVALID_HANDLE_VALUE)
        return;
    api_.closeHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool Win32SerialPort::Usable() {
    if (gone_) {
        SetLastError(goneError_);
        return false;
    }
    if (handle_ == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

bool Win32SerialPort::KeepErrors(COMSTAT* status) {
    DWORD errors = 0;
    COMSTAT ignored{};
    if (!api_.clearCommError(handle_, &errors, status != nullptr ? status : &ignored))
        return false;
    errorsSeen_ |= errors;
    return true;
}

bool Win32SerialPort::Failed(DWORD error) {
    if (!gone_) {
        // Abort-on-error refuses with ERROR_OPERATION_ABORTED as well; only a
        // device that cannot even report its error state has gone.
        if (error == ERROR_OPERATION_ABORTED)
            gone_ = !KeepErrors(nullptr);
        else
            gone_ = IsDeviceGoneError(error);
        if (gone_)
            goneError_ = error;
    }
    SetLastError(error);
    return false;
}

template <class Call>
bool Win32SerialPort::Control(Call call) {
    if (!Usable())
        return false;
    if (!KeepErrors(nullptr))
        return Failed(GetLastError());
    if (call())
        return true;
    DWORD error = GetLastError();
    // An error that came in between the two calls.
    if (error == ERROR_OPERATION_ABORTED && KeepErrors(nullptr)) {
        if (call())
            return true;
        error = GetLastError();
    }
    return Failed(error);
}

bool Win32SerialPort::SetupQueues(uint32_t inputBytes, uint32_t outputBytes) {
    return Control([&] { return api_.setupComm(handle_, inputBytes, outputBytes) != 0; });
}

bool Win32SerialPort::GetLineSettings(LineSettings& settings) {
    if (!Usable())
        return false;
    settings = line_;
    settings.binary = true;
    return true;
}

bool Win32SerialPort::SetLineSettings(const LineSettings& settings) {
    DCB dcb = MakeDcb(settings);
    if (!Control([&] { return api_.setCommState(handle_, &dcb) != 0; }))
        return false;
    line_ = settings;
    line_.binary = true;
    return true;
}

bool Win32SerialPort::GetTimeouts(CommTimeouts& timeouts) {
    COMMTIMEOUTS t{};
    if (!Control([&] { return api_.getCommTimeouts(handle_, &t) != 0; }))
        return false;
    timeouts.readInterval = t.ReadIntervalTimeout;
    timeouts.readTotalMultiplier = t.ReadTotalTimeoutMultiplier;
    timeouts.readTotalConstant = t.ReadTotalTimeoutConstant;
    timeouts.writeTotalMultiplier = t.WriteTotalTimeoutMultiplier;
    timeouts.writeTotalConstant = t.WriteTotalTimeoutConstant;
    return true;
}

bool Win32SerialPort::SetTimeouts(const CommTimeouts& timeouts) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = timeouts.readInterval;
    t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    t.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    t.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    if (!Control([&] { return api_.setCommTimeouts(handle_, &t) != 0; }))
        return false;
    writeMsPerByte_ = timeouts.writeTotalMultiplier;
    writeConstantMs_ = timeouts.writeTotalConstant;
    return true;
}

bool Win32SerialPort::ClearError(ErrorState* state) {
    if (!Usable())
        return false;
    DWORD errors = 0;
    COMSTAT status{};
    if (!api_.clearCommError(handle_, &errors, &status))
        return Failed(GetLastError());
    errors |= errorsSeen_;
    errorsSeen_ = 0;
    if (state != nullptr) {
        state->errors = errors;
        state->inQueue = status.cbInQue;
        state->outQueue = status.cbOutQue;
    }
    return true;
}

bool Win32SerialPort::Read(uint8_t* dst, uint32_t count, uint32_t* moved) {
    *moved = 0;
    if (!Usable())
        return false;
    DWORD got = 0;
    const BOOL ok = api_.readFile(handle_, dst, count, &got, nullptr);
    *moved = got;
    return ok != 0 || Failed(GetLastError());
}

bool Win32SerialPort::Write(const uint8_t* src, uint32_t count, uint32_t* moved) {
    *moved = 0;
    if (!Usable())
        return false;
    const uint64_t allowance = uint64_t{writeMsPerByte_} * count + writeConstantMs_;
    const uint32_t deadline =
        clock_.NowMs() + static_cast<uint32_t>(std::min<uint64_t>(allowance, kMaxWaitMs));
    DWORD sent = 0;
    const BOOL ok = api_.writeFile(handle_, src, count, &sent, nullptr);
    *moved = sent;
    if (!ok)
        return Failed(GetLastError());
    return WaitOutputSent(deadline, allowance != 0);
}

// Looks at the queue through ClearCommError, which also clears the line's
// errors: those are kept for the caller's next ClearError.
bool Win32SerialPort::WaitOutputSent(uint32_t deadlineMs, bool hasDeadline) {
    for (;;) {
        COMSTAT status{};
        if (!KeepErrors(&status))
            return Failed(GetLastError());
        if (status.cbOutQue == 0)
            return true;
        if (hasDeadline && static_cast<int32_t>(clock_.NowMs() - deadlineMs) >= 0)
            return true;
        clock_.SleepUntil(clock_.NowMs() + kDrainPollMs);
    }
}

bool Win32SerialPort::Purge(unsigned flags) {
    bool ok = true;
    if ((flags & kPurgeInput) != 0)
        ok = Control([&] { return api_.purgeComm(handle_, PURGE_RXCLEAR) != 0; }) && ok;
    if ((flags & kPurgeOutput) != 0)
        ok = Control([&] { return api_.purgeComm(handle_, PURGE_TXCLEAR) != 0; }) && ok;
    return ok;
}

bool Win32SerialPort::SetBreak() {
    return Control([&] { return api_.setCommBreak(handle_) != 0; });
}

// A line left in break would hold the camera in reset: after the retries the
// port is closed, which takes the break off.
bool Win32SerialPort::ClearBreak() {
    for (int attempt = 0; attempt <= kClearBreakRetries && Usable(); ++attempt) {
        if (Control([&] { return api_.clearCommBreak(handle_) != 0; }))
            return true;
    }
    const DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return false;
}

}  // namespace rm525
