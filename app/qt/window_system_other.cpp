// Window systems other than X11 read the window flags that Qt passes on, and
// Qt's own move and resize events tell of their frames.
#include <QWidget>
#include <QWindow>

#include "app/qt/window_system.h"

namespace rm525::gui {

void RestrictWindowFunctions(QWidget* /*window*/, WindowFunctions /*functions*/) {}

QMargins WindowFrame(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

void ReportFrameChanges() {}

}  // namespace rm525::gui
