#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/win32/dialog_look.h"

namespace rm525::wingui {

// The system's file-open chooser (GetOpenFileNameW), owned by `owner`, with
// the "|"-separated `filter`, the initial name and the options
// file-must-exist and hide-read-only; placed by `placer` when it opens. A
// choose_result code; on kChosen `path` holds the full path in UTF-8, of
// any length the system gives.
int16_t ChooseFile(HWND owner, const std::string& filter, const std::string& initialName,
                   const Placer& placer, std::string* path);

// The chooser's filter from a "|"-separated filter text: description and
// pattern, each ended by a NUL, the list ended by a second NUL.
std::wstring ChooserFilter(const std::string& filter);

}  // namespace rm525::wingui
