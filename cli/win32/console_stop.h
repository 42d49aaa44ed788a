#pragma once

#include <windows.h>

#include <atomic>

namespace rm525::cli {

// Ctrl+C on the Windows console, with the meaning SIGINT has on Linux: the
// first Ctrl+C, Ctrl+Break or closing of the console window only asks to
// stop (the update procedure then releases the camera and closes the port);
// a second one is left to the system, which ends the program at once.
// The system calls the handler on a thread of its own.
class ConsoleStop {
public:
    explicit ConsoleStop(std::atomic<bool>& stop) : stop_(stop) {}

    // Whether the event was taken (TRUE to the system); false hands it on.
    bool OnControl(DWORD event);

    // Makes `handler` the console's handler for the rest of the program.
    static bool Install(ConsoleStop& handler);

private:
    std::atomic<bool>& stop_;
    std::atomic<bool> taken_{false};
};

}  // namespace rm525::cli
