#pragma once

#include <memory>
#include <string>

#include "link/clock.h"
#include "link/serial_port.h"

namespace rm525::cli {

// The serial ports and the clock of the system the program runs on: the
// termios backend (cli/posix) or the Win32 backend (cli/win32), whichever
// the build chose.
class PortSystem {
public:
    virtual ~PortSystem() = default;
    virtual SerialPortFactory& ports() = 0;
    virtual Clock& clock() = 0;
    // Puts a device named by the user on `portNumber`, ahead of every other
    // mapping of that number.
    virtual void PutDevice(int portNumber, const std::string& device) = 0;
    // Why a port would not open and what the user can do, in this system's
    // terms; one or more lines without a final line break.
    virtual std::string ExplainOpenFailure(const OpenFailure& failure) = 0;
};

std::unique_ptr<PortSystem> MakePortSystem();

}  // namespace rm525::cli
