#pragma once

#include <array>
#include <functional>
#include <string>

namespace rm525 {

// How port numbers 1..9 find their devices on Windows, first match wins:
//   1. a mapping the program sets itself (SetOverride);
//   2. the environment variable RM525FW_COM<n>, e.g. RM525FW_COM1=COM12;
//   3. the system's own port of that name, \\.\COM<n>.
// A mapping that names a port ("COM12", either case) stands for that port's
// device \\.\COM12; anything else is taken as a device path as it stands.
class Win32PortNames {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 9;

    using EnvLookup = std::function<const char*(const char*)>;

    Win32PortNames();  // this process's environment
    explicit Win32PortNames(EnvLookup env);

    void SetOverride(int portNumber, std::string device);
    // The device to open; empty for a number out of range.
    std::string Resolve(int portNumber) const;

    // "COM12" and "com12" become \\.\COM12; other texts stay as they are.
    static std::string DevicePath(const std::string& name);

private:
    EnvLookup env_;
    std::array<std::string, kLastPort - kFirstPort + 1> overrides_;
};

}  // namespace rm525
