#include "cli/win32/console_stop.h"

namespace rm525::cli {

namespace {

constexpr char kStopNotice[] =
    "\nStopping: the camera is released first. Press Ctrl+C again to end at once.\n";

ConsoleStop* g_handler = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    return g_handler != nullptr && g_handler->OnControl(event) ? TRUE : FALSE;
}

}  // namespace

bool ConsoleStop::OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return false;
    if (taken_.exchange(true))
        return false;
    stop_.store(true);
    // The streams belong to the main thread; the handle may be written from here.
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kStopNotice, sizeof kStopNotice - 1, &written,
              nullptr);
    return true;
}

bool ConsoleStop::Install(ConsoleStop& handler) {
    g_handler = &handler;
    return SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

}  // namespace rm525::cli
