#include "app/qt/artwork.h"

namespace rm525::gui {

Artwork Artwork::Load() {
    Artwork art;
    // 32-bit copies: the view stretches the picture on every paint, and the
    // figures are combined with the bar by exclusive-or of 32-bit pixels.
    const QImage background(QStringLiteral(":/artwork/camera.bmp"));
    if (!background.isNull()) {
        art.background = background.convertToFormat(QImage::Format_RGB32);
    }
    const QImage digits(QStringLiteral(":/artwork/digits.bmp"));
    if (!digits.isNull()) {
        art.digits = digits.convertToFormat(QImage::Format_RGB32);
    }
    for (const char* name :
         {":/artwork/rm525fw-32.png", ":/artwork/rm525fw-48.png", ":/artwork/rm525fw-256.png"}) {
        art.icon.addFile(QString::fromLatin1(name));
    }
    return art;
}

}  // namespace rm525::gui
