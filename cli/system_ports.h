#pragma once

#include <memory>
#include <string>

#include "link/clock.h"
#include "link/serial_port.h"

namespace rm525::cli {

// The system's serial backend and clock, as a command uses them. One
// implementation file per system (system_ports_posix.cpp,
// system_ports_win32.cpp); PortSetup builds the rest on it.
class SystemPorts {
public:
    virtual ~SystemPorts() = default;
    virtual SerialPortFactory& factory() = 0;
    virtual Clock& clock() = 0;
    // Puts `device` on port `portNumber` for this run.
    virtual void SetDevice(int portNumber, const std::string& device) = 0;
    // The device a port number stands for now; empty when none.
    virtual std::string DeviceOf(int portNumber) = 0;
};

std::unique_ptr<SystemPorts> MakeSystemPorts();

}  // namespace rm525::cli
