#pragma once

#include <memory>

#include "app/qt/artwork.h"

namespace rm525 {
class Clock;
class SerialPortFactory;
}  // namespace rm525

namespace rm525::gui {

class CMainFrame;

// The application: loads the artwork, sets the look of every dialog and
// creates the main window, whose view then starts the update procedure.
// Needs a QApplication; the serial ports and the clock are given, so that
// the same program runs against a camera or a simulated one.
class CRm525fwApp {
public:
    CRm525fwApp(SerialPortFactory& ports, Clock& clock);
    ~CRm525fwApp();

    bool InitInstance();
    CMainFrame* MainFrame() const { return frame_.get(); }

private:
    SerialPortFactory& ports_;
    Clock& clock_;
    Artwork artwork_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace rm525::gui
