#include "link/win32/win32_serial_port.h"

#include <algorithm>

namespace rm525 {

namespace {

// How long the wait after a write sleeps between two looks at the queue.
constexpr DWORD kDrainPollMs = 1;
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

uint64_t TickMs() {
    return GetTickCount64();
}

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

Win32SerialPort::Win32SerialPort(HANDLE handle) : handle_(handle) {
    // What the driver holds now, where it can say; a pseudo-terminal under
    // Wine cannot (it has no modem lines), and the defaults stand in.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetCommState(handle_, &dcb)) {
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
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool Win32SerialPort::SetupQueues(uint32_t inputBytes, uint32_t outputBytes) {
    return SetupComm(handle_, inputBytes, outputBytes) != 0;
}

bool Win32SerialPort::GetLineSettings(LineSettings& settings) {
    if (handle_ == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    settings = line_;
    settings.binary = true;
    return true;
}

bool Win32SerialPort::SetLineSettings(const LineSettings& settings) {
    DCB dcb = MakeDcb(settings);
    if (!SetCommState(handle_, &dcb))
        return false;
    line_ = settings;
    line_.binary = true;
    return true;
}

bool Win32SerialPort::GetTimeouts(CommTimeouts& timeouts) {
    COMMTIMEOUTS t{};
    if (!GetCommTimeouts(handle_, &t))
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
    if (!SetCommTimeouts(handle_, &t))
        return false;
    writeMsPerByte_ = timeouts.writeTotalMultiplier;
    writeConstantMs_ = timeouts.writeTotalConstant;
    return true;
}

bool Win32SerialPort::ClearError(ErrorState* state) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status))
        return false;
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
    DWORD got = 0;
    const BOOL ok = ReadFile(handle_, dst, count, &got, nullptr);
    *moved = got;
    return ok != 0;
}

bool Win32SerialPort::Write(const uint8_t* src, uint32_t count, uint32_t* moved) {
    const uint64_t allowance = uint64_t{writeMsPerByte_} * count + writeConstantMs_;
    const uint64_t deadline = allowance == 0 ? 0 : TickMs() + allowance;
    DWORD sent = 0;
    const BOOL ok = WriteFile(handle_, src, count, &sent, nullptr);
    *moved = sent;
    if (!ok)
        return false;
    return WaitOutputSent(deadline);
}

// Looks at the queue through ClearCommError, which also clears the line's
// errors: those are kept for the caller's next ClearError.
bool Win32SerialPort::WaitOutputSent(uint64_t deadlineMs) {
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_, &errors, &status))
            return false;
        errorsSeen_ |= errors;
        if (status.cbOutQue == 0)
            return true;
        if (deadlineMs != 0 && TickMs() >= deadlineMs)
            return true;
        Sleep(kDrainPollMs);
    }
}

bool Win32SerialPort::Purge(unsigned flags) {
    bool ok = true;
    if ((flags & kPurgeInput) != 0)
        ok = PurgeComm(handle_, PURGE_RXCLEAR) != 0 && ok;
    if ((flags & kPurgeOutput) != 0)
        ok = PurgeComm(handle_, PURGE_TXCLEAR) != 0 && ok;
    return ok;
}

bool Win32SerialPort::SetBreak() {
    return SetCommBreak(handle_) != 0;
}

bool Win32SerialPort::ClearBreak() {
    return ClearCommBreak(handle_) != 0;
}

}  // namespace rm525
