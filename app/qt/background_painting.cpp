#include "app/qt/background_painting.h"

#include <QImage>
#include <QPainter>

#include "app/display/paint_geometry.h"

namespace rm525::gui {

void PaintBackground(QPainter& painter, QRect client, const QImage& picture) {
    if (picture.isNull()) {
        return;
    }
    const QRect source(0, 0, kPictureWidth, kPictureHeight);
    const display::PixelRect area{client.left(), client.top(), client.left() + client.width(),
                                  client.top() + client.height()};
    for (const display::PixelRect& r : display::BackgroundNest(area)) {
        painter.drawImage(QRect(r.left, r.top, r.Width(), r.Height()), picture, source);
    }
}

}  // namespace rm525::gui
