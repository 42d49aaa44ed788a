#pragma once

#include "link/serial_port.h"

namespace rm525::posix {

// The termios side of a serial port, one implementation per system: Linux
// sets every rate through termios2, others through classic termios.
// Each returns false with errno set when the system refuses.

// Raw mode (no echo, no line editing, no character translation, no flow
// control, modem lines ignored) with the rate, data bits, parity and stop
// bits of `settings`; input parity is checked only when asked.
bool ApplyLineSettings(int fd, const LineSettings& settings);

// The line as the driver has it now, including the rate really set.
// Leaves `abortOnError` and `binary` alone: the driver knows neither.
bool ReadLineSettings(int fd, LineSettings* settings);

// Discards bytes received and not yet read (input) or written and not yet
// sent (output).
bool FlushQueue(int fd, bool input);

}  // namespace rm525::posix
