#pragma once

#include <QString>

namespace rm525::gui {

// Message numbers the windows show.
namespace msg {
inline constexpr int kCaption = 3;
inline constexpr int kSameVersion = 4;
inline constexpr int kNoCamera = 6;
inline constexpr int kMemoryError = 7;
inline constexpr int kUpdateFailed = 10;
inline constexpr int kFileCancelled = 15;
inline constexpr int kWrongFile = 20;
inline constexpr int kSuccess = 21;
}  // namespace msg

// A text of the program's message table.
QString AppMessage(int id);

}  // namespace rm525::gui
