#include "app/progress_painting.h"

#include <QImage>
#include <QPainter>

#include <cstdio>

namespace rm525::gui {

namespace {

// Bar geometry, relative to the bottom of the client area.
constexpr int kBarLeft = 9;
constexpr int kBarRight = 311;    // exclusive
constexpr int kBarTopUp = 31;     // top = bottom - 31
constexpr int kBarBottomUp = 11;  // bottom (exclusive) = bottom - 11
constexpr int kPixelsPerPercent = 3;
// Figures: four places of eight pixels from x = 140, ten rows high.
constexpr int kFiguresLeft = 140;
constexpr int kFiguresTopUp = 27;
constexpr int kFigureWidth = 8;
constexpr int kPercentWidth = 12;
constexpr int kFigureHeight = 10;

}  // namespace

void PaintProgress(QImage& target, int bottom, int percent, const QImage* digits) {
    QPainter p(&target);
    const QRect outline(QPoint(kBarLeft, bottom - kBarTopUp),
                        QPoint(kBarRight - 1, bottom - kBarBottomUp - 1));
    p.fillRect(outline, Qt::black);
    const QRect inside = outline.adjusted(1, 1, -1, -1);
    p.fillRect(inside, Qt::white);
    p.fillRect(QRect(inside.left(), inside.top(), kPixelsPerPercent * percent, inside.height()),
               QColor(0, 0, 255));

    if (digits == nullptr || digits->isNull()) {
        return;
    }
    char figures[16];
    std::snprintf(figures, sizeof figures, "%3d:", percent);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (int i = 0; i < 4; ++i) {
        const int c = static_cast<unsigned char>(figures[i]);
        const int width = c == ':' ? kPercentWidth : kFigureWidth;
        const QRect wanted((c - '0') * kFigureWidth, 0, width, kFigureHeight);
        // Whatever lies outside the strip (a blank place) changes nothing.
        const QRect source = wanted & digits->rect();
        if (source.isEmpty()) {
            continue;
        }
        const QPoint to(kFiguresLeft + kFigureWidth * i + (source.left() - wanted.left()),
                        bottom - kFiguresTopUp);
        p.drawImage(to, *digits, source);
    }
    // The exclusive-or has also flipped the pixels' alpha: make them opaque.
    p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    p.fillRect(QRect(kFiguresLeft, bottom - kFiguresTopUp, 3 * kFigureWidth + kPercentWidth,
                     kFigureHeight),
               QColor(0, 0, 0));
}

}  // namespace rm525::gui
