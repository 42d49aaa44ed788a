#include "link/posix/serial_devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace rm525 {

namespace fs = std::filesystem;

namespace {

const char kUartPrefix[] = "ttyS";
const char kBluetoothPrefix[] = "rfcomm";

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

bool Exists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

// "ttyS10" after "ttyS2": the kernel's numbering, not the alphabet's.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto key = [](const std::string& s) {
        const size_t digits = s.find_last_not_of("0123456789") + 1;
        const std::string number = s.substr(digits);
        return std::make_tuple(s.substr(0, digits), number.size(), number);
    };
    return key(a) < key(b);
}

std::vector<std::string> ConsoleNames(const fs::path& ttyClass) {
    std::istringstream words(ReadFirstLine(ttyClass / "console" / "active"));
    std::vector<std::string> names{"tty0"};
    for (std::string w; words >> w;) {
        names.push_back(w);
    }
    return names;
}

// Kernel name -> first (in sorted order) /dev/serial/by-path name leading to it.
std::map<std::string, std::string> ByPathNames(const fs::path& dev) {
    std::vector<fs::path> links;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dev / "serial" / "by-path", ec)) {
        links.push_back(entry.path());
    }
    std::sort(links.begin(), links.end());
    std::map<std::string, std::string> names;
    for (const auto& link : links) {
        const fs::path target = fs::read_symlink(link, ec);
        if (!ec) {
            names.emplace(target.filename().string(), link.filename().string());
        }
    }
    return names;
}

// A UART placeholder has a device (the platform's serial driver) but no
// port type: nothing answers at its address.
bool HasHardware(const fs::path& ttyDir, const std::string& name) {
    if (StartsWith(name, kBluetoothPrefix)) {
        return true;
    }
    if (!Exists(ttyDir / "device")) {
        return false;  // virtual terminals, pseudo-terminals, the console alias
    }
    if (!StartsWith(name, kUartPrefix)) {
        return true;
    }
    const std::string type = ReadFirstLine(ttyDir / "type");
    if (!type.empty()) {
        return type != "0";
    }
    return Exists(ttyDir / "device" / "driver");
}

// The USB device above the tty's interface: the first parent that has a vendor id.
fs::path UsbParent(const fs::path& ttyDir, const fs::path& sys) {
    std::error_code ec;
    fs::path p = fs::canonical(ttyDir / "device", ec);
    if (ec) {
        return {};
    }
    const fs::path top = fs::weakly_canonical(sys, ec);
    for (; !p.empty() && p != top && p != p.root_path(); p = p.parent_path()) {
        if (Exists(p / "idVendor")) {
            return p;
        }
    }
    return {};
}

SerialDeviceInfo Describe(const fs::path& ttyDir, const std::string& name,
                          const SystemRoots& roots) {
    SerialDeviceInfo info;
    info.name = name;
    info.path = (fs::path(roots.dev) / name).string();
    std::error_code ec;
    const fs::path driver = fs::read_symlink(ttyDir / "device" / "driver", ec);
    if (!ec) {
        info.driver = driver.filename().string();
    }
    const fs::path usb = UsbParent(ttyDir, roots.sys);
    if (StartsWith(name, kBluetoothPrefix)) {
        info.kind = SerialDeviceKind::Bluetooth;
    } else if (!usb.empty()) {
        info.kind = SerialDeviceKind::UsbAdapter;
        info.vendorId = ReadFirstLine(usb / "idVendor");
        info.productId = ReadFirstLine(usb / "idProduct");
        info.manufacturer = ReadFirstLine(usb / "manufacturer");
        info.product = ReadFirstLine(usb / "product");
        info.serialNumber = ReadFirstLine(usb / "serial");
    } else if (StartsWith(name, kUartPrefix)) {
        info.kind = SerialDeviceKind::BuiltInUart;
    }
    return info;
}

// USB adapters with a by-path name, USB adapters without, UARTs, the rest.
auto OrderKey(const SerialDeviceInfo& d) {
    const int group = d.kind == SerialDeviceKind::UsbAdapter    ? (d.byPath.empty() ? 1 : 0)
                      : d.kind == SerialDeviceKind::BuiltInUart ? 2
                                                                : 3;
    return std::make_tuple(group, d.byPath);
}

}  // namespace

std::vector<SerialDeviceInfo> ScanSerialDevices(const SystemRoots& roots) {
    const fs::path ttyClass = fs::path(roots.sys) / "class" / "tty";
    const std::vector<std::string> consoles = ConsoleNames(ttyClass);
    const std::map<std::string, std::string> byPath = ByPathNames(roots.dev);
    std::vector<SerialDeviceInfo> devices;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ttyClass, ec)) {
        const std::string name = entry.path().filename().string();
        if (!HasHardware(entry.path(), name)) {
            continue;
        }
        SerialDeviceInfo info = Describe(entry.path(), name, roots);
        info.console = std::find(consoles.begin(), consoles.end(), name) != consoles.end();
        if (auto it = byPath.find(name); it != byPath.end()) {
            info.byPath = it->second;
        }
        devices.push_back(std::move(info));
    }
    std::sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
        const auto ka = OrderKey(a);
        const auto kb = OrderKey(b);
        return ka != kb ? ka < kb : NaturalLess(a.name, b.name);
    });
    return devices;
}

bool MappedByDefault(const SerialDeviceInfo& device) {
    return !device.console && (device.kind == SerialDeviceKind::UsbAdapter ||
                               device.kind == SerialDeviceKind::BuiltInUart);
}

}  // namespace rm525
