#pragma once

#include <atomic>
#include <cstddef>

namespace rm525::cli {

// Where the run stands, as the stop handlers need to know it: what a stop
// does now, and what ending at once would leave behind.
enum class StopPhase : int {
    NoPortOpen,    // before the search, after a failed one, after the transfer
    Searching,     // ports are being tried
    Connected,     // the camera is in update mode and its firmware untouched
    Transferring,  // the firmware is being written
};

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

    // Published by the main thread, read by the handlers.
    std::atomic<int> phase{static_cast<int>(StopPhase::NoPortOpen)};

    bool Any() const { return interrupted.load() || hungUp.load(); }
    void Publish(StopPhase p) { phase.store(static_cast<int>(p)); }
    StopPhase Phase() const { return static_cast<StopPhase>(phase.load()); }
};

// The fixed texts a stop handler writes: for the first Ctrl+C, what the
// program now does; for the second, what ending at once leaves behind.
// Static storage only, so that a signal handler may write them.
struct StopNotice {
    const char* text;
    size_t size;
};
StopNotice FirstStopNotice(StopPhase phase);
StopNotice SecondStopNotice(StopPhase phase);

// Routes Ctrl+C, termination and hang-up into `request`, and makes writes to
// a closed pipe or a dead terminal fail quietly instead of ending the program.
// One implementation file per system (stop_request_posix.cpp,
// stop_request_win32.cpp).
void InstallStopHandlers(StopRequest& request);

}  // namespace rm525::cli
