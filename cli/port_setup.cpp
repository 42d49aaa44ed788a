#include "cli/port_setup.h"

#include <filesystem>

namespace rm525::cli {

PortSetup::PortSetup() : system_(MakePortSystem()) {}

PortSetup::~PortSetup() = default;

bool PortSetup::Open(const std::optional<std::string>& traceFile, std::string* error) {
    if (!traceFile)
        return true;
    // The name is UTF-8 on every system; a path made from it says so where
    // the system's own file names are not (Windows).
    const std::u8string name(traceFile->begin(), traceFile->end());
    traceFile_.open(std::filesystem::path(name), std::ios::out | std::ios::trunc);
    if (!traceFile_) {
        *error = "cannot write the trace file " + *traceFile;
        return false;
    }
    trace_ = std::make_unique<TraceLog>(traceFile_, clock());
    tracing_ = std::make_unique<TracingPortFactory>(system_->ports(), *trace_);
    return true;
}

std::optional<int16_t> PortSetup::MapPort(const std::string& text) {
    const std::optional<PortArgument> arg = ParsePortArgument(text);
    if (!arg)
        return std::nullopt;
    if (arg->device.empty())
        return arg->port;
    system_->PutDevice(kDevicePathPort, arg->device);
    return kDevicePathPort;
}

SerialPortFactory& PortSetup::ports() {
    if (tracing_)
        return *tracing_;
    return system_->ports();
}

}  // namespace rm525::cli
