#include "app/display/paint_geometry.h"

#include <cstdio>

namespace rm525::display {

namespace {

// The bar, counted up from the bottom of the client area.
constexpr int kBarLeft = 9;
constexpr int kBarRight = 311;
constexpr int kBarTopUp = 31;
constexpr int kBarBottomUp = 11;
constexpr int kPixelsPerPercent = 3;
// Four places of eight pixels from x = 140; the glyphs are ten rows high.
constexpr int kFiguresLeft = 140;
constexpr int kFiguresTopUp = 27;
constexpr int kFigureWidth = 8;
constexpr int kPercentWidth = 12;
constexpr int kFigureHeight = 10;
// Each copy of the background lies this far inside the one before.
constexpr int kSideStep = 7;
constexpr int kTopStep = 5;

}  // namespace

PixelRect ProgressOutline(int bottom) {
    return {kBarLeft, bottom - kBarTopUp, kBarRight, bottom - kBarBottomUp};
}

PixelRect ProgressFill(int bottom, int percent) {
    const PixelRect outline = ProgressOutline(bottom);
    return {outline.left + 1, outline.top + 1, outline.left + 1 + kPixelsPerPercent * percent,
            outline.bottom - 1};
}

std::vector<FigureCopy> ProgressFigures(int bottom, int percent) {
    char figures[16];
    std::snprintf(figures, sizeof figures, "%3d:", percent);
    std::vector<FigureCopy> copies;
    for (int i = 0; i < 4; ++i) {
        const int c = static_cast<unsigned char>(figures[i]);
        const int fromX = (c - '0') * kFigureWidth;
        if (fromX < 0 || fromX >= kStripWidth) {
            continue;
        }
        const int width = c == ':' ? kPercentWidth : kFigureWidth;
        copies.push_back(
            {kFiguresLeft + kFigureWidth * i, bottom - kFiguresTopUp, fromX, width, kFigureHeight});
    }
    return copies;
}

std::vector<PixelRect> BackgroundNest(const PixelRect& client) {
    std::vector<PixelRect> nest;
    PixelRect r = client;
    while (r.Width() > kPictureWidth && r.Height() > kPictureHeight) {
        nest.push_back(r);
        r = {r.left + kSideStep, r.top + kTopStep, r.right - kSideStep, r.bottom - kTopStep};
    }
    return nest;
}

}  // namespace rm525::display
