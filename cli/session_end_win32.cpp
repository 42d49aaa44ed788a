#include "cli/session_end_win32.h"

#include <windows.h>

#include <atomic>

#include "cli/transfer_guard.h"

namespace rm525::cli {

namespace {

StopRequest* g_request = nullptr;
HANDLE g_mainThread = nullptr;
std::atomic<HWND> g_window{nullptr};
std::atomic<bool> g_transferRunning{false};
constexpr wchar_t kSessionWindowClass[] = L"rm525fw-cli session end";
// Asks the session window to withdraw its reason: only the thread that made
// a window may change the reason Windows shows for it.
constexpr UINT kWithdrawBlockReason = WM_APP + 1;

constexpr wchar_t kBlockReason[] =
    L"The camera's firmware is being written. Stopping now would leave the camera unusable.";
constexpr char kKeepOpen[] =
    "Keep this window open until the update has finished: closing it would stop the "
    "transfer.\n";

}  // namespace

LRESULT CALLBACK OnSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_QUERYENDSESSION:
            if (g_transferRunning.load()) {
                ShutdownBlockReasonCreate(window, kBlockReason);
                return FALSE;
            }
            if (g_request != nullptr) {
                g_request->endingSoon.store(true);
                g_request->hungUp.store(true);
            }
            return TRUE;
        case kWithdrawBlockReason:
            ShutdownBlockReasonDestroy(window);
            return 0;
        case WM_ENDSESSION:
            // The session ends after this returns: the release comes first.
            if (wParam != FALSE)
                WaitForRelease();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

namespace {

DWORD WINAPI SessionWindowThread(LPVOID) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OnSessionMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kSessionWindowClass;
    RegisterClassW(&windowClass);
    // A top-level window (never shown): a message-only window would not be
    // asked about the end of the session.
    const HWND window = CreateWindowExW(0, kSessionWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr)
        return 0;
    g_window.store(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

// The console window's own Close command (the X and the system menu).
void EnableConsoleClose(bool enable) {
    const HWND console = GetConsoleWindow();
    if (console == nullptr)
        return;
    const HMENU menu = GetSystemMenu(console, FALSE);
    if (menu != nullptr)
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void WatchSessionEnd(StopRequest& request) {
    g_request = &request;
    if (g_mainThread != nullptr)
        CloseHandle(g_mainThread);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_mainThread,
                    SYNCHRONIZE, FALSE, 0);
    static const HANDLE windowThread =
        CreateThread(nullptr, 0, SessionWindowThread, nullptr, 0, nullptr);
    (void)windowThread;
}

void WaitForRelease() {
    if (g_mainThread != nullptr)
        WaitForSingleObject(g_mainThread, kReleaseGraceMs);
}

void GuardTransfer(bool running, std::ostream& err) {
    if (running == g_transferRunning.load())
        return;
    g_transferRunning.store(running);
    EnableConsoleClose(!running);
    const HWND window = g_window.load();
    if (running && GetConsoleWindow() != nullptr)
        err << kKeepOpen << std::flush;
    if (!running && window != nullptr)
        PostMessageW(window, kWithdrawBlockReason, 0, 0);
}

}  // namespace rm525::cli
