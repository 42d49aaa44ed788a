#pragma once

// The character frame (data bits, parity, stop bits, parity check) as the
// termios flag words carry it, shared by both termios variants. The Linux one
// takes its flags from <asm/termbits.h>, the classic one from <termios.h>, and
// the two cannot be included together: this header includes neither, so
// include it after the one in use.

#include <cstdint>

#include "link/serial_port.h"

namespace rm525::posix::frame {

inline bool SizeFlag(uint8_t byteSize, tcflag_t* flag) {
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

inline uint8_t SizeOf(tcflag_t cflag) {
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

// Puts the frame of `settings` (data bits as `size`) into `t`, raw reads of
// one byte at least, no flow control, the modem lines ignored.
template <class Termios>
void Apply(Termios& t, const LineSettings& settings, tcflag_t size) {
    t.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY | INPCK | IGNPAR);
    if (settings.parityCheck)
        t.c_iflag |= INPCK;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | size;
    if (settings.parity != Parity::None)
        t.c_cflag |= PARENB;
    if (settings.parity == Parity::Odd)
        t.c_cflag |= PARODD;
    if (settings.stopBits == StopBits::Two)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

template <class Termios>
void Read(const Termios& t, LineSettings* settings) {
    settings->byteSize = SizeOf(t.c_cflag);
    settings->parity = (t.c_cflag & PARENB) == 0   ? Parity::None
                       : (t.c_cflag & PARODD) != 0 ? Parity::Odd
                                                   : Parity::Even;
    settings->stopBits = (t.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
    settings->parityCheck = (t.c_iflag & INPCK) != 0;
}

}  // namespace rm525::posix::frame
