#include "link/link_status.h"

namespace rm525 {

int16_t ErrorNumberFor(LinkStatus status) {
    switch (status) {
        case 0:
            return error_number::kOk;
        case 1:
            return error_number::kBadArgument;
        case 2:
            return error_number::kNoMemory;
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 11:
        case 12:
        case 17:
            return error_number::kCommunication;
        case 10:
            return error_number::kCancelled;
        case 14:
        case 18:
            return error_number::kNotUsable;
        case 15:
            return error_number::kCode15;
        default:
            return error_number::kUnknown;
    }
}

}  // namespace rm525
