#pragma once

#include <QWidget>

#include <memory>

#include "app/qt/artwork.h"
#include "app/qt/rm525fw_doc.h"

namespace rm525 {
class Clock;
class SerialPortFactory;
class UpdateWorkflow;
}  // namespace rm525

namespace rm525::gui {

class CStatusLineBar;
class CRm525fwView;
class GuiFrontEnd;

// The one update workflow while the main window exists; null otherwise.
extern UpdateWorkflow* g_pWorkflow;

// Commands of the main window.
namespace command {
inline constexpr int kClose = 32771;         // Ctrl+Q, and the view when the procedure has ended
inline constexpr int kNewDocument = 57600;   // Ctrl+N
inline constexpr int kOpenDocument = 57601;  // Ctrl+O
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;
}  // namespace command

// The main window: the status line along the top, the view below it,
// covering the whole screen. It owns the update workflow, starts it 200 ms
// after the view's first paint, and closes when the procedure returns.
class CMainFrame : public QWidget {
    Q_OBJECT
public:
    CMainFrame(SerialPortFactory& ports, Clock& clock, const Artwork& artwork);
    ~CMainFrame() override;

    void OnCommand(int id);
    // The document has been made anew (Ctrl+N, Ctrl+O): the view schedules
    // the procedure again after its next paint.
    void OnNewDocument();

    CStatusLineBar* StatusLine() const { return statusLine_; }
    CRm525fwView* View() const { return view_; }
    GuiFrontEnd& FrontEnd() const { return *frontEnd_; }
    bool ProcedureRunning() const { return running_; }

signals:
    // The procedure has returned and the window is closing.
    void procedureEnded();
    // The window has closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnCreate(SerialPortFactory& ports, Clock& clock);
    void FillDesktop();
    void RunProcedure();
    void OnDestroy();

    const Artwork& artwork_;
    CStatusLineBar* statusLine_;
    CRm525fwView* view_;
    std::unique_ptr<GuiFrontEnd> frontEnd_;
    std::unique_ptr<UpdateWorkflow> workflow_;
    std::unique_ptr<CRm525fwDoc> document_;
    bool running_ = false;
    bool closing_ = false;
};

}  // namespace rm525::gui
