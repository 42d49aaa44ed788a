// Shows every window of rm525fw.exe in turn, from the program's own
// resources and code, for wine_gallery.sh to photograph: prints the
// window's name, then waits for a line on standard input before the next.

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/win32/dialog_look.h"
#include "app/win32/progress_window.h"
#include "app/win32/prompt_dialogs.h"
#include "app/win32/resource_ids.h"
#include "link/win32/win32_text.h"
#include "res/messages.h"

using namespace rm525;
using namespace rm525::wingui;

namespace {

HANDLE g_next = nullptr;

DWORD WINAPI ReadLines(LPVOID) {
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        SetEvent(g_next);
    }
    SetEvent(g_next);
    return 0;
}

// Keeps the windows painting until the photographer asks for the next.
void ShowAndWait(const char* name) {
    std::printf("%s\n", name);
    std::fflush(stdout);
    while (MsgWaitForMultipleObjects(1, &g_next, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
}

INT_PTR CALLBACK Look(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (HandleDialogCommon(dialog, message, wParam, &result)) {
        return result;
    }
    if (message == WM_INITDIALOG) {
        if (lParam != 0) {
            SetDlgItemTextW(dialog, IDC_MESSAGE, reinterpret_cast<const wchar_t*>(lParam));
        }
        CheckRadioButton(dialog, IDC_PORT_AUTO, IDC_PORT_COM9, IDC_PORT_AUTO);
        SetWindowPos(dialog, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return TRUE;
    }
    return FALSE;
}

void Show(const char* name, int templateId, const std::string& text) {
    const std::wstring wide = win32::Widen(text);
    const HWND dialog =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), nullptr, Look,
                           text.empty() ? 0 : reinterpret_cast<LPARAM>(wide.c_str()));
    ShowWindow(dialog, SW_SHOW);
    ShowAndWait(name);
    DestroyWindow(dialog);
}

std::string Message(int id) {
    return std::string(res::LoadMessage(id));
}

}  // namespace

int main() {
    g_next = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CreateThread(nullptr, 0, ReadLines, nullptr, 0, nullptr);
    Show("CPortDlg", IDD_PORT, "");
    Show("CContinueDlg-0-wrong-file", IDD_CONTINUE, Message(res::msg::kWrongFile));
    Show("CContinueDlg-1-same-version", IDD_CONTINUE, Message(res::msg::kSameVersion));
    Show("CReselectDlg", IDD_RESELECT, Message(res::msg::kSelectionCancelled));
    Show("CSuccessDlg", IDD_SUCCESS,
         "Firmware 1.06 was successfully installed in your Quelm Vivid Imagework RM520/RM525 "
         "Zoom Camera!");
    Show("CFailureDlg-0-update-failed", IDD_FAILURE, Message(res::msg::kUpdateFailed));
    Show("CFailureDlg-1-memory-error", IDD_FAILURE, Message(res::msg::kMemoryError));
    Show("CNoCameraDlg", IDD_NO_CAMERA, Message(res::msg::kNoCamera));
    Show("CAboutDlg", IDD_ABOUTBOX, "");
    const HBITMAP digits = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_DIGITS), IMAGE_BITMAP, 0, 0, 0));
    const Placer corner = [](HWND w) {
        SetWindowPos(w, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    };
    for (int percent : {0, 51, 100}) {
        ProgressWindow progress(nullptr, digits, corner);
        const std::wstring text = win32::Widen(
            std::string(percent == 100 ? res::kProgressCompleted : res::kProgressRunning));
        progress.Show(percent, &text);
        const std::string name =
            "CProgressDlg-" + std::to_string(percent) + (percent == 100 ? "-completed" : "");
        ShowAndWait(name.c_str());
    }
    return 0;
}
