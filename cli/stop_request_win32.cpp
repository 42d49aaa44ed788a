#include <windows.h>

#include "cli/session_end_win32.h"
#include "cli/stop_request.h"
#include "cli/stop_request_win32.h"

namespace rm525::cli {

namespace {

StopRequest* g_request = nullptr;
std::atomic<bool> g_interruptTaken{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The streams belong to the main thread; the handle may be written from
// here.
void WriteNotice(StopNotice notice) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), notice.text, static_cast<DWORD>(notice.size),
              &written, nullptr);
}

}  // namespace

// The system calls this on a thread of its own.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (g_request == nullptr)
        return FALSE;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            // A second Ctrl+C is left to the system, which ends the program
            // at once, as the second SIGINT does on Linux.
            if (g_interruptTaken.exchange(true)) {
                WriteNotice(SecondStopNotice(g_request->Phase()));
                return FALSE;
            }
            g_request->interrupted.store(true);
            WriteNotice(FirstStopNotice(g_request->Phase()));
            return TRUE;
        case CTRL_CLOSE_EVENT:
            // The console window is closing: nobody can answer any more, as
            // after a hang-up. The system ends the program once the handler
            // returns, whatever it answers, so a transfer cannot outlive the
            // window (its Close is taken away meanwhile); a run that has not
            // begun one is given the time to release the camera.
            g_request->endingSoon.store(true);
            g_request->hungUp.store(true);
            WaitForRelease();
            return TRUE;
        default:
            return FALSE;
    }
}

// A closed pipe makes a write fail on Windows without a signal, so there is
// nothing to ignore here.
void InstallStopHandlers(StopRequest& request) {
    g_request = &request;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    WatchSessionEnd(request);
}

}  // namespace rm525::cli
