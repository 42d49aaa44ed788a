#pragma once

#include <atomic>

namespace rm525::cli {

// Why the program is asked to end early. Set from signal handlers (or a
// console control handler), read by the commands; lock-free atomics only.
struct StopRequest {
    // Ctrl+C or a termination request: stop at the next safe point. During a
    // transfer that ends the transfer after its current block.
    std::atomic<bool> interrupted{false};
    // The terminal has gone (SSH dropped, window closed). Nobody can answer a
    // question any more, so a run that has not begun its transfer quits; a
    // transfer that has begun runs to its end, since stopping it would leave
    // the camera without firmware.
    std::atomic<bool> hungUp{false};
    // The system ends the program within seconds (the console window closed,
    // the session ending): a search gives up a port that does not answer
    // rather than wait out its time-outs.
    std::atomic<bool> endingSoon{false};

    bool Any() const { return interrupted.load() || hungUp.load(); }
};

// Routes Ctrl+C, termination and hang-up into `request`, and makes writes to
// a closed pipe or a dead terminal fail quietly instead of ending the program.
// One implementation file per system (stop_request_posix.cpp,
// stop_request_win32.cpp).
void InstallStopHandlers(StopRequest& request);

}  // namespace rm525::cli
