#include "app/win32/dialog_look.h"

#include <commctrl.h>

#include "link/win32/win32_text.h"
#include "res/messages.h"
#include "workflow/update_workflow.h"

namespace rm525::wingui {

namespace {

int g_busyCount = 0;
HHOOK g_boxHook = nullptr;

LRESULT CALLBACK GreyBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                             UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    if (const HBRUSH brush = DialogLookBrush(message, wParam)) {
        return reinterpret_cast<LRESULT>(brush);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// The message box is the system's own dialog: it is given the grey look
// as it is created, before it first paints.
LRESULT CALLBACK WatchBoxCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        const auto window = reinterpret_cast<HWND>(wParam);
        if (create->lpcs->lpszClass == MAKEINTATOM(32770)) {
            SetWindowSubclass(window, GreyBoxProc, 1, 0);
        }
    }
    return CallNextHookEx(g_boxHook, code, wParam, lParam);
}

}  // namespace

int GreyMessageBox(HWND owner, const std::wstring& text, UINT flags) {
    g_boxHook = SetWindowsHookExW(WH_CBT, WatchBoxCreation, nullptr, GetCurrentThreadId());
    const int result = MessageBoxW(owner, text.c_str(), Caption().c_str(), flags);
    if (g_boxHook != nullptr) {
        UnhookWindowsHookEx(g_boxHook);
        g_boxHook = nullptr;
    }
    return result;
}

Placer WorkflowPlacer(const UpdateWorkflow* const* workflow) {
    return [workflow](HWND window) {
        if (*workflow != nullptr) {
            CenterDialogOn(window, **workflow);
        }
    };
}

void CenterDialogOn(HWND window, const UpdateWorkflow& workflow) {
    RECT outer{};
    if (window == nullptr || !GetWindowRect(window, &outer)) {
        return;
    }
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const DialogPlacement at = workflow.CenterDialog(width, height);
    SetWindowPos(window, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window);
}

HBRUSH DialogLookBrush(UINT message, WPARAM wParam) {
    static const HBRUSH grey = CreateSolidBrush(kDialogGrey);
    switch (message) {
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, kDialogGrey);
            return grey;
        }
        default:
            return nullptr;
    }
}

void SetBusyCursor(bool busy) {
    g_busyCount += busy ? 1 : -1;
    SetCursor(LoadCursorW(nullptr, g_busyCount > 0 ? IDC_WAIT : IDC_ARROW));
}

bool BusyCursorShown() {
    return g_busyCount > 0;
}

bool KeepBusyCursor(UINT message) {
    if (message != WM_SETCURSOR || !BusyCursorShown()) {
        return false;
    }
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

const std::wstring& Caption() {
    static const std::wstring caption =
        win32::Widen(std::string(res::LoadMessage(res::msg::kCaption)));
    return caption;
}

}  // namespace rm525::wingui
