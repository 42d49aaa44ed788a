#pragma once

#include <atomic>
#include <iosfwd>

#include "cli/cli_options.h"

namespace rm525::cli {

// The program's standard streams and what they are connected to.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
};

// Each command returns the program's exit status. `stop` is set by Ctrl+C
// and SIGTERM.
int RunUpdateCommand(const CliOptions& options, Console& console, const std::atomic<bool>& stop);
int RunInfoCommand(const CliOptions& options, Console& console);
int RunPortsCommand(Console& console);
int RunInspectCommand(const CliOptions& options, Console& console);

}  // namespace rm525::cli
