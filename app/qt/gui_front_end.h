#pragma once

#include <QObject>

#include <memory>

#include "app/qt/camera_operation_runner.h"
#include "app/qt/event_thread_call.h"
#include "app/qt/template_dialog.h"
#include "workflow/front_end.h"

class QImage;
class QWidget;

namespace rm525::gui {

class CProgressDlg;
class CStatusLineBar;
class CRm525fwView;

// The update procedure shown in the program's windows: the port dialog, the
// file chooser, the prompts, the status line and the progress window. Camera
// operations run on a worker thread (CameraOperationRunner); the progress
// reports that come from there are carried over to the event thread one by
// one, each waiting until it has been shown.
class GuiFrontEnd : public QObject, public FrontEnd {
    Q_OBJECT
public:
    GuiFrontEnd(QWidget* mainWindow, CStatusLineBar* statusLine, CRm525fwView* view,
                const QImage* digits);
    ~GuiFrontEnd() override;

    // The workflow whose view rectangle places the dialogs.
    void SetWorkflow(UpdateWorkflow* workflow) { workflow_ = workflow; }
    // Places a dialog by the workflow's rule (nothing while there is none).
    Placer DialogPlacer();
    // How long the final progress picture stays (1000 ms).
    void SetProgressHoldMs(int ms) { holdMs_ = ms; }
    CProgressDlg* ProgressWindow() const { return progress_.get(); }
    bool CameraOperationRunning() const { return runner_.Running(); }
    // Runs `job` on the event thread and waits for it, as the worker's
    // reports are carried over.
    void RunOnEventThread(const std::function<void()>& job) { eventThread_.Run(job); }

    bool ChoosePort(UpdateWorkflow& workflow, int16_t* port) override;
    int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                       std::string* path) override;
    PromptResult RunPrompt(PromptKind kind, int16_t selector, const std::string& text) override;
    void ShowErrorMessage(const std::string& text) override;
    void StatusChanged(const std::string& text) override;
    bool ShowProgress(int phase, int percent, const char* text) override;
    void CloseProgress() override;
    void SetBusyCursor(bool busy) override;
    void Repaint() override;
    void RunCameraOperation(const std::function<void()>& operation) override;
    void ExplainOpenFailures(const std::vector<OpenFailure>& failures) override;

private:
    void ShowProgressHere(int phase, int percent, const char* text);
    void CloseProgressHere();

    QWidget* mainWindow_;
    CStatusLineBar* statusLine_;
    CRm525fwView* view_;
    const QImage* digits_;
    UpdateWorkflow* workflow_ = nullptr;
    CameraOperationRunner runner_;
    EventThreadCall eventThread_;
    std::unique_ptr<CProgressDlg> progress_;
    int holdMs_;
};

// The chooser's name filter from a "|"-separated filter text: each
// description followed by its patterns in parentheses, as Qt reads them;
// `descriptions`, when given, takes each description as the text has it.
QStringList NameFiltersFromFilterText(const std::string& filter,
                                      QStringList* descriptions = nullptr);

}  // namespace rm525::gui
