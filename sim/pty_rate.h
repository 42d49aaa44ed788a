#pragma once

#include <cstdint>

namespace rm525::sim {

// The line rate the program on the terminal's far end has set, read through
// the pseudo-terminal's master side (which reports the slave's settings).
// Any rate, 56000 included. 0 when it cannot be read.
uint32_t PtyHostBaud(int masterFd);

// Sets any line rate (56000 included) on a terminal, keeping its other settings.
bool SetTerminalBaud(int fd, uint32_t baud);

// Puts the terminal into raw mode at 9600 bit/s, so that nothing the camera
// sends is echoed or translated before a host sets the line itself.
bool MakePtyRaw(int masterFd);

}  // namespace rm525::sim
