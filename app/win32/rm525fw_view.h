#pragma once

#include <windows.h>

#include <functional>

namespace rm525::wingui {

// The view: fills the main window below the status line with the nest of
// background copies. Its first paint after an initial update starts timer
// 99 (200 ms); when that fires the timer is stopped and the start handler
// runs the update procedure.
class Rm525fwView {
public:
    static constexpr UINT_PTR kStartTimer = 99;
    static constexpr UINT kStartDelayMs = 200;

    Rm525fwView(HWND frame, HBITMAP background);
    Rm525fwView(const Rm525fwView&) = delete;
    Rm525fwView& operator=(const Rm525fwView&) = delete;

    HWND hwnd() const { return window_; }
    // Called on the first draw (before the picture), and when timer 99 fires.
    void SetFirstDrawHandler(std::function<void()> handler) { onFirstDraw_ = std::move(handler); }
    void SetStartHandler(std::function<void()> handler) { onStart_ = std::move(handler); }
    // The whole view is drawn again, and the next draw starts the timer.
    void OnInitialUpdate();

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnDraw(HDC dc);

    HWND window_ = nullptr;
    HBITMAP background_;
    bool m_bFirstDraw = false;
    std::function<void()> onFirstDraw_;
    std::function<void()> onStart_;
};

}  // namespace rm525::wingui
