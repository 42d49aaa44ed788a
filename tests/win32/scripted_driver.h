#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "link/win32/win32_comm_api.h"
#include "sim/simulated_port.h"

namespace rm525::testing {

// A serial driver behind Win32SerialPort's table of calls that fails as
// Windows' own does, over the simulator's line:
//   - abort-on-error: after a line error every request but ClearCommError
//     is refused with ERROR_OPERATION_ABORTED until ClearCommError reads it;
//   - an adapter unplugged: from a chosen call on, every call fails with
//     the adapter's error (a read or write moves half its bytes first), or,
//     for a driver that keeps answering ClearCommError, every call that
//     reaches the device (reads, writes, the line settings and break);
//   - scripted one-off failures and line errors.
// One driver at a time (the table's functions find it through a global);
// the handle it gives out is the driver itself.
class ScriptedDriver {
public:
    enum Call {
        kCreate,
        kSetupComm,
        kGetState,
        kSetState,
        kGetTimeouts,
        kSetTimeouts,
        kRead,
        kWrite,
        kClearError,
        kPurge,
        kSetBreak,
        kClearBreak,
        kClose,
        kCallCount
    };

    explicit ScriptedDriver(sim::SimulatedPortFactory& line);
    ~ScriptedDriver();

    const Win32CommApi& api() const;

    // The next `times` calls of `call` fail with `error` and do nothing.
    void Fail(Call call, DWORD error, int times = 1);
    // A line error (CE_* bits) comes in before the next call of `call`.
    void LineErrorBefore(Call call, DWORD bits);
    // The adapter is pulled out during the `nth` call of `call` from now
    // (1 = the next one).
    void UnplugAt(Call call, int nth, DWORD error, bool errorQueryAnswers);

    int calls(Call call) const { return calls_[call]; }
    int callsSinceUnplug() const { return callsSinceUnplug_; }
    bool unplugged() const { return unplugged_; }
    uint32_t unpluggedAtMs() const { return unpluggedAtMs_; }
    bool open() const { return inner_ != nullptr; }
    bool breakOn() const { return breakOn_; }
    // The port numbers CreateFile was asked for, in turn.
    const std::vector<int>& created() const { return created_; }
    // Port `number` is a Bluetooth serial port (QueryDosDevice says so).
    void SetBluetooth(int number) { bluetooth_.push_back(number); }

    // The driver's side of each call, for the table.
    HANDLE DoCreate(LPCWSTR name);
    BOOL DoCall(Call call, const std::function<bool()>& action);
    BOOL DoClearError(LPDWORD errors, LPCOMSTAT status);
    BOOL DoTransfer(Call call, DWORD count, LPDWORD moved,
                    const std::function<bool(DWORD, uint32_t*)>& action);
    BOOL DoClose();
    DWORD DoQueryDevice(LPCWSTR name, LPWSTR target, DWORD size);
    SerialPort& inner() { return *inner_; }
    void SetAbortOnError(bool on) { abortOnError_ = on; }
    void SetBreakOn(bool on) { breakOn_ = on; }

private:
    // Takes the line errors the simulator saw into the driver's own state.
    void Harvest();
    // Whether `call` fails now, with its error set; counts the call.
    bool Refuses(Call call);
    bool UnplugsNow(Call call);

    sim::SimulatedPortFactory& line_;
    std::unique_ptr<SerialPort> inner_;
    bool abortOnError_ = false;
    DWORD pending_ = 0;
    bool breakOn_ = false;
    std::array<int, kCallCount> calls_{};
    std::array<int, kCallCount> failTimes_{};
    std::array<DWORD, kCallCount> failError_{};
    std::array<DWORD, kCallCount> errorBefore_{};
    Call unplugCall_ = kCallCount;
    int unplugIn_ = 0;
    DWORD unplugError_ = 0;
    bool errorQueryAnswers_ = true;
    bool unplugged_ = false;
    int callsSinceUnplug_ = 0;
    uint32_t unpluggedAtMs_ = 0;
    std::vector<int> created_;
    std::vector<int> bluetooth_;
};

}  // namespace rm525::testing
