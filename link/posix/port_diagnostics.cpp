#include "link/posix/port_diagnostics.h"

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace rm525 {

namespace fs = std::filesystem;

namespace {

const char kDefaultSerialGroup[] = "dialout";

// Services known to take USB serial adapters for themselves as they appear.
struct PortGrabber {
    const char* name;
    const char* what;
    const char* remedy;
};
constexpr PortGrabber kPortGrabbers[] = {
    {"ModemManager", "ModemManager (which probes new serial devices for modems)",
     "sudo systemctl stop ModemManager"},
    {"brltty", "brltty (the braille display service)",
     "sudo systemctl stop brltty, or remove the brltty package"},
};

bool ParsePid(const std::string& s, int* pid) {
    if (s.empty() ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    *pid = std::stoi(s);
    return true;
}

std::string CommandName(const fs::path& procDir) {
    std::ifstream in(procDir / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// Calls `visit(pid, procDir)` for every process directory.
template <typename Visit>
void ForEachProcess(const std::string& procRoot, Visit visit) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(procRoot, ec)) {
        int pid = 0;
        if (ParsePid(entry.path().filename().string(), &pid)) {
            visit(pid, entry.path());
        }
    }
}

bool HoldsDevice(const fs::path& procDir, dev_t device) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator(procDir / "fd", ec)) {
        struct stat st {};
        if (stat(fd.path().c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
            return true;
        }
    }
    return false;
}

std::string PortLabel(const OpenFailure& f) {
    std::string label = "COM" + std::to_string(f.portNumber);
    return f.device.empty() ? label : label + " (" + f.device + ")";
}

std::string SerialGroupOf(const std::string& device) {
    struct stat st {};
    if (stat(device.c_str(), &st) == 0 && st.st_gid != 0) {
        if (const group* g = getgrgid(st.st_gid); g != nullptr) {
            return g->gr_name;
        }
    }
    return kDefaultSerialGroup;
}

std::string DescribeHolders(const std::vector<ProcessInfo>& holders) {
    std::string text;
    for (const auto& p : holders) {
        text += (text.empty() ? "" : ", ") + p.name + " (pid " + std::to_string(p.pid) + ")";
    }
    return text;
}

std::string ExplainBusy(const OpenFailure& f, const std::string& procRoot) {
    const std::vector<ProcessInfo> holders = FindDeviceHolders(f.device, procRoot);
    std::string text = PortLabel(f) + " is in use by another program";
    text += holders.empty() ? "." : ": " + DescribeHolders(holders) + ".";
    for (const PortGrabber& g : kPortGrabbers) {
        const bool holds = std::any_of(holders.begin(), holders.end(),
                                       [&](const ProcessInfo& p) { return p.name == g.name; });
        if (holds || !FindProcessesNamed({g.name}, procRoot).empty()) {
            text += std::string("\n") + g.what + (holds ? " holds it" : " is running") +
                    "; it is known to grab USB serial adapters. Stop it: " + g.remedy + ".";
        }
    }
    return text;
}

}  // namespace

std::vector<ProcessInfo> FindDeviceHolders(const std::string& device, const std::string& procRoot) {
    std::vector<ProcessInfo> holders;
    struct stat wanted {};
    if (stat(device.c_str(), &wanted) != 0 || !S_ISCHR(wanted.st_mode)) {
        return holders;
    }
    ForEachProcess(procRoot, [&](int pid, const fs::path& dir) {
        if (HoldsDevice(dir, wanted.st_rdev)) {
            holders.push_back({pid, CommandName(dir)});
        }
    });
    return holders;
}

std::vector<ProcessInfo> FindProcessesNamed(const std::vector<std::string>& names,
                                            const std::string& procRoot) {
    std::vector<ProcessInfo> found;
    ForEachProcess(procRoot, [&](int pid, const fs::path& dir) {
        std::string name = CommandName(dir);
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            found.push_back({pid, std::move(name)});
        }
    });
    return found;
}

std::string ExplainOpenFailure(const OpenFailure& failure, const std::string& procRoot) {
    const std::string port = PortLabel(failure);
    if (failure.device.empty()) {
        const std::string n = std::to_string(failure.portNumber);
        return port +
               " is not connected to any serial device on this computer. Plug in the "
               "serial adapter, or name the device, e.g. RM525FW_COM" +
               n + "=/dev/ttyUSB0.";
    }
    switch (failure.systemError) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return port + ": there is no such device. Is the serial adapter plugged in?";
        case EACCES:
        case EPERM:
            return port + ": permission denied. Serial ports belong to the group \"" +
                   SerialGroupOf(failure.device) + "\"; join it with\n  sudo usermod -aG " +
                   SerialGroupOf(failure.device) + " $USER\nthen log out and log in again.";
        case EBUSY:
            return ExplainBusy(failure, procRoot);
        case ENOTTY:
            return port + " is not a serial device.";
        default:
            return port + " could not be opened: " + std::strerror(failure.systemError) + ".";
    }
}

}  // namespace rm525
