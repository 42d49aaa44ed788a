#pragma once

#include <QEvent>
#include <QMargins>

class QWidget;

namespace rm525::gui {

// What the window manager may let the user do with a window of the program.
enum class WindowFunctions {
    Move,           // the dialogs: a caption, no close box, no system menu
    MoveAndResize,  // the main window: a caption and a sizing border only
};

// Tells the window manager to offer nothing on `window` beyond `functions`:
// no close box, no system menu, no minimise or maximise box. Qt's window
// hints say so to some window systems only; where the window manager needs
// more (X11), this says it in its terms. Call while the window is created
// and not yet shown (from its show event).
void RestrictWindowFunctions(QWidget* window, WindowFunctions functions);

// The frame the window manager has put around the top-level `window`, as it
// reports it now: on X11 read from the window's frame extents, which Qt's own
// figure may lag behind; no margins while the window has no frame (yet).
QMargins WindowFrame(const QWidget* window);

// Posted to a top-level window of the program when the window system reports
// that the frame around it has changed (on X11: the window manager has set
// its frame extents or reparented it), once Qt has taken the change in.
inline QEvent::Type FrameChangedEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Starts posting FrameChangedEvent where the window system reports frame
// changes; does nothing elsewhere, or when already started.
void ReportFrameChanges();

}  // namespace rm525::gui
