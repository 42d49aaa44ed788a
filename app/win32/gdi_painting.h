#pragma once

#include <windows.h>

#include <string>

namespace rm525::wingui {

// The progress bar at `percent` on `target`, whose client area ends at row
// `bottom`: a white Rectangle in the default black pen, the filled part by
// FillRect in blue, and the figures of "%3d:" put on by BitBlt with SRCINVERT
// from `digits` (the figure strip; null draws no figures). Every drawing
// object is made and released here; false when one could not be made (then
// nothing is drawn).
bool PaintProgressBar(HDC target, int bottom, int percent, HBITMAP digits);

// The nest of stretched copies of `picture` (null: nothing) over `client`.
void PaintBackground(HDC target, const RECT& client, HBITMAP picture);

// The status line's text, at (2, 5) in the device context's own font and
// colours; an empty text draws nothing.
void PaintStatusText(HDC target, const std::wstring& text);

}  // namespace rm525::wingui
