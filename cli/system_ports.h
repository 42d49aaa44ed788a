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

// SystemPorts over a backend's factory (with its port names) and clock: what
// each system's MakeSystemPorts returns.
template <class Factory, class SystemClock>
class BackendPorts : public SystemPorts {
public:
    SerialPortFactory& factory() override { return factory_; }
    Clock& clock() override { return clock_; }
    void SetDevice(int portNumber, const std::string& device) override {
        factory_.portNames().SetOverride(portNumber, device);
    }
    std::string DeviceOf(int portNumber) override {
        return factory_.portNames().Resolve(portNumber);
    }

private:
    SystemClock clock_;
    Factory factory_;
};

}  // namespace rm525::cli
