#pragma once

#include <QIcon>
#include <QImage>

namespace rm525::gui {

// The program's pictures, loaded once at start: the camera picture behind the
// view, the strip of figures for the progress bar, and the icon. A picture
// that cannot be loaded is null; the program goes on without it.
struct Artwork {
    QImage background;
    QImage digits;
    QIcon icon;

    bool DigitsLoaded() const { return !digits.isNull(); }
    static Artwork Load();
};

}  // namespace rm525::gui
