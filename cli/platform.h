#pragma once

#include <string>
#include <vector>

#include "link/serial_port.h"

// What the terminal front end needs from the system it runs on, one
// implementation file per system (platform_posix.cpp, platform_win32.cpp).
namespace rm525::cli {

// Sets the console up for the program's texts (UTF-8, terminal sequences for
// the progress bar) where the system does not by itself.
void PrepareConsole();
// The program's arguments in UTF-8, without the program's name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// True when the stream is a terminal (0 standard input, 1 output, 2 error).
bool StreamIsTerminal(int stream);
// True when the terminal on the stream obeys terminal sequences (ESC[K)
// rather than showing them.
bool TerminalSequencesWork(int stream);
// The folder of the running program; empty when it cannot be told.
std::string ExecutableDirectory();
// The reason a port would not open, in a few words ("permission denied").
std::string OpenFailureReason(const OpenFailure& failure);
// Why a port would not open and what the user can do about it, one or more
// lines without a final line break.
std::string ExplainPortFailure(const OpenFailure& failure);

}  // namespace rm525::cli
