#pragma once

#include <memory>
#include <string>

#include "link/posix/port_names.h"
#include "link/posix/posix_serial_port.h"
#include "link/serial_port.h"

namespace rm525 {

// Opens the terminal device `path` for the link: non-blocking, not as the
// controlling terminal, and exclusively. On failure returns null and sets
// `systemError` to the errno: ENOENT (no such device), EACCES, ENOTTY (not a
// terminal), EBUSY (another program holds it).
std::unique_ptr<PosixSerialPort> OpenSerialDevice(const std::string& path, int* systemError);

// Opens port numbers through PortNames.
class PosixSerialPortFactory : public SerialPortFactory {
public:
    PosixSerialPortFactory();
    explicit PosixSerialPortFactory(PortNames names);

    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override;

    PortNames& portNames() { return names_; }

private:
    PortNames names_;
};

}  // namespace rm525
