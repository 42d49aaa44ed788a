#include <signal.h>
#include <unistd.h>

#include "cli/stop_request.h"

namespace rm525::cli {

namespace {

StopRequest* g_request = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free);

void WriteNotice(StopNotice notice) {
    // write() is safe in a signal handler; the stream objects are not. On a
    // dead terminal it fails, which is of no concern here.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, notice.text, notice.size);
}

// The first one asks to stop; the second says what it leaves behind and ends
// the program by the signal's own default action, so that whoever started
// the program sees how it ended.
extern "C" void OnInterrupt(int sig) {
    if (!g_request)
        return;
    const StopPhase phase = g_request->Phase();
    if (g_request->interrupted.exchange(true)) {
        WriteNotice(SecondStopNotice(phase));
        signal(sig, SIG_DFL);
        raise(sig);  // delivered as the handler returns
        return;
    }
    WriteNotice(FirstStopNotice(phase));
}

extern "C" void OnHangUp(int) {
    if (g_request)
        g_request->hungUp.store(true);
}

}  // namespace

// Ctrl+C and SIGTERM only ask to stop: the update procedure then takes its own
// road out, so that the camera is released and the port closed. A second one
// ends the program at once. SIGHUP is
// never reset: a terminal that goes away may send it more than once, and a
// transfer must outlive it. No restart, so that a question waiting for input
// returns at once.
void InstallStopHandlers(StopRequest& request) {
    g_request = &request;
    struct sigaction stop = {};
    stop.sa_handler = OnInterrupt;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = 0;
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
