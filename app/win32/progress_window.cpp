#include "app/win32/progress_window.h"

#include "app/win32/gdi_painting.h"
#include "app/win32/prompt_dialogs.h"
#include "app/win32/resource_ids.h"

namespace rm525::wingui {

ProgressWindow::ProgressWindow(HWND owner, HBITMAP digits, const Placer& placer)
    : digits_(digits), placer_(placer) {
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), owner,
                                 Proc, reinterpret_cast<LPARAM>(this));
    if (window_ != nullptr) {
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
    }
}

ProgressWindow::~ProgressWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

void ProgressWindow::Show(int percent, const std::wstring* text) {
    if (window_ == nullptr) {
        return;
    }
    // 2048 reports carry 101 pictures: a report that changes neither the
    // text nor the percentage would draw the same pixels again, which under
    // Wine costs round trips to the X server each time.
    const bool newText = text != nullptr && *text != text_;
    if (shown_ && !newText && percent == percent_) {
        return;
    }
    if (newText) {
        text_ = *text;
        SetDlgItemTextW(window_, IDC_MESSAGE, text_.c_str());
        UpdateWindow(GetDlgItem(window_, IDC_MESSAGE));
    }
    percent_ = percent;
    shown_ = true;
    const HDC dc = GetDC(window_);
    if (dc != nullptr) {
        Paint(dc);
        ReleaseDC(window_, dc);
    }
}

void ProgressWindow::Paint(HDC dc) const {
    RECT client{};
    GetClientRect(window_, &client);
    PaintProgressBar(dc, client.bottom, percent_, digits_);
}

INT_PTR CALLBACK ProgressWindow::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (HandleDialogCommon(dialog, message, wParam, &result)) {
        return result;
    }
    auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            self = reinterpret_cast<ProgressWindow*>(lParam);
            self->window_ = dialog;
            if (self->placer_) {
                self->placer_(dialog);
            }
            return FALSE;  // nothing in it takes the focus
        case WM_PAINT: {
            // The window keeps painting now that the transfer runs beside it:
            // what the last report drew is drawn again after a cover.
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(dialog, &paint);
            if (self != nullptr && self->shown_) {
                self->Paint(dc);
            }
            EndPaint(dialog, &paint);
            return TRUE;
        }
        case WM_COMMAND:
            return LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK;  // Escape, Enter: nothing
        default:
            return FALSE;
    }
}

}  // namespace rm525::wingui
