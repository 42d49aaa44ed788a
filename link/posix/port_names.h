#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/posix/serial_devices.h"

namespace rm525 {

// How port numbers 1..9 ("COM1".."COM9") find their devices:
//   1. a mapping the program sets itself (SetOverride; the terminal front end
//      puts a device path given by the user on port 1);
//   2. the environment variable RM525FW_COM<n>, e.g. RM525FW_COM1=/dev/ttyUSB0;
//   3. unless RM525FW_NO_DEFAULT_PORTS=1, the numbers still free take the
//      machine's serial devices not mapped above, in this order: USB serial
//      adapters by their /dev/serial/by-path names (stable while the adapter
//      stays in the same socket), USB adapters without such a name by kernel
//      name, then built-in UARTs (ttyS*) that have hardware behind them.
// Never mapped by default: the kernel console (every device named in
// /sys/class/tty/console/active), Bluetooth serial ports (rfcomm*) and
// UART placeholders that the kernel lists without hardware. Nothing is
// opened to decide; everything comes from sysfs and /dev.

enum class PortSource { None, Override, Environment, Default };

struct PortMapping {
    int portNumber = 0;
    std::string device;  // empty: the number maps to no device
    PortSource source = PortSource::None;
    std::optional<SerialDeviceInfo> info;  // when the device is one found on the machine
};

struct PortListing {
    std::vector<PortMapping> ports;          // port 1 to 9, in order
    std::vector<SerialDeviceInfo> unmapped;  // serial devices present that no number maps to
};

// Looks up an environment variable; null when it is not set.
using EnvLookup = std::function<const char*(const char*)>;

class PortNames {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 9;
    static constexpr int kPortCount = kLastPort - kFirstPort + 1;

    PortNames();  // this machine and this process's environment
    PortNames(SystemRoots roots, EnvLookup env);

    // Maps `portNumber` to `device` ahead of every other rule.
    void SetOverride(int portNumber, std::string device);
    void ClearOverride(int portNumber);

    // The device the number maps to now; empty when none (or out of range).
    std::string Resolve(int portNumber) const;
    PortMapping Describe(int portNumber) const;
    PortListing List() const;

private:
    using Mappings = std::array<PortMapping, kPortCount>;

    Mappings MapAll(const std::vector<SerialDeviceInfo>& devices) const;
    std::string ExplicitDevice(int portNumber, PortSource* source) const;
    bool DefaultsWanted() const;

    SystemRoots roots_;
    EnvLookup env_;
    std::array<std::string, kPortCount> overrides_;
};

}  // namespace rm525
