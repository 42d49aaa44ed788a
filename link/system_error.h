#pragma once

namespace rm525 {

// The calling thread's last error of the system's own calls, numbered as the
// system numbers it (errno on POSIX, GetLastError on Windows), or the
// system's general input/output failure when it recorded none. This is what
// an OpenFailure carries to the front ends, which explain it in the
// system's own terms.
int LastSystemError();
// Forgets that error, so that the next LastSystemError tells of later calls.
void ClearSystemError();
// Puts `error` back as the last error (after work that may have changed it).
void SetSystemError(int error);

}  // namespace rm525
