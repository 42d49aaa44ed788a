#include <windows.h>

#include "link/system_error.h"

namespace rm525 {

int LastSystemError() {
    const DWORD error = GetLastError();
    return static_cast<int>(error != 0 ? error : ERROR_GEN_FAILURE);
}

void ClearSystemError() {
    SetLastError(0);
}

void SetSystemError(int error) {
    SetLastError(static_cast<DWORD>(error));
}

}  // namespace rm525
