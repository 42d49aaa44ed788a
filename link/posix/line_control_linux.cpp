#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "link/posix/line_control.h"
#include "link/posix/line_frame.h"

// termios2 carries the rate as a plain number (BOTHER), so 56000 is set like
// any other. Every line call here goes through termios2: mixing it with the
// classic calls left the input rate at its old value.

namespace rm525::posix {

namespace {

constexpr tcflag_t kBothBaudFields = CBAUD | (CBAUD << IBSHIFT);
constexpr tcflag_t kBothOther = BOTHER | (BOTHER << IBSHIFT);

}  // namespace

bool ApplyLineSettings(int fd, const LineSettings& settings) {
    tcflag_t size = 0;
    if (settings.baudRate == 0 || !frame::SizeFlag(settings.byteSize, &size)) {
        errno = EINVAL;
        return false;
    }
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    // Raw: no input translation, no output processing, no line discipline.
    t.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    frame::Apply(t, settings, size);
    // Any rate, in both directions, as a number.
    t.c_cflag &= ~(CMSPAR | kBothBaudFields);
    t.c_cflag |= kBothOther;
    t.c_ispeed = settings.baudRate;
    t.c_ospeed = settings.baudRate;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool ReadLineSettings(int fd, LineSettings* settings) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    // The kernel fills c_ospeed with the rate in force, whatever way it was set.
    settings->baudRate = t.c_ospeed;
    frame::Read(t, settings);
    return true;
}

bool FlushQueue(int fd, bool input) {
    return ioctl(fd, TCFLSH, input ? TCIFLUSH : TCOFLUSH) == 0;
}

}  // namespace rm525::posix
