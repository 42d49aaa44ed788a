#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "link/posix/line_control.h"

// termios2 carries the rate as a plain number (BOTHER), so 56000 is set like
// any other. Every line call here goes through termios2: mixing it with the
// classic calls left the input rate at its old value.

namespace rm525::posix {

namespace {

constexpr tcflag_t kBothBaudFields = CBAUD | (CBAUD << IBSHIFT);
constexpr tcflag_t kBothOther = BOTHER | (BOTHER << IBSHIFT);

bool SizeFlag(uint8_t byteSize, tcflag_t* flag) {
    switch (byteSize) {
        case 5:
            *flag = CS5;
            return true;
        case 6:
            *flag = CS6;
            return true;
        case 7:
            *flag = CS7;
            return true;
        case 8:
            *flag = CS8;
            return true;
        default:
            return false;
    }
}

uint8_t SizeOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

}  // namespace

bool ApplyLineSettings(int fd, const LineSettings& settings) {
    tcflag_t size = 0;
    if (settings.baudRate == 0 || !SizeFlag(settings.byteSize, &size)) {
        errno = EINVAL;
        return false;
    }
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR);
    if (settings.parityCheck) {
        t.c_iflag |= INPCK;
    }
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | kBothBaudFields);
    t.c_cflag |= CLOCAL | CREAD | size | kBothOther;
    if (settings.parity != Parity::None) {
        t.c_cflag |= PARENB;
    }
    if (settings.parity == Parity::Odd) {
        t.c_cflag |= PARODD;
    }
    if (settings.stopBits == StopBits::Two) {
        t.c_cflag |= CSTOPB;
    }
    t.c_ispeed = settings.baudRate;
    t.c_ospeed = settings.baudRate;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool ReadLineSettings(int fd, LineSettings* settings) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    // The kernel fills c_ospeed with the rate in force, whatever way it was set.
    settings->baudRate = t.c_ospeed;
    settings->byteSize = SizeOf(t.c_cflag);
    settings->parity = (t.c_cflag & PARENB) == 0   ? Parity::None
                       : (t.c_cflag & PARODD) != 0 ? Parity::Odd
                                                   : Parity::Even;
    settings->stopBits = (t.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
    settings->parityCheck = (t.c_iflag & INPCK) != 0;
    return true;
}

bool FlushQueue(int fd, bool input) {
    return ioctl(fd, TCFLSH, input ? TCIFLUSH : TCOFLUSH) == 0;
}

}  // namespace rm525::posix
