#include "link/win32/win32_serial_port_factory.h"

#include <windows.h>

#include "link/win32/win32_text.h"

namespace rm525 {

std::unique_ptr<Win32SerialPort> OpenCommDevice(const std::string& path, const Win32CommApi& api,
                                                Clock& clock, unsigned long* systemError) {
    *systemError = 0;
    const HANDLE handle = api.createFile(win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                         0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *systemError = GetLastError();
        return nullptr;
    }
    return std::make_unique<Win32SerialPort>(handle, api, clock);
}

bool IsBluetoothDevice(const std::string& device) {
    return device.starts_with("\\Device\\BthModem");
}

bool Win32SerialPortFactory::PassedOverBySearch(int portNumber) {
    const std::string own = "COM" + std::to_string(portNumber);
    if (names_.Resolve(portNumber) != Win32PortNames::DevicePath(own))
        return false;
    wchar_t target[MAX_PATH] = {};
    if (api_->queryDosDevice(win32::Widen(own).c_str(), target, MAX_PATH) == 0)
        return false;
    return IsBluetoothDevice(win32::Narrow(target));
}

std::unique_ptr<SerialPort> Win32SerialPortFactory::Open(int portNumber, OpenFailure* failure) {
    OpenFailure why;
    why.portNumber = portNumber;
    why.device = names_.Resolve(portNumber);
    std::unique_ptr<Win32SerialPort> port;
    if (why.device.empty()) {
        why.systemError = ERROR_FILE_NOT_FOUND;
    } else {
        unsigned long error = 0;
        port = OpenCommDevice(why.device, *api_, *clock_, &error);
        why.systemError = static_cast<int>(error);
    }
    if (!port && failure != nullptr)
        *failure = why;
    return port;
}

}  // namespace rm525
