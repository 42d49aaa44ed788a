#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli_options.h"
#include "cli/stop_request.h"

namespace rm525::cli {

// The program's standard streams and what they are connected to.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
};

// Each command returns the program's exit status. `stop` is set by Ctrl+C,
// SIGTERM and a hang-up.
int RunUpdateCommand(const CliOptions& options, Console& console, StopRequest& stop);
int RunInfoCommand(const CliOptions& options, Console& console, StopRequest& stop);
int RunPortsCommand(Console& console);
int RunInspectCommand(const CliOptions& options, Console& console);

// Where the ReadMe with the RETRY PROCEDURE is: installed with the program,
// beside it, or in the source tree it was built from; empty when none is
// there.
std::string ReadMeLocation();

}  // namespace rm525::cli
