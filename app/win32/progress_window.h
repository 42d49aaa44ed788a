#pragma once

#include <windows.h>

#include <string>

#include "app/win32/dialog_look.h"

namespace rm525::wingui {

// The modeless progress window (template 108): a text and the bar with its
// figures, drawn by each report. It has no buttons, and neither Escape nor
// the system's close request ends it: only the end of the transfer does.
class ProgressWindow {
public:
    ProgressWindow(HWND owner, HBITMAP digits, const Placer& placer);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Sets the text (when not null) and redraws the bar at `percent`.
    void Show(int percent, const std::wstring* text);
    HWND hwnd() const { return window_; }

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc) const;

    HWND window_ = nullptr;
    HBITMAP digits_;
    const Placer& placer_;
    std::wstring text_;  // what control 100 shows
    int percent_ = 0;
    bool shown_ = false;
};

}  // namespace rm525::wingui
