#include "link/win32/win32_port_list.h"

#include <windows.h>
// windows.h first: setupapi.h needs its types.
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "link/win32/win32_text.h"

namespace rm525 {

namespace {

// The device setup class "Ports (COM & LPT)".
const GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// The number of a "COMn" name; 0 when it is none.
int PortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    }
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

void FromSerialComm(std::map<int, SystemPort>* ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD nameLength = 256;
        wchar_t data[256];
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG rc = RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        const std::string name = win32::Narrow(data);
        const int n = PortNumber(name);
        if (n == 0)
            continue;
        SystemPort& port = (*ports)[n];
        port.name = name;
        port.device = win32::Narrow(std::wstring(valueName, nameLength));
    }
    RegCloseKey(key);
}

void FromDosDevices(std::map<int, SystemPort>* ports) {
    std::wstring names(65536, L'\0');
    const DWORD length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    if (length == 0)
        return;
    for (const wchar_t* p = names.data(); p < names.data() + length && *p != L'\0';
         p += wcslen(p) + 1) {
        const std::string name = win32::Narrow(p);
        const int n = PortNumber(name);
        if (n == 0)
            continue;
        SystemPort& port = (*ports)[n];
        port.name = name;
        if (port.device.empty()) {
            wchar_t target[1024] = {};
            if (QueryDosDeviceW(p, target, 1024) != 0)
                port.device = win32::Narrow(target);
        }
    }
}

void FriendlyNames(std::map<int, SystemPort>* ports) {
    const HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const HKEY key =
            SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t portName[64] = {};
        DWORD bytes = sizeof portName - sizeof(wchar_t);
        DWORD type = 0;
        const bool named =
            RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName),
                             &bytes) == ERROR_SUCCESS &&
            type == REG_SZ;
        RegCloseKey(key);
        if (!named)
            continue;
        const int n = PortNumber(win32::Narrow(portName));
        wchar_t friendly[256] = {};
        if (n == 0 ||
            !SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                               reinterpret_cast<BYTE*>(friendly),
                                               sizeof friendly - sizeof(wchar_t), nullptr))
            continue;
        SystemPort& port = (*ports)[n];
        if (port.name.empty())
            port.name = "COM" + std::to_string(n);
        port.friendlyName = win32::Narrow(friendly);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

std::string PortName(const OpenFailure& failure) {
    return "COM" + std::to_string(failure.portNumber);
}

}  // namespace

std::vector<SystemPort> ListSystemPorts() {
    std::map<int, SystemPort> ports;
    FromSerialComm(&ports);
    FromDosDevices(&ports);
    FriendlyNames(&ports);
    std::vector<SystemPort> list;
    for (auto& [n, port] : ports)
        list.push_back(std::move(port));
    return list;
}

std::string ExplainOpenFailure(const OpenFailure& failure) {
    const std::string port = PortName(failure);
    const std::string device = failure.device.empty() ? "no device" : failure.device;
    const std::string head = port + " (" + device + "): ";
    switch (static_cast<DWORD>(failure.systemError)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return head +
                   "no such port on this computer. `rm525fw-cli ports` lists the ports there are.";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return head +
                   "another program holds the port. Close it (a terminal program, the camera's "
                   "other software, a modem tool) and try again.";
        default:
            return head + "cannot be opened: " +
                   win32::SystemErrorText(static_cast<DWORD>(failure.systemError));
    }
}

}  // namespace rm525
