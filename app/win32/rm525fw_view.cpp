#include "app/win32/rm525fw_view.h"

#include "app/win32/dialog_look.h"
#include "app/win32/gdi_painting.h"

namespace rm525::wingui {

namespace {
constexpr wchar_t kViewClass[] = L"Rm525fwView";
}  // namespace

Rm525fwView::Rm525fwView(HWND frame, HBITMAP background) : background_(background) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kViewClass;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                              frame, nullptr, windowClass.hInstance, this);
}

void Rm525fwView::OnInitialUpdate() {
    InvalidateRect(window_, nullptr, TRUE);
    m_bFirstDraw = true;
}

void Rm525fwView::OnDraw(HDC dc) {
    const bool first = m_bFirstDraw;
    if (first && onFirstDraw_) {
        onFirstDraw_();
    }
    RECT client{};
    GetClientRect(window_, &client);
    PaintBackground(dc, client, background_);
    if (first) {
        SetTimer(window_, kStartTimer, kStartDelayMs, nullptr);
        m_bFirstDraw = false;
    }
}

LRESULT CALLBACK Rm525fwView::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Rm525fwView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (KeepBusyCursor(message)) {
        return TRUE;
    }
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            if (self != nullptr) {
                self->window_ = window;
                self->OnDraw(dc);
            }
            EndPaint(window, &paint);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kStartTimer && self != nullptr) {
                KillTimer(window, kStartTimer);  // once
                if (self->onStart_) {
                    self->onStart_();
                }
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace rm525::wingui
