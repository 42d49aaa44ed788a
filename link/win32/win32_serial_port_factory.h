#pragma once

#include <memory>
#include <string>

#include "link/clock.h"
#include "link/serial_port.h"
#include "link/win32/win32_clock.h"
#include "link/win32/win32_comm_api.h"
#include "link/win32/win32_port_names.h"
#include "link/win32/win32_serial_port.h"

namespace rm525 {

// Opens the communications device `path` (e.g. \\.\COM3) for reading and
// writing, shared with no other program, only if it exists. On failure
// returns null and sets `systemError` to GetLastError(): ERROR_FILE_NOT_FOUND
// (no such port), ERROR_ACCESS_DENIED (another program holds it), ...
// The port is reached through `api` and waits on `clock`.
std::unique_ptr<Win32SerialPort> OpenCommDevice(const std::string& path, const Win32CommApi& api,
                                                Clock& clock, unsigned long* systemError);

// Opens port numbers through Win32PortNames. OpenFailure::systemError holds
// the Win32 error code.
class Win32SerialPortFactory : public SerialPortFactory {
public:
    Win32SerialPortFactory() = default;
    explicit Win32SerialPortFactory(Win32PortNames names) : names_(std::move(names)) {}
    // Ports behind `api` (a scripted driver in the tests) on `clock`.
    Win32SerialPortFactory(Win32PortNames names, const Win32CommApi& api, Clock& clock)
        : names_(std::move(names)), api_(&api), clock_(&clock) {}

    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override;

    Win32PortNames& portNames() { return names_; }

private:
    Win32PortNames names_;
    const Win32CommApi* api_ = &SystemCommApi();
    Win32Clock ownClock_;
    Clock* clock_ = &ownClock_;
};

}  // namespace rm525
