#pragma once

#include <windows.h>

#include "cli/stop_request.h"

namespace rm525::cli {

// Windows ends the program soon after the console window is closed or the
// session ends (about 5 s after the console handler returns). These let the
// main thread release the camera first.

// Remembers the calling thread as the main thread and starts a hidden
// window that answers logoff and shutdown (a program that uses user32 gets
// no console event for them): before the transfer it asks the run to stop
// and waits for the release; during the transfer it refuses, with a reason.
void WatchSessionEnd(StopRequest& request);
// Waits until the main thread has ended (the camera released, the port
// closed), at most kReleaseGraceMs.
void WaitForRelease();
constexpr unsigned long kReleaseGraceMs = 4000;
// The hidden window's messages, for the tests.
LRESULT CALLBACK OnSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace rm525::cli
