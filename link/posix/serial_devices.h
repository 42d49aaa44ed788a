#pragma once

#include <string>
#include <vector>

namespace rm525 {

enum class SerialDeviceKind { UsbAdapter, BuiltInUart, Bluetooth, Other };

struct SerialDeviceInfo {
    std::string name;  // kernel name, e.g. "ttyUSB0"
    std::string path;  // device node, e.g. "/dev/ttyUSB0"
    SerialDeviceKind kind = SerialDeviceKind::Other;
    bool console = false;  // carries the kernel console
    std::string driver;    // kernel driver, e.g. "ftdi_sio"
    std::string byPath;    // name under /dev/serial/by-path (USB adapters)
    // Of the USB device the adapter belongs to; empty when not USB or not told.
    std::string vendorId;
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
};

// Where the system's device information lives; tests point it at a fake tree.
struct SystemRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};

// The serial devices with hardware behind them, read from sysfs and /dev
// without opening any: USB adapters first (by their by-path names, then by
// kernel name), then built-in UARTs, then the rest (Bluetooth, other
// drivers). UART placeholders the kernel lists without hardware are left out.
std::vector<SerialDeviceInfo> ScanSerialDevices(const SystemRoots& roots);

// Whether a device may be given a port number without being asked for:
// USB adapters and built-in UARTs, never the console or Bluetooth.
bool MappedByDefault(const SerialDeviceInfo& device);

}  // namespace rm525
