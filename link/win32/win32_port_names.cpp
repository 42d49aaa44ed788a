#include "link/win32/win32_port_names.h"

#include <cctype>
#include <cstdlib>

namespace rm525 {

namespace {

const char kPortVariablePrefix[] = "RM525FW_COM";
const char kDevicePrefix[] = "\\\\.\\";

bool InRange(int portNumber) {
    return portNumber >= Win32PortNames::kFirstPort && portNumber <= Win32PortNames::kLastPort;
}

size_t IndexOf(int portNumber) {
    return static_cast<size_t>(portNumber - Win32PortNames::kFirstPort);
}

bool IsPortName(const std::string& name) {
    if (name.size() < 4 || name.size() > 6)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return false;
    }
    if (name[3] == '0')
        return false;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

}  // namespace

Win32PortNames::Win32PortNames() : Win32PortNames([](const char* n) { return std::getenv(n); }) {}

Win32PortNames::Win32PortNames(EnvLookup env) : env_(std::move(env)) {}

void Win32PortNames::SetOverride(int portNumber, std::string device) {
    if (InRange(portNumber))
        overrides_[IndexOf(portNumber)] = std::move(device);
}

std::string Win32PortNames::DevicePath(const std::string& name) {
    if (!IsPortName(name))
        return name;
    return kDevicePrefix + std::string("COM") + name.substr(3);
}

std::string Win32PortNames::Resolve(int portNumber) const {
    if (!InRange(portNumber))
        return {};
    if (!overrides_[IndexOf(portNumber)].empty())
        return DevicePath(overrides_[IndexOf(portNumber)]);
    const std::string variable = kPortVariablePrefix + std::to_string(portNumber);
    const char* value = env_(variable.c_str());
    if (value != nullptr && *value != '\0')
        return DevicePath(value);
    return DevicePath("COM" + std::to_string(portNumber));
}

}  // namespace rm525
