#pragma once

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "cli/trace_port.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"

namespace rm525::cli {

// The serial ports and clock of one command: the termios backend, with a
// device path given by the user put on port 1, wrapped in the wire trace
// when one was asked for.
class PortSetup {
public:
    // The device path given by the user goes on this port number.
    static constexpr int16_t kDevicePathPort = 1;

    // False (with `error` set) when the trace file cannot be written.
    bool Open(const std::optional<std::string>& traceFile, std::string* error);
    // The port number for a port argument; empty when it is none.
    std::optional<int16_t> MapPort(const std::string& text);

    SerialPortFactory& ports();
    Clock& clock() { return clock_; }

private:
    SystemClock clock_;
    PosixSerialPortFactory posix_;
    std::ofstream traceFile_;
    std::unique_ptr<TraceLog> trace_;
    std::unique_ptr<TracingPortFactory> tracing_;
};

}  // namespace rm525::cli
