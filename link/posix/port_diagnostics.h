#pragma once

#include <string>
#include <vector>

#include "link/serial_port.h"

namespace rm525 {

struct ProcessInfo {
    int pid = 0;
    std::string name;  // the process's command name
};

// The processes that have `device` open, found through /proc/<pid>/fd; only
// the processes this user may look into are seen.
std::vector<ProcessInfo> FindDeviceHolders(const std::string& device,
                                           const std::string& procRoot = "/proc");

// Running processes whose command name is one of `names`.
std::vector<ProcessInfo> FindProcessesNamed(const std::vector<std::string>& names,
                                            const std::string& procRoot = "/proc");

// Why a port would not open and what the user can do about it, in plain
// words, one or more lines without a final line break.
std::string ExplainOpenFailure(const OpenFailure& failure, const std::string& procRoot = "/proc");

}  // namespace rm525
