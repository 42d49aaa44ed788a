#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/win32/dialog_look.h"
#include "workflow/front_end.h"

namespace rm525::wingui {

// The template of each prompt.
int PromptTemplate(PromptKind kind);

// A prompt from its template, modal to `owner`, showing `text` in control
// 100 and placed by `placer` when it opens. Returns the id that ended it:
// IDOK for the default button or Enter, IDCANCEL for Quit or Escape.
INT_PTR RunPromptDialog(HWND owner, int templateId, const std::wstring& text, const Placer& placer);

// The port choice (template 107), AUTO checked when it opens. True after OK
// with `port` 0 (AUTO) or 1..9; false after Quit or Escape.
bool RunPortDialog(HWND owner, const Placer& placer, int16_t* port);

// The About box (template 100).
void RunAboutBox(HWND owner);

// What every dialog of ours does beyond its own: the grey look, the wait
// cursor, and no close by the system (Alt+F4, the taskbar), which has no
// button of ours to stand for. True when `message` was handled.
bool HandleDialogCommon(HWND dialog, UINT message, WPARAM wParam, INT_PTR* result);

}  // namespace rm525::wingui
