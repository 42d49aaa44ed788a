#pragma once

#include <windows.h>

#include <string>

namespace rm525::wingui {

// The status line: the bar made from template 102, docked along the top of
// the main window with a border at its bottom, that draws one text.
class StatusLineBar {
public:
    // A child of `frame`, with child id 102; hwnd() is null on failure.
    explicit StatusLineBar(HWND frame);
    StatusLineBar(const StatusLineBar&) = delete;
    StatusLineBar& operator=(const StatusLineBar&) = delete;

    HWND hwnd() const { return window_; }
    // The template's height in pixels (14 dialog units at its font).
    int Height() const { return height_; }
    // Sets the text; with `now` the bar is repainted before this returns.
    void SetText(const std::wstring& text, bool now = true);
    const std::wstring& Text() const { return text_; }

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    int height_ = 0;
    std::wstring text_;
};

}  // namespace rm525::wingui
