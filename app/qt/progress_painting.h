#pragma once

class QImage;

namespace rm525::gui {

// Draws the progress bar and its percentage onto `target`, whose client area
// ends at row `bottom`: a black-outlined white bar, the filled part blue, and
// the figures of "%3d:" copied from `digits` (the figure strip, may be null)
// by exclusive-or, so they read blue over white and white over blue.
// `target` must be a 32-bit RGB image.
void PaintProgress(QImage& target, int bottom, int percent, const QImage* digits);

}  // namespace rm525::gui
