#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/camera_setup.h"
#include "sim/fault.h"
#include "sim/firmware_maker.h"

namespace rm525::sim {

enum class ExitAfterRelease { Never, AnyRelease, VerifiedRelease };

// The command line of rm525cam-sim serving a camera.
struct ServeOptions {
    CameraSetup setup;
    std::vector<FaultRule> faults;
    std::string linkPath;
    std::string flashIn;
    std::string flashOut;
    std::string reportPath;
    ExitAfterRelease exitAfterRelease = ExitAfterRelease::Never;
    bool pace = false;
    bool quiet = false;
};

// The command line of `rm525cam-sim make-firmware`.
struct MakeFirmwareOptions {
    firmware_file::FirmwareSpec spec;
    std::string out;
};

struct SimCommandLine {
    bool help = false;
    bool makeFirmware = false;
    ServeOptions serve;
    MakeFirmwareOptions make;
};

// Parses argv (without the program name); nullopt with `error` set on a
// mistake.
std::optional<SimCommandLine> ParseSimCommandLine(const std::vector<std::string>& args,
                                                  std::string* error);
std::string SimUsage();
// The help of the make-firmware verb alone.
std::string MakeFirmwareUsage();

}  // namespace rm525::sim
