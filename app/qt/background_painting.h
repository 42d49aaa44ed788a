#pragma once

#include <QRect>

#include "app/display/paint_geometry.h"

class QImage;
class QPainter;

namespace rm525::gui {

// The size of the background picture.
inline constexpr int kPictureWidth = display::kPictureWidth;
inline constexpr int kPictureHeight = display::kPictureHeight;

// Fills `client` with a nest of stretched copies of `picture`: each copy 7
// pixels narrower at both sides and 5 pixels lower at top and bottom than the
// one before, down to the first no wider than 506 + 14 or no taller than
// 358 + 10. A client area not wider than 506 or not taller than 358 shows none.
void PaintBackground(QPainter& painter, QRect client, const QImage& picture);

}  // namespace rm525::gui
