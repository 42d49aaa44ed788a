#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "link/posix/line_control.h"
#include "link/posix/line_frame.h"

#ifdef __APPLE__
#include <IOKit/serial/ioss.h>
#endif

// Classic termios for systems without termios2. Their speed_t values are the
// rates themselves, so cfsetspeed takes any number; macOS drivers refuse
// rates outside the standard list there and take them through IOSSIOSPEED.

namespace rm525::posix {

namespace {

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
    if (settings.baudRate == 0 || !frame::SizeFlag(settings.byteSize, &size)) {
        errno = EINVAL;
        return false;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    cfmakeraw(&t);
    frame::Apply(t, settings, size);
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
    frame::Read(t, settings);
    return true;
}

bool FlushQueue(int fd, bool input) {
    return tcflush(fd, input ? TCIFLUSH : TCOFLUSH) == 0;
}

}  // namespace rm525::posix
