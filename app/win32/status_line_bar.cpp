#include "app/win32/status_line_bar.h"

#include "app/win32/dialog_look.h"
#include "app/win32/gdi_painting.h"
#include "app/win32/resource_ids.h"

namespace rm525::wingui {

StatusLineBar::StatusLineBar(HWND frame) {
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_STATUS_LINE),
                                 frame, Proc, reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) {
        return;
    }
    SetWindowLongPtrW(window_, GWLP_ID, IDD_STATUS_LINE);
    RECT r{};
    GetWindowRect(window_, &r);
    height_ = r.bottom - r.top;
    ShowWindow(window_, SW_SHOW);
}

void StatusLineBar::SetText(const std::wstring& text, bool now) {
    text_ = text;
    if (window_ == nullptr) {
        return;
    }
    InvalidateRect(window_, nullptr, TRUE);
    if (now) {
        UpdateWindow(window_);
    }
}

INT_PTR CALLBACK StatusLineBar::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (KeepBusyCursor(message)) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    auto* self = reinterpret_cast<StatusLineBar*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            return FALSE;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(dialog, &paint);
            RECT client{};
            GetClientRect(dialog, &client);
            DrawEdge(dc, &client, EDGE_ETCHED, BF_BOTTOM);
            if (self != nullptr) {
                PaintStatusText(dc, self->text_);
            }
            EndPaint(dialog, &paint);
            return TRUE;
        }
        default:
            (void)wParam;
            return FALSE;
    }
}

}  // namespace rm525::wingui
