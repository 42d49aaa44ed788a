#pragma once

#include <string>

#include "link/serial_port.h"

// What the terminal front end needs from the system it runs on, one
// implementation file per system (platform_posix.cpp).
namespace rm525::cli {

// True when the stream is a terminal (0 standard input, 1 output, 2 error).
bool StreamIsTerminal(int stream);
// The folder of the running program; empty when it cannot be told.
std::string ExecutableDirectory();
// The reason a port would not open, in a few words ("permission denied").
std::string OpenFailureReason(const OpenFailure& failure);
// Why a port would not open and what the user can do about it, one or more
// lines without a final line break.
std::string ExplainPortFailure(const OpenFailure& failure);

}  // namespace rm525::cli
