#pragma once

#include <string>

namespace rm525::win32 {

// The program keeps its texts in UTF-8; the system's wide-character calls
// take UTF-16. Invalid input converts to what the system makes of it.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// The system's own text for an error code (GetLastError), without the final
// line break; "error N" when the system has none.
std::string SystemErrorText(unsigned long error);

}  // namespace rm525::win32
