#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rm525::cli {

enum class Verb { Update, Info, Ports, Inspect, Help };

struct CliOptions {
    Verb verb = Verb::Help;
    std::optional<std::string> port;   // as given: AUTO, COM1..COM9 or a device path
    std::optional<std::string> file;   // update: the firmware file; inspect: the file to check
    bool yes = false;                  // reinstall the installed version without asking
    std::optional<std::string> trace;  // file for the wire trace
};

struct ParseResult {
    std::optional<CliOptions> options;  // empty on a usage error
    std::string error;
};

// Parses the arguments after the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// A port argument: AUTO is port 0, COM1..COM9 are 1..9 (either case); a
// device path (beginning with '/') is returned in `device` for the caller to
// map onto a port number.
struct PortArgument {
    int16_t port = 0;
    std::string device;
};
std::optional<PortArgument> ParsePortArgument(const std::string& text);

const char* UsageText();

}  // namespace rm525::cli
