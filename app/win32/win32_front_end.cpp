#include "app/win32/win32_front_end.h"

#include "app/win32/file_chooser.h"
#include "app/win32/progress_window.h"
#include "app/win32/prompt_dialogs.h"
#include "app/win32/rm525fw_view.h"
#include "app/win32/status_line_bar.h"
#include "link/win32/win32_port_list.h"
#include "link/win32/win32_text.h"
#include "workflow/update_workflow.h"

namespace rm525::wingui {

std::string OpenFailureReport(const std::vector<OpenFailure>& failures) {
    std::string report;
    for (const OpenFailure& failure : failures) {
        report += ExplainOpenFailure(failure) + "\n";
    }
    report += "\n\"rm525fw-cli ports\" lists the serial ports of this computer.";
    return report;
}

Win32FrontEnd::Win32FrontEnd(HWND frame, StatusLineBar& statusLine, Rm525fwView& view,
                             HBITMAP digits)
    : frame_(frame), statusLine_(statusLine), view_(view), digits_(digits) {
    progressPlacer_ = DialogPlacer();
}

Win32FrontEnd::~Win32FrontEnd() = default;

bool Win32FrontEnd::ChoosePort(UpdateWorkflow& /*workflow*/, int16_t* port) {
    return RunPortDialog(frame_, DialogPlacer(), port);
}

int16_t Win32FrontEnd::ChooseFile(const std::string& filter, const std::string& initialName,
                                  std::string* path) {
    // Owned by the view, as the procedure asks.
    return wingui::ChooseFile(view_.hwnd(), filter, initialName, DialogPlacer(), path);
}

// The text comes from the update procedure; the selector chose it there.
PromptResult Win32FrontEnd::RunPrompt(PromptKind kind, int16_t /*selector*/,
                                      const std::string& text) {
    return RunPromptDialog(frame_, PromptTemplate(kind), win32::Widen(text), DialogPlacer()) == IDOK
               ? PromptResult::Ok
               : PromptResult::Cancel;
}

void Win32FrontEnd::ShowErrorMessage(const std::string& text) {
    MessageBeep(MB_OK);
    GreyMessageBox(frame_, win32::Widen(text), MB_OK | MB_ICONINFORMATION);
}

void Win32FrontEnd::StatusChanged(const std::string& text) {
    const std::wstring wide = win32::Widen(text);
    runner_.CallOnWindowThread([this, &wide] { statusLine_.SetText(wide); });
}

bool Win32FrontEnd::ShowProgress(int phase, int percent, const char* text) {
    runner_.CallOnWindowThread([=, this] { ShowProgressHere(phase, percent, text); });
    if (phase == 2 || phase == 3) {
        // The final picture stays for a second. Held here, on the worker,
        // so that the window thread keeps painting meanwhile.
        if (runner_.OnWindowThread()) {
            MSG message;
            const DWORD until = GetTickCount() + holdMs_;
            while (static_cast<LONG>(until - GetTickCount()) > 0) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, until - GetTickCount(), QS_PAINT);
                while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
                    DispatchMessageW(&message);
                }
            }
        } else {
            Sleep(holdMs_);
        }
    }
    return true;
}

void Win32FrontEnd::ShowProgressHere(int phase, int percent, const char* text) {
    if (phase == 0 && !progress_) {
        progress_ = std::make_unique<ProgressWindow>(frame_, digits_, progressPlacer_);
    }
    if (!progress_) {
        return;
    }
    const std::wstring wide = text != nullptr ? win32::Widen(text) : std::wstring();
    progress_->Show(percent, text != nullptr ? &wide : nullptr);
}

void Win32FrontEnd::CloseProgress() {
    runner_.CallOnWindowThread([this] { progress_.reset(); });
}

void Win32FrontEnd::SetBusyCursor(bool busy) {
    runner_.CallOnWindowThread([busy] { wingui::SetBusyCursor(busy); });
}

void Win32FrontEnd::Repaint() {
    runner_.CallOnWindowThread([this] {
        RedrawWindow(statusLine_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RedrawWindow(view_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    });
}

void Win32FrontEnd::RunCameraOperation(const std::function<void()>& operation) {
    runner_.Run(operation);
}

void Win32FrontEnd::ExplainOpenFailures(const std::vector<OpenFailure>& failures) {
    // A desktop program has no terminal to say it on: the owner reads why
    // the ports were passed over before the no-camera prompt.
    if (failures.empty()) {
        return;
    }
    GreyMessageBox(frame_, win32::Widen(OpenFailureReport(failures)), MB_OK | MB_ICONINFORMATION);
}

}  // namespace rm525::wingui
