#include "tests/win32/scripted_driver.h"

#include <algorithm>
#include <string>

#include "link/win32/win32_serial_port.h"

namespace rm525::testing {

namespace {

using Call = ScriptedDriver::Call;

ScriptedDriver* g_driver = nullptr;

ScriptedDriver& DriverOf(HANDLE handle) {
    return *reinterpret_cast<ScriptedDriver*>(handle);
}

LineSettings SettingsOf(const DCB& dcb) {
    LineSettings s;
    s.baudRate = dcb.BaudRate;
    s.byteSize = dcb.ByteSize;
    s.parity = dcb.Parity == ODDPARITY    ? Parity::Odd
               : dcb.Parity == EVENPARITY ? Parity::Even
                                          : Parity::None;
    s.stopBits = dcb.StopBits == TWOSTOPBITS ? StopBits::Two : StopBits::One;
    s.parityCheck = dcb.fParity != 0;
    s.abortOnError = dcb.fAbortOnError != 0;
    return s;
}

HANDLE WINAPI Create(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    return g_driver->DoCreate(name);
}

BOOL WINAPI SetupQueues(HANDLE h, DWORD in, DWORD out) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoCall(ScriptedDriver::kSetupComm, [&] { return d.inner().SetupQueues(in, out); });
}

BOOL WINAPI GetState(HANDLE h, LPDCB dcb) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoCall(ScriptedDriver::kGetState, [&] {
        LineSettings s;
        if (!d.inner().GetLineSettings(s))
            return false;
        *dcb = MakeDcb(s);
        return true;
    });
}

BOOL WINAPI SetState(HANDLE h, LPDCB dcb) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoCall(ScriptedDriver::kSetState, [&] {
        d.SetAbortOnError(dcb->fAbortOnError != 0);
        return d.inner().SetLineSettings(SettingsOf(*dcb));
    });
}

BOOL WINAPI GetTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoCall(ScriptedDriver::kGetTimeouts, [&] {
        CommTimeouts c;
        if (!d.inner().GetTimeouts(c))
            return false;
        t->ReadIntervalTimeout = c.readInterval;
        t->ReadTotalTimeoutMultiplier = c.readTotalMultiplier;
        t->ReadTotalTimeoutConstant = c.readTotalConstant;
        t->WriteTotalTimeoutMultiplier = c.writeTotalMultiplier;
        t->WriteTotalTimeoutConstant = c.writeTotalConstant;
        return true;
    });
}

BOOL WINAPI SetTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoCall(ScriptedDriver::kSetTimeouts, [&] {
        CommTimeouts c;
        c.readInterval = t->ReadIntervalTimeout;
        c.readTotalMultiplier = t->ReadTotalTimeoutMultiplier;
        c.readTotalConstant = t->ReadTotalTimeoutConstant;
        c.writeTotalMultiplier = t->WriteTotalTimeoutMultiplier;
        c.writeTotalConstant = t->WriteTotalTimeoutConstant;
        return d.inner().SetTimeouts(c);
    });
}

BOOL WINAPI Read(HANDLE h, LPVOID dst, DWORD count, LPDWORD moved, LPOVERLAPPED) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoTransfer(ScriptedDriver::kRead, count, moved, [&](DWORD n, uint32_t* got) {
        return d.inner().Read(static_cast<uint8_t*>(dst), n, got);
    });
}

BOOL WINAPI Write(HANDLE h, LPCVOID src, DWORD count, LPDWORD moved, LPOVERLAPPED) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoTransfer(ScriptedDriver::kWrite, count, moved, [&](DWORD n, uint32_t* got) {
        return d.inner().Write(static_cast<const uint8_t*>(src), n, got);
    });
}

BOOL WINAPI ClearError(HANDLE h, LPDWORD errors, LPCOMSTAT status) {
    return DriverOf(h).DoClearError(errors, status);
}

BOOL WINAPI Purge(HANDLE h, DWORD flags) {
    ScriptedDriver& d = DriverOf(h);
    unsigned which = 0;
    if ((flags & PURGE_RXCLEAR) != 0)
        which |= kPurgeInput;
    if ((flags & PURGE_TXCLEAR) != 0)
        which |= kPurgeOutput;
    return d.DoCall(ScriptedDriver::kPurge, [&] { return d.inner().Purge(which); });
}

BOOL WINAPI SetBreak(HANDLE h) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoCall(ScriptedDriver::kSetBreak, [&] {
        d.SetBreakOn(true);
        return d.inner().SetBreak();
    });
}

BOOL WINAPI ClearBreak(HANDLE h) {
    ScriptedDriver& d = DriverOf(h);
    return d.DoCall(ScriptedDriver::kClearBreak, [&] {
        d.SetBreakOn(false);
        return d.inner().ClearBreak();
    });
}

BOOL WINAPI Close(HANDLE h) {
    return DriverOf(h).DoClose();
}

DWORD WINAPI QueryDevice(LPCWSTR name, LPWSTR target, DWORD size) {
    return g_driver->DoQueryDevice(name, target, size);
}

int PortNumberOf(const std::wstring& name) {
    const size_t com = name.rfind(L"COM");
    return com == std::wstring::npos ? 0 : std::stoi(name.substr(com + 3));
}

const Win32CommApi kScriptedApi{Create,      SetupQueues, GetState, SetState,   GetTimeouts,
                                SetTimeouts, Read,        Write,    ClearError, Purge,
                                SetBreak,    ClearBreak,  Close,    QueryDevice};

}  // namespace

ScriptedDriver::ScriptedDriver(sim::SimulatedPortFactory& line) : line_(line) {
    g_driver = this;
}

ScriptedDriver::~ScriptedDriver() {
    g_driver = nullptr;
}

const Win32CommApi& ScriptedDriver::api() const {
    return kScriptedApi;
}

void ScriptedDriver::Fail(Call call, DWORD error, int times) {
    failTimes_[call] = times;
    failError_[call] = error;
}

void ScriptedDriver::LineErrorBefore(Call call, DWORD bits) {
    errorBefore_[call] |= bits;
}

void ScriptedDriver::UnplugAt(Call call, int nth, DWORD error, bool errorQueryAnswers) {
    unplugCall_ = call;
    unplugIn_ = nth;
    unplugError_ = error;
    errorQueryAnswers_ = errorQueryAnswers;
}

void ScriptedDriver::Harvest() {
    ErrorState state;
    if (inner_ && inner_->ClearError(&state))
        pending_ |= state.errors;
}

bool ScriptedDriver::UnplugsNow(Call call) {
    if (unplugged_ || call != unplugCall_ || --unplugIn_ != 0)
        return false;
    unplugged_ = true;
    unpluggedAtMs_ = line_.Clock().NowMs();
    return true;
}

bool ScriptedDriver::Refuses(Call call) {
    ++calls_[call];
    if (UnplugsNow(call) || unplugged_) {
        ++callsSinceUnplug_;
        // Such a driver answers what it keeps itself; only the device fails.
        if (errorQueryAnswers_ && call != kRead && call != kWrite && call != kSetBreak &&
            call != kClearBreak && call != kSetState)
            return false;
        SetLastError(unplugError_);
        return true;
    }
    pending_ |= errorBefore_[call];
    errorBefore_[call] = 0;
    if (failTimes_[call] > 0) {
        --failTimes_[call];
        SetLastError(failError_[call]);
        return true;
    }
    // Abort-on-error: only the error query goes through until it has run.
    if (call != kClearError && abortOnError_ && pending_ != 0) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return true;
    }
    return false;
}

HANDLE ScriptedDriver::DoCreate(LPCWSTR name) {
    ++calls_[kCreate];
    const int number = PortNumberOf(name);
    created_.push_back(number);
    OpenFailure failure;
    if (unplugged_ || inner_ || !(inner_ = line_.Open(number, &failure))) {
        SetLastError(inner_ ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    pending_ = 0;
    abortOnError_ = false;
    return reinterpret_cast<HANDLE>(this);
}

BOOL ScriptedDriver::DoCall(Call call, const std::function<bool()>& action) {
    if (Refuses(call))
        return FALSE;
    const bool ok = action();
    Harvest();
    if (!ok)
        SetLastError(ERROR_GEN_FAILURE);
    return ok ? TRUE : FALSE;
}

BOOL ScriptedDriver::DoTransfer(Call call, DWORD count, LPDWORD moved,
                                const std::function<bool(DWORD, uint32_t*)>& action) {
    *moved = 0;
    uint32_t got = 0;
    if (!unplugged_ && call == unplugCall_ && unplugIn_ == 1) {
        // Half of it moves before the adapter goes.
        action(count / 2, &got);
        *moved = got;
    }
    if (Refuses(call))
        return FALSE;
    // The simulated line ends a read at a line error, as the driver does
    // with abort-on-error.
    const bool ok = action(count, &got);
    *moved = got;
    Harvest();
    if (!ok)
        SetLastError(ERROR_OPERATION_ABORTED);
    return ok ? TRUE : FALSE;
}

BOOL ScriptedDriver::DoClearError(LPDWORD errors, LPCOMSTAT status) {
    if (Refuses(kClearError))
        return FALSE;
    ErrorState state;
    if (!unplugged_ && inner_)
        inner_->ClearError(&state);
    if (errors != nullptr)
        *errors = unplugged_ ? 0 : state.errors | pending_;
    pending_ = 0;
    if (status != nullptr) {
        *status = COMSTAT{};
        status->cbInQue = state.inQueue;
        status->cbOutQue = state.outQueue;
    }
    return TRUE;
}

DWORD ScriptedDriver::DoQueryDevice(LPCWSTR name, LPWSTR target, DWORD size) {
    const int number = PortNumberOf(name);
    const bool bluetooth =
        std::find(bluetooth_.begin(), bluetooth_.end(), number) != bluetooth_.end();
    const std::wstring device =
        (bluetooth ? L"\\Device\\BthModem" : L"\\Device\\Serial") + std::to_wstring(number);
    if (device.size() + 2 > size)
        return 0;
    std::copy(device.begin(), device.end(), target);
    target[device.size()] = L'\0';
    target[device.size() + 1] = L'\0';
    return static_cast<DWORD>(device.size() + 2);
}

BOOL ScriptedDriver::DoClose() {
    ++calls_[kClose];
    inner_.reset();
    breakOn_ = false;
    return TRUE;
}

}  // namespace rm525::testing
