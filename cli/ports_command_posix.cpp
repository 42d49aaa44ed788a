#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "link/posix/port_names.h"

namespace rm525::cli {

namespace {

const char* SourceText(PortSource source) {
    switch (source) {
        case PortSource::Override:
            return "given";
        case PortSource::Environment:
            return "RM525FW_COM";
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
    if (!d.driver.empty())
        text += " (" + d.driver + ")";
    if (d.console)
        text += ", kernel console";
    return text;
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
        console.out << m.device << "  [" << SourceText(m.source) << "]";
        if (m.info)
            console.out << "  " << Describe(*m.info);
        console.out << '\n';
    }
    if (!listing.unmapped.empty()) {
        console.out << "Other serial devices:\n";
        for (const SerialDeviceInfo& d : listing.unmapped) {
            console.out << "      " << d.path << "  " << Describe(d) << '\n';
        }
    }
    return exit_status::kDone;
}

}  // namespace rm525::cli
