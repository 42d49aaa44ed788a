#pragma once

#include <string>
#include <vector>

#include "link/serial_port.h"

namespace rm525 {

// One serial port the system knows, read without opening it.
struct SystemPort {
    std::string name;          // "COM3"
    std::string device;        // what the name stands for, e.g. \Device\Serial0
    std::string friendlyName;  // e.g. "USB Serial Port (COM3)"; empty when the system has none
};

// The system's serial ports in the order of their numbers: the names in the
// registry's SERIALCOMM key and the COM names the object manager holds
// (QueryDosDevice), with the friendly names of the Ports device class.
std::vector<SystemPort> ListSystemPorts();

// Why a port would not open and what the user can do, in Windows' terms,
// one or more lines without a final line break.
std::string ExplainOpenFailure(const OpenFailure& failure);

}  // namespace rm525
