#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "app/win32/dialog_look.h"
#include "app/win32/operation_runner.h"
#include "workflow/front_end.h"

namespace rm525::wingui {

class ProgressWindow;
class Rm525fwView;
class StatusLineBar;

// The update procedure shown in the program's windows: the port dialog, the
// file chooser, the prompts, the status line and the progress window.
//
// Camera operations run on a worker thread (OperationRunner); everything
// that touches a window is done on the window thread, the worker's progress
// reports carried over one at a time and waited for. The final picture of
// the transfer is held on the worker's side, so the window keeps painting.
class Win32FrontEnd : public FrontEnd {
public:
    static constexpr DWORD kHoldMs = 1000;

    Win32FrontEnd(HWND frame, StatusLineBar& statusLine, Rm525fwView& view, HBITMAP digits);
    ~Win32FrontEnd() override;

    void SetWorkflow(UpdateWorkflow* workflow) { workflow_ = workflow; }
    Placer DialogPlacer() const { return WorkflowPlacer(&workflow_); }
    void SetProgressHoldMs(DWORD ms) { holdMs_ = ms; }
    bool CameraOperationRunning() const { return runner_.Running(); }
    // A transfer is under way: logoff and shutdown are refused meanwhile.
    bool TransferRunning() const { return progress_ != nullptr; }
    ProgressWindow* Progress() const { return progress_.get(); }

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

    HWND frame_;
    StatusLineBar& statusLine_;
    Rm525fwView& view_;
    HBITMAP digits_;
    UpdateWorkflow* workflow_ = nullptr;
    OperationRunner runner_;
    std::unique_ptr<ProgressWindow> progress_;
    Placer progressPlacer_;
    DWORD holdMs_ = kHoldMs;
};

// The lines that say why each port was passed over, for a message box.
std::string OpenFailureReport(const std::vector<OpenFailure>& failures);

}  // namespace rm525::wingui
