#include <string.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "link/win32/win32_port_list.h"
#include "link/win32/win32_port_names.h"
#include "link/win32/win32_serial_port_factory.h"
#include "link/win32/win32_text.h"

namespace rm525::cli {

namespace {

const char kDevicePrefix[] = "\\\\.\\";

// The port name a device path stands for ("\\.\COM3" -> "COM3"); empty when
// it names no port.
std::string PortOfDevice(const std::string& device) {
    const std::string prefix = kDevicePrefix;
    if (device.rfind(prefix, 0) != 0)
        return {};
    return device.substr(prefix.size());
}

// What is wrong with a mapping to a path rather than a device name, judged
// without opening it, as the POSIX listing does; empty when it may be a
// serial device. Only opening tells of a device name (\\.\NAME).
std::string MappingProblem(const std::string& device) {
    if (device.rfind(kDevicePrefix, 0) == 0)
        return {};
    const DWORD attributes = GetFileAttributesW(win32::Widen(device).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "no such device";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "a folder, not a device";
    return "a file, not a device";
}

void PrintSystemPort(std::ostream& out, const SystemPort& port) {
    out << port.device;
    if (!port.friendlyName.empty())
        out << "  " << port.friendlyName;
    if (IsBluetoothDevice(port.device))
        out << "  (Bluetooth: AUTO passes it over)";
}

}  // namespace

int RunPortsCommand(Console& console) {
    const std::vector<SystemPort> system = ListSystemPorts();
    const Win32PortNames names;
    std::vector<std::string> shown;
    for (int n = Win32PortNames::kFirstPort; n <= Win32PortNames::kLastPort; ++n) {
        const std::string own = "COM" + std::to_string(n);
        const std::string device = names.Resolve(n);
        const std::string port = PortOfDevice(device);
        console.out << own << "  ";
        if (port != own)
            console.out << device << "  [RM525FW_" << own << "]  ";
        const auto found = std::find_if(system.begin(), system.end(), [&](const SystemPort& p) {
            return !port.empty() && _stricmp(p.name.c_str(), port.c_str()) == 0;
        });
        if (found != system.end()) {
            PrintSystemPort(console.out, *found);
            shown.push_back(found->name);
        } else if (!port.empty()) {
            console.out << "(the system has no " << port << ")";
        } else if (const std::string problem = MappingProblem(device); !problem.empty()) {
            console.out << "(" << problem << ": the search passes it over)";
        }
        console.out << '\n';
    }
    bool header = false;
    for (const SystemPort& p : system) {
        if (std::find(shown.begin(), shown.end(), p.name) != shown.end())
            continue;
        if (!header)
            console.out << "Other serial ports (RM525FW_COM<n>=" << p.name
                        << " puts one on COMn):\n";
        header = true;
        console.out << "      " << p.name << "  ";
        PrintSystemPort(console.out, p);
        console.out << '\n';
    }
    return exit_status::kDone;
}

}  // namespace rm525::cli
