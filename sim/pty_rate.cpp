// Kept apart from <termios.h>: the kernel's termios2, which carries any rate
// as a number, clashes with the C library's termios definitions.
#include "sim/pty_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace rm525::sim {

uint32_t PtyHostBaud(int masterFd) {
    struct termios2 t {};
    if (ioctl(masterFd, TCGETS2, &t) != 0)
        return 0;
    return t.c_ospeed;
}

bool SetTerminalBaud(int fd, uint32_t baud) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    t.c_cflag |= BOTHER;
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool MakePtyRaw(int masterFd) {
    struct termios2 t {};
    if (ioctl(masterFd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CBAUD);
    t.c_cflag |= CS8 | BOTHER | CREAD | CLOCAL;
    t.c_ispeed = 9600;
    t.c_ospeed = 9600;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(masterFd, TCSETS2, &t) == 0;
}

}  // namespace rm525::sim
