#pragma once

#include <windows.h>

namespace rm525::cli {

// The console control handler that InstallStopHandlers sets, for the tests:
// TRUE when the event is taken, FALSE when it is handed on to the system
// (which then ends the program).
BOOL WINAPI OnConsoleControl(DWORD event);

}  // namespace rm525::cli
