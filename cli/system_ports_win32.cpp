#include "cli/system_ports.h"
#include "link/win32/win32_clock.h"
#include "link/win32/win32_serial_port_factory.h"

namespace rm525::cli {

std::unique_ptr<SystemPorts> MakeSystemPorts() {
    return std::make_unique<BackendPorts<Win32SerialPortFactory, Win32Clock>>();
}

}  // namespace rm525::cli
