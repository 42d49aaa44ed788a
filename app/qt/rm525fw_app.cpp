#include "app/qt/rm525fw_app.h"

#include <QApplication>
#include <QStyleFactory>

#include "app/qt/main_frame.h"

namespace rm525::gui {

CRm525fwApp::CRm525fwApp(SerialPortFactory& ports, Clock& clock) : ports_(ports), clock_(clock) {}

CRm525fwApp::~CRm525fwApp() = default;

bool CRm525fwApp::InitInstance() {
    // One look on every desktop; the dialogs set their own grey and font.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    artwork_ = Artwork::Load();
    QApplication::setWindowIcon(artwork_.icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("rm525fw"));
    frame_ = std::make_unique<CMainFrame>(ports_, clock_, artwork_);
    // Closing the main window ends the program, whatever other windows exist.
    QObject::connect(frame_.get(), &CMainFrame::closed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frame_->show();
    frame_->OnNewDocument();
    return true;
}

}  // namespace rm525::gui
