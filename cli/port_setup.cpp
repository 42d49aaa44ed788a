#include "cli/port_setup.h"

namespace rm525::cli {

bool PortSetup::Open(const std::optional<std::string>& traceFile, std::string* error) {
    if (!traceFile)
        return true;
    traceFile_.open(*traceFile, std::ios::out | std::ios::trunc);
    if (!traceFile_) {
        *error = "cannot write the trace file " + *traceFile;
        return false;
    }
    trace_ = std::make_unique<TraceLog>(traceFile_, clock_);
    tracing_ = std::make_unique<TracingPortFactory>(posix_, *trace_);
    return true;
}

std::optional<int16_t> PortSetup::MapPort(const std::string& text) {
    const std::optional<PortArgument> arg = ParsePortArgument(text);
    if (!arg)
        return std::nullopt;
    if (arg->device.empty())
        return arg->port;
    posix_.portNames().SetOverride(kDevicePathPort, arg->device);
    return kDevicePathPort;
}

SerialPortFactory& PortSetup::ports() {
    if (tracing_)
        return *tracing_;
    return posix_;
}

}  // namespace rm525::cli
