#include "link/win32/win32_comm_api.h"

namespace rm525 {

const Win32CommApi& SystemCommApi() {
    static const Win32CommApi api{
        CreateFileW,     SetupComm,      GetCommState, SetCommState,    GetCommTimeouts,
        SetCommTimeouts, ReadFile,       WriteFile,    ClearCommError,  PurgeComm,
        SetCommBreak,    ClearCommBreak, CloseHandle,  QueryDosDeviceW,
    };
    return api;
}

}  // namespace rm525
