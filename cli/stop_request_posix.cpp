#include <signal.h>
#include <unistd.h>

#include "cli/stop_request.h"

namespace rm525::cli {

namespace {

StopRequest* g_request = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr char kStopNotice[] =
    "\nStopping: the camera is released first. Press Ctrl+C again to end at once.\n";

extern "C" void OnInterrupt(int) {
    if (g_request)
        g_request->interrupted.store(true);
    // write() is safe in a signal handler; the stream objects are not. On a
    // dead terminal it fails, which is of no concern here.
    [[maybe_unused]] const ssize_t written =
        write(STDERR_FILENO, kStopNotice, sizeof kStopNotice - 1);
}

extern "C" void OnHangUp(int) {
    if (g_request)
        g_request->hungUp.store(true);
}

}  // namespace

// Ctrl+C and SIGTERM only ask to stop: the update procedure then takes its own
// road out, so that the camera is released and the port closed. A second one
// ends the program at once (the handler is reset after the first). SIGHUP is
// never reset: a terminal that goes away may send it more than once, and a
// transfer must outlive it. No restart, so that a question waiting for input
// returns at once.
void InstallStopHandlers(StopRequest& request) {
    g_request = &request;
    struct sigaction stop = {};
    stop.sa_handler = OnInterrupt;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);

    struct sigaction hangUp = {};
    hangUp.sa_handler = OnHangUp;
    sigemptyset(&hangUp.sa_mask);
    sigaction(SIGHUP, &hangUp, nullptr);

    // A closed pipe (rm525fw-cli update ... | head) makes the write fail with
    // EPIPE; the stream then just stops printing.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace rm525::cli
