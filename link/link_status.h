#pragma once

#include <cstdint>

namespace rm525 {

// Result code of every step of the camera link; 0 is success.
using LinkStatus = uint32_t;

namespace link_status {
constexpr LinkStatus kOk = 0;
constexpr LinkStatus kBadArgument = 1;   // rate index or break mode out of range
constexpr LinkStatus kNoMemory = 2;      // a buffer or record could not be had
constexpr LinkStatus kRefused = 3;       // refused or wrong answer from the camera
constexpr LinkStatus kCameraFailed = 4;  // the camera reports failure
constexpr LinkStatus kTimeout = 7;       // no valid answer in time
constexpr LinkStatus kPortFailure = 8;   // a platform serial call failed
constexpr LinkStatus kCancelled = 10;    // the progress callback asked to stop
constexpr LinkStatus kBusy = 12;         // the camera answered a data packet with "busy"
constexpr LinkStatus kNotUsable = 14;  // camera not usable: rate change, model or line reset failed
}  // namespace link_status

// Error number of a whole camera operation, made from its LinkStatus.
namespace error_number {
constexpr int16_t kOk = 0;
constexpr int16_t kBadArgument = -1000;
constexpr int16_t kNotUsable = -1002;
constexpr int16_t kCancelled = -1004;
constexpr int16_t kCommunication = -1006;
constexpr int16_t kNoMemory = -1011;
constexpr int16_t kUnknown = -1020;
constexpr int16_t kCode15 = -1022;
}  // namespace error_number

int16_t ErrorNumberFor(LinkStatus status);

}  // namespace rm525
