#include "app/background_painting.h"

#include <QImage>
#include <QPainter>

namespace rm525::gui {

namespace {
constexpr int kSideStep = 7;
constexpr int kTopStep = 5;
}  // namespace

void PaintBackground(QPainter& painter, QRect client, const QImage& picture) {
    if (picture.isNull()) {
        return;
    }
    const QRect source(0, 0, kPictureWidth, kPictureHeight);
    QRect r = client;
    while (r.width() > kPictureWidth && r.height() > kPictureHeight) {
        painter.drawImage(r, picture, source);
        r.adjust(kSideStep, kTopStep, -kSideStep, -kTopStep);
    }
}

}  // namespace rm525::gui
