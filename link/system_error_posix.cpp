#include <cerrno>

#include "link/system_error.h"

namespace rm525 {

int LastSystemError() {
    return errno != 0 ? errno : EIO;
}

void ClearSystemError() {
    errno = 0;
}

void SetSystemError(int error) {
    errno = error;
}

}  // namespace rm525
