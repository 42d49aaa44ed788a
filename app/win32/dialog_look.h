#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace rm525 {
class UpdateWorkflow;
}

namespace rm525::wingui {

// The light grey, (192, 192, 192), of every dialog's background.
inline constexpr COLORREF kDialogGrey = RGB(192, 192, 192);

// Places a dialog when it opens (the update procedure centres every dialog
// on the view's size).
using Placer = std::function<void(HWND)>;
// The placement by the workflow's rule; nothing while `workflow` is null.
Placer WorkflowPlacer(const UpdateWorkflow* const* workflow);
// Moves `window` to where the workflow's rule puts a window of its size,
// and repaints it at once.
void CenterDialogOn(HWND window, const UpdateWorkflow& workflow);

// The grey background with black text: the answer to WM_CTLCOLORDLG,
// WM_CTLCOLORSTATIC and WM_CTLCOLORBTN, or null for any other message.
HBRUSH DialogLookBrush(UINT message, WPARAM wParam);

// A message box of the system's, captioned with message 3 and in the grey
// look of the program's dialogs; returns what MessageBoxW returns.
int GreyMessageBox(HWND owner, const std::wstring& text, UINT flags);

// The wait cursor while the update procedure is busy. Calls nest.
void SetBusyCursor(bool busy);
bool BusyCursorShown();
// The answer to WM_SETCURSOR on any of our windows: keeps the wait cursor
// while it is up (true when handled).
bool KeepBusyCursor(UINT message);

// Message 3, the caption of every window.
const std::wstring& Caption();

}  // namespace rm525::wingui
