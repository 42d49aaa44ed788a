#pragma once

#include <cstdint>
#include <vector>

// Where the program's own pictures go, in pixels, worked out once for both
// window programs (Qt on Linux, Win32 on Windows): the progress bar, its
// figures, the nest of background copies and the status line's text.
// Nothing here draws.
namespace rm525::display {

// Left, top, right and bottom edges; right and bottom exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const PixelRect&) const = default;
};

// The background picture and the figure strip.
inline constexpr int kPictureWidth = 506;
inline constexpr int kPictureHeight = 358;
inline constexpr int kStripWidth = 96;
inline constexpr int kStripHeight = 16;

// The status line's text, in the bar's client coordinates (its top left).
inline constexpr int kStatusTextX = 2;
inline constexpr int kStatusTextY = 5;

// The bar's black outline, drawn white inside, in a client area whose
// bottom edge is `bottom`.
PixelRect ProgressOutline(int bottom);
// The blue part of the bar at `percent` (0..100): empty at 0, the whole
// inside (300 pixels) at 100.
PixelRect ProgressFill(int bottom, int percent);

// One block copied from the figure strip by exclusive-or.
struct FigureCopy {
    int toX = 0;
    int toY = 0;
    int fromX = 0;  // column in the strip; the row is 0
    int width = 0;
    int height = 0;
    bool operator==(const FigureCopy&) const = default;
};

// The copies that put "%3d:" of `percent` on the bar: a figure selects its
// glyph, the colon the percent sign. A blank lies outside the strip and
// gives no copy, so it leaves its place as the bar left it.
std::vector<FigureCopy> ProgressFigures(int bottom, int percent);

// The stretched copies of the whole picture that fill `client`, outermost
// first: each 7 pixels in at the sides and 5 at top and bottom from the
// one before, while the rectangle is wider than the picture and taller than
// it. A client area not wider or not taller than the picture gets none.
std::vector<PixelRect> BackgroundNest(const PixelRect& client);

}  // namespace rm525::display
