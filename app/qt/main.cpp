// rm525fw: the desktop firmware updater. One update run per start; the
// command line is not read.

#include <QApplication>

#include "app/qt/display_platform.h"
#include "app/qt/rm525fw_app.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"

int main(int argc, char** argv) {
    // Only the program name reaches Qt, so no argument changes anything.
    int qtArgc = argc > 0 ? 1 : 0;
    rm525::gui::ChoosePlatform();
    QApplication app(qtArgc, argv);
    rm525::PosixSerialPortFactory ports;
    rm525::SystemClock clock;
    rm525::gui::CRm525fwApp program(ports, clock);
    if (!program.InitInstance()) {
        return 1;
    }
    return QApplication::exec();
}
