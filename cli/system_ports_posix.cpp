#include "cli/system_ports.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"

namespace rm525::cli {

std::unique_ptr<SystemPorts> MakeSystemPorts() {
    return std::make_unique<BackendPorts<PosixSerialPortFactory, SystemClock>>();
}

}  // namespace rm525::cli
