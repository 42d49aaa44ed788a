#include "app/qt/progress_painting.h"

#include <QImage>
#include <QPainter>

#include "app/display/paint_geometry.h"

namespace rm525::gui {

namespace {

QRect ToQRect(const display::PixelRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

}  // namespace

void PaintProgress(QImage& target, int bottom, int percent, const QImage* digits) {
    QPainter p(&target);
    const QRect outline = ToQRect(display::ProgressOutline(bottom));
    p.fillRect(outline, Qt::black);
    p.fillRect(outline.adjusted(1, 1, -1, -1), Qt::white);
    p.fillRect(ToQRect(display::ProgressFill(bottom, percent)), QColor(0, 0, 255));

    if (digits == nullptr || digits->isNull()) {
        return;
    }
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QRect touched;
    for (const display::FigureCopy& copy : display::ProgressFigures(bottom, percent)) {
        const QRect source = QRect(copy.fromX, 0, copy.width, copy.height) & digits->rect();
        p.drawImage(QPoint(copy.toX, copy.toY), *digits, source);
        touched |= QRect(copy.toX, copy.toY, copy.width, copy.height);
    }
    // The exclusive-or has also flipped the pixels' alpha: make them opaque.
    p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    p.fillRect(touched, QColor(0, 0, 0));
}

}  // namespace rm525::gui
