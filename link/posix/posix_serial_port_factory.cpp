#include "link/posix/posix_serial_port_factory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace rm525 {

namespace {

int FailAndClose(int fd, int error) {
    close(fd);
    return error;
}

}  // namespace

std::unique_ptr<PosixSerialPort> OpenSerialDevice(const std::string& path, int* systemError) {
    *systemError = 0;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *systemError = errno;
        return nullptr;
    }
    if (!isatty(fd)) {
        *systemError = FailAndClose(fd, ENOTTY);
        return nullptr;
    }
    // TIOCEXCL alone does not keep out a second opener with root rights;
    // the lock does, and it is what other serial programs look for too.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *systemError = FailAndClose(fd, errno == EWOULDBLOCK ? EBUSY : errno);
        return nullptr;
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        *systemError = FailAndClose(fd, errno);
        return nullptr;
    }
    return std::make_unique<PosixSerialPort>(fd);
}

PosixSerialPortFactory::PosixSerialPortFactory() = default;

PosixSerialPortFactory::PosixSerialPortFactory(PortNames names) : names_(std::move(names)) {}

std::unique_ptr<SerialPort> PosixSerialPortFactory::Open(int portNumber, OpenFailure* failure) {
    OpenFailure why;
    why.portNumber = portNumber;
    why.device = names_.Resolve(portNumber);
    std::unique_ptr<PosixSerialPort> port;
    if (why.device.empty()) {
        why.systemError = ENOENT;
    } else {
        port = OpenSerialDevice(why.device, &why.systemError);
    }
    // The device is named on success too: should the port fail while the
    // link sets it up, the reason can still name it.
    if (failure != nullptr) {
        *failure = why;
    }
    return port;
}

}  // namespace rm525
