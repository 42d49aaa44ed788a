#pragma once

#include <ostream>

namespace rm525::cli {

// What the system does while the firmware is being written, which nothing
// may interrupt. On Windows: the console window loses its Close command,
// the user is told to keep it open, and logoff or shutdown is refused with a
// reason. Elsewhere nothing (a hang-up lets the transfer run to its end).
// One implementation file per system.
void GuardTransfer(bool running, std::ostream& err);

}  // namespace rm525::cli
