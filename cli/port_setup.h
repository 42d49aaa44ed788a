#pragma once

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "cli/port_system.h"
#include "cli/trace_port.h"

namespace rm525::cli {

// The serial ports and clock of one command: the system's serial backend,
// with a device path given by the user put on port 1, wrapped in the wire
// trace when one was asked for.
class PortSetup {
public:
    // The device path given by the user goes on this port number.
    static constexpr int16_t kDevicePathPort = 1;

    PortSetup();
    ~PortSetup();

    // False (with `error` set) when the trace file cannot be written.
    bool Open(const std::optional<std::string>& traceFile, std::string* error);
    // The port number for a port argument; empty when it is none.
    std::optional<int16_t> MapPort(const std::string& text);

    SerialPortFactory& ports();
    Clock& clock() { return system_->clock(); }
    std::string ExplainOpenFailure(const OpenFailure& failure) {
        return system_->ExplainOpenFailure(failure);
    }

private:
    std::unique_ptr<PortSystem> system_;
    std::ofstream traceFile_;
    std::unique_ptr<TraceLog> trace_;
    std::unique_ptr<TracingPortFactory> tracing_;
};

}  // namespace rm525::cli
