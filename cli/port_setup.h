#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/clock.h"
#include "link/serial_port.h"

namespace rm525::cli {

// The serial ports and clock of one command: the system's serial backend,
// with a device path given by the user put on port 1, wrapped in the wire
// trace when one was asked for. The system's own part is SystemPorts
// (cli/system_ports.h).
class PortSetup {
public:
    // The device path given by the user goes on this port number.
    static constexpr int16_t kDevicePathPort = 1;

    PortSetup();
    ~PortSetup();
    PortSetup(const PortSetup&) = delete;
    PortSetup& operator=(const PortSetup&) = delete;

    // False (with `error` set) when the trace file cannot be written.
    bool Open(const std::optional<std::string>& traceFile, std::string* error);
    // The port number for a port argument; empty when it is none.
    std::optional<int16_t> MapPort(const std::string& text);
    // The device a port number stands for now; empty when none.
    std::string DeviceOf(int portNumber) const;

    SerialPortFactory& ports();
    Clock& clock();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rm525::cli
