#include "cli/port_setup.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cli/cli_options.h"
#include "cli/system_ports.h"
#include "cli/trace_port.h"
#include "cli/utf8_path.h"

namespace rm525::cli {

struct PortSetup::Impl {
    std::unique_ptr<SystemPorts> system = MakeSystemPorts();
    std::ofstream traceFile;
    std::unique_ptr<TraceLog> trace;
    std::unique_ptr<TracingPortFactory> tracing;
};

PortSetup::PortSetup() : impl_(std::make_unique<Impl>()) {}
PortSetup::~PortSetup() = default;

bool PortSetup::Open(const std::optional<std::string>& traceFile, std::string* error) {
    if (!traceFile)
        return true;
    const std::filesystem::path path = PathFromUtf8(*traceFile);
    errno = 0;
    impl_->traceFile.open(path, std::ios::out | std::ios::trunc);
    if (!impl_->traceFile) {
        const int why = errno;
        std::error_code ec;
        const std::filesystem::path folder = path.parent_path();
        std::string reason = why != 0 ? std::strerror(why) : "cannot be opened";
        if (!folder.empty() && !std::filesystem::exists(folder, ec))
            reason = "the folder " + Utf8FromPath(folder) + " does not exist";
        else if (std::filesystem::is_directory(path, ec))
            reason = "a folder, not a file";
        *error = "cannot write the trace file " + *traceFile + ": " + reason;
        return false;
    }
    impl_->trace = std::make_unique<TraceLog>(impl_->traceFile, impl_->system->clock());
    impl_->tracing = std::make_unique<TracingPortFactory>(impl_->system->factory(), *impl_->trace);
    return true;
}

std::optional<int16_t> PortSetup::MapPort(const std::string& text) {
    const std::optional<PortArgument> arg = ParsePortArgument(text);
    if (!arg)
        return std::nullopt;
    if (arg->device.empty())
        return arg->port;
    impl_->system->SetDevice(kDevicePathPort, arg->device);
    return kDevicePathPort;
}

std::string PortSetup::DeviceOf(int portNumber) const {
    return impl_->system->DeviceOf(portNumber);
}

SerialPortFactory& PortSetup::ports() {
    if (impl_->tracing)
        return *impl_->tracing;
    return impl_->system->factory();
}

Clock& PortSetup::clock() {
    return impl_->system->clock();
}

}  // namespace rm525::cli
