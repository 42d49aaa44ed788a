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
// Whether a port's device (what QueryDosDevice gives for it) is a Bluetooth
// serial port, whose opening can block for seconds while the system looks
// for the far device.
bool IsBluetoothDevice(const std::string& device);

class Win32SerialPortFactory : public SerialPortFactory {
public:
    Win32SerialPortFactory() = default;
    explicit Win32SerialPortFactory(Win32PortNames names) : names_(std::move(names)) {}
    // Ports behind `api` (a scripted driver in the tests) on `clock`.
    Win32SerialPortFactory(Win32PortNames names, const Win32CommApi& api, Clock& clock)
        : names_(std::move(names)), api_(&api), clock_(&clock) {}

    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override;
    // The system's own Bluetooth serial ports (\Device\BthModem*), unless a
    // mapping names them.
    bool PassedOverBySearch(int portNumber) override;

    Win32PortNames& portNames() { return names_; }

private:
    Win32PortNames names_;
    const Win32CommApi* api_ = &SystemCommApi();
    Win32Clock ownClock_;
    Clock* clock_ = &ownClock_;
};

}  // namespace rm525
