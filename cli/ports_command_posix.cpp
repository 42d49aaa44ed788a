#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "link/posix/port_names.h"

namespace rm525::cli {

namespace {

std::string SourceText(PortSource source, int portNumber) {
    switch (source) {
        case PortSource::Override:
            return "given";
        case PortSource::Environment:
            return "RM525FW_COM" + std::to_string(portNumber);
        case PortSource::Default:
            return "found";
        case PortSource::None:
            break;
    }
    return "";
}

std::string Describe(const SerialDeviceInfo& d) {
    std::string text;
    switch (d.kind) {
        case SerialDeviceKind::UsbAdapter:
            text = "USB serial adapter";
            break;
        case SerialDeviceKind::BuiltInUart:
            text = "built-in serial port";
            break;
        case SerialDeviceKind::Bluetooth:
            text = "Bluetooth serial port";
            break;
        case SerialDeviceKind::Other:
            text = "serial device";
            break;
    }
    if (!d.manufacturer.empty())
        text += ", " + d.manufacturer;
    if (!d.product.empty())
        text += ", " + d.product;
    if (!d.vendorId.empty())
        text += " [" + d.vendorId + ":" + d.productId + "]";
    if (!d.serialNumber.empty())
        text += ", serial number " + d.serialNumber;
    // "port" is all the kernel says of a port without a driver of its own.
    if (!d.driver.empty() && d.driver != "port")
        text += ", driver " + d.driver;
    if (d.console)
        text += ", kernel console";
    return text;
}

// What is wrong with a mapping that cannot be a serial port, judged
// without opening it; empty when it may be one.
std::string MappingProblem(const std::string& device) {
    struct stat st = {};
    if (stat(device.c_str(), &st) != 0)
        return "no such device";
    if (S_ISDIR(st.st_mode))
        return "a folder, not a device";
    if (!S_ISCHR(st.st_mode))
        return "not a device";
    if (major(st.st_rdev) == 1)  // /dev/null, /dev/zero and their kind
        return "not a serial device";
    return {};
}

}  // namespace

int RunPortsCommand(Console& console) {
    const PortListing listing = PortNames().List();
    for (const PortMapping& m : listing.ports) {
        console.out << "COM" << m.portNumber << "  ";
        if (m.device.empty()) {
            console.out << "(no device)\n";
            continue;
        }
        console.out << m.device << "  [" << SourceText(m.source, m.portNumber) << "]";
        if (const std::string problem = MappingProblem(m.device); !problem.empty())
            console.out << "  (" << problem << ": the search passes it over)";
        else if (m.info)
            console.out << "  " << Describe(*m.info);
        console.out << '\n';
    }
    if (const char* noDefaults = std::getenv("RM525FW_NO_DEFAULT_PORTS");
        noDefaults && std::strcmp(noDefaults, "1") == 0)
        console.out << "RM525FW_NO_DEFAULT_PORTS=1: a number without its own RM525FW_COMn "
                       "stands for no device.\n";
    if (!listing.unmapped.empty()) {
        console.out << "Other serial devices:\n";
        for (const SerialDeviceInfo& d : listing.unmapped) {
            console.out << "      " << d.path << "  " << Describe(d) << '\n';
        }
    }
    return exit_status::kDone;
}

}  // namespace rm525::cli
