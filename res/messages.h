#pragma once

#include <span>
#include <string_view>

// The program's message table: every text the user sees, addressed by number,
// shared by every front end. Texts are kept exactly as shown, trailing blanks
// included; "\n" is a line break.
namespace rm525::res {

namespace msg {
constexpr int kDocumentTemplate = 2;  // window title and document names, "\n"-separated
constexpr int kCaption = 3;           // caption of every window
constexpr int kSameVersion = 4;
constexpr int kNoCamera = 6;
constexpr int kMemoryError = 7;
constexpr int kUpdateFailed = 10;
constexpr int kFileFilter = 11;
constexpr int kFileReadError = 12;
constexpr int kFileNotFound = 13;
constexpr int kSelectionCancelled = 15;
constexpr int kSelectPort = 16;
constexpr int kCameraIdLabel = 17;
constexpr int kFirmwareVersionLabel = 19;
constexpr int kWrongFile = 20;
constexpr int kSuccessFormat = 21;  // three "%c": file version characters 2, 3 and 4
constexpr int kSearching = 22;
constexpr int kCreateDocumentFailed = 61700;  // the main window could not be made
}  // namespace msg

struct Message {
    int id;
    std::string_view text;
};

// The whole table, in the order of the numbers.
std::span<const Message> AllMessages();

// The text of message `id`; empty for a number the table does not hold.
std::string_view LoadMessage(int id);

// The progress window's texts, by transfer phase.
constexpr std::string_view kProgressRunning = "Downloading firmware ...";
constexpr std::string_view kProgressCompleted = "Downloading firmware completed.";
constexpr std::string_view kProgressFailed = "Downloading firmware failed.";

}  // namespace rm525::res
