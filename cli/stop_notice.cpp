#include "cli/stop_request.h"

namespace rm525::cli {

namespace {

template <size_t N>
constexpr StopNotice Notice(const char (&text)[N]) {
    return {text, N - 1};
}

constexpr char kFirstNoPort[] =
    "\nStopping: no port is open and the camera is not being addressed.\n"
    "Press Ctrl+C again to end at once.\n";
constexpr char kFirstSearching[] =
    "\nStopping: the search stops at the next port; a camera found meanwhile is released.\n"
    "Press Ctrl+C again to end at once.\n";
constexpr char kFirstConnected[] =
    "\nStopping: releasing the camera from update mode, then ending. Its firmware is "
    "unchanged.\nPress Ctrl+C again to end at once.\n";
constexpr char kFirstTransferring[] =
    "\nStopping after the current block. The camera stays in update mode with an incomplete "
    "firmware:\nkeep it connected and switched on, then run the same rm525fw-cli update "
    "command again\n(RETRY PROCEDURE in the ReadMe). Press Ctrl+C again to end at once.\n";

constexpr char kSecondNoPort[] = "\nEnded. No port was open.\n";
constexpr char kSecondSearching[] =
    "\nEnded during the search. A camera it reached may be left in update mode, with its "
    "firmware unchanged:\nrun the same command again.\n";
constexpr char kSecondConnected[] =
    "\nEnded without releasing the camera: it stays in update mode, with its firmware "
    "unchanged.\nRun the same command again.\n";
constexpr char kSecondTransferring[] =
    "\nEnded at once: the camera stays in update mode with an incomplete firmware.\n"
    "Keep it connected and switched on, and run the same rm525fw-cli update command again\n"
    "(RETRY PROCEDURE in the ReadMe).\n";

// Both tables in the order of StopPhase.
constexpr StopNotice kFirst[] = {Notice(kFirstNoPort), Notice(kFirstSearching),
                                 Notice(kFirstConnected), Notice(kFirstTransferring)};
constexpr StopNotice kSecond[] = {Notice(kSecondNoPort), Notice(kSecondSearching),
                                  Notice(kSecondConnected), Notice(kSecondTransferring)};

StopNotice FromTable(const StopNotice (&table)[4], StopPhase phase) {
    const auto i = static_cast<size_t>(phase);
    return i < 4 ? table[i] : table[0];
}

}  // namespace

StopNotice FirstStopNotice(StopPhase phase) {
    return FromTable(kFirst, phase);
}

StopNotice SecondStopNotice(StopPhase phase) {
    return FromTable(kSecond, phase);
}

}  // namespace rm525::cli
