#pragma once

#include "workflow/run_outcome.h"

namespace rm525::cli {

// The terminal front end's exit statuses.
namespace exit_status {
constexpr int kInstalled = 0;     // update: the firmware was installed
constexpr int kDone = 0;          // info, ports, inspect (a file that passes), help: done
constexpr int kUpdateFailed = 1;  // the transfer ran and failed, or was interrupted
constexpr int kUsage = 2;
constexpr int kCameraNotFound = 3;
constexpr int kWrongFile = 4;
constexpr int kFileError = 5;  // the file could not be chosen, opened or read
constexpr int kMemoryError = 6;
constexpr int kQuit = 7;  // quit by the user, or interrupted before the transfer
}  // namespace exit_status

// The exit status of an update run. `interrupted` (Ctrl+C or SIGTERM) turns
// every road that ended before the transfer into a quit.
int ExitStatusFor(RunOutcome outcome, bool interrupted);

}  // namespace rm525::cli
