#pragma once

#include <windows.h>

#include <memory>

namespace rm525 {
class Clock;
class SerialPortFactory;
class UpdateWorkflow;
}  // namespace rm525

namespace rm525::wingui {

class Rm525fwView;
class StatusLineBar;
class Win32FrontEnd;

// The one update procedure's workflow while the main window exists.
extern UpdateWorkflow* g_pWorkflow;

// The main window: a caption and a sizing border only (no system menu, no
// minimise or maximise box), the status line along its top and the view
// below. It owns the workflow, starts the procedure when the view asks,
// and closes itself when the procedure returns.
class CMainFrame {
public:
    static constexpr int kInitialWidth = 640;
    static constexpr int kInitialHeight = 400;

    CMainFrame(SerialPortFactory& ports, Clock& clock);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the window; false (after telling the user "Failed to create
    // empty document.") when it or its parts could not be made.
    bool Create();
    HWND hwnd() const { return window_; }
    HACCEL Accelerators() const { return accelerators_; }
    Win32FrontEnd* FrontEnd() const { return frontEnd_.get(); }
    StatusLineBar* StatusLine() const { return statusLine_.get(); }
    Rm525fwView* View() const { return view_.get(); }
    bool ProcedureRunning() const { return running_; }
    // Moves the window over the whole desktop.
    int FillDesktop();

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnDestroy();
    void OnCommand(int id);
    void Layout();
    void RunProcedure();
    LRESULT OnQueryEndSession();

    SerialPortFactory& ports_;
    Clock& clock_;
    HWND window_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HMENU menu_ = nullptr;  // loaded with the other resources, never attached
    HBITMAP background_ = nullptr;
    HBITMAP digits_ = nullptr;
    std::unique_ptr<StatusLineBar> statusLine_;
    std::unique_ptr<Rm525fwView> view_;
    std::unique_ptr<Win32FrontEnd> frontEnd_;
    std::unique_ptr<UpdateWorkflow> workflow_;
    bool running_ = false;
    bool closing_ = false;
};

}  // namespace rm525::wingui
