#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "link/posix/line_control.h"

#ifdef __APPLE__
#include <IOKit/serial/ioss.h>
#endif

// Classic termios for systems without termios2. Their speed_t values are the
// rates themselves, so cfsetspeed takes any number; macOS drivers refuse
// rates outside the standard list there and take them through IOSSIOSPEED.

namespace rm525::posix {

namespace {

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

bool IsStandardRate(uint32_t rate) {
    switch (rate) {
        case 9600:
        case 19200:
        case 38400:
        case 57600:
        case 115200:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ApplyLineSettings(int fd, const LineSettings& settings) {
    tcflag_t size = 0;
    if (settings.baudRate == 0 || !SizeFlag(settings.byteSize, &size)) {
        errno = EINVAL;
        return false;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY | INPCK | IGNPAR);
    if (settings.parityCheck) {
        t.c_iflag |= INPCK;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | size;
    if (settings.parity != Parity::None) {
        t.c_cflag |= PARENB;
    }
    if (settings.parity == Parity::Odd) {
        t.c_cflag |= PARODD;
    }
    if (settings.stopBits == StopBits::Two) {
        t.c_cflag |= CSTOPB;
    }
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const bool standard = IsStandardRate(settings.baudRate);
    if (standard && cfsetspeed(&t, static_cast<speed_t>(settings.baudRate)) != 0) {
        return false;
    }
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        return false;
    }
    if (standard) {
        return true;
    }
#ifdef __APPLE__
    speed_t rate = settings.baudRate;
    return ioctl(fd, IOSSIOSPEED, &rate) == 0;
#else
    if (cfsetspeed(&t, static_cast<speed_t>(settings.baudRate)) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &t) == 0;
#endif
}

bool ReadLineSettings(int fd, LineSettings* settings) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    settings->baudRate = static_cast<uint32_t>(cfgetospeed(&t));
    settings->byteSize = SizeOf(t.c_cflag);
    settings->parity = (t.c_cflag & PARENB) == 0   ? Parity::None
                       : (t.c_cflag & PARODD) != 0 ? Parity::Odd
                                                   : Parity::Even;
    settings->stopBits = (t.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
    settings->parityCheck = (t.c_iflag & INPCK) != 0;
    return true;
}

bool FlushQueue(int fd, bool input) {
    return tcflush(fd, input ? TCIFLUSH : TCOFLUSH) == 0;
}

}  // namespace rm525::posix
