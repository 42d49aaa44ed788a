#include "app/qt/frame_placement.h"

#include <QEvent>
#include <QWidget>

#include "app/qt/window_system.h"

namespace rm525::gui {

PlaceAgainWhenFramed::PlaceAgainWhenFramed(QWidget* window, std::function<void()> place)
    : QObject(window), window_(window), place_(std::move(place)) {
    window->installEventFilter(this);
    ReportFrameChanges();
}

bool PlaceAgainWhenFramed::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) {
        return false;
    }
    if (event->type() == QEvent::Show) {
        // The window places itself when it is shown, by the frame known then.
        placedWith_ = WindowFrame(window_);
    } else if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
               event->type() == FrameChangedEvent()) {
        if (window_->isVisible() && WindowFrame(window_) != placedWith_) {
            placedWith_ = WindowFrame(window_);
            place_();
        }
    }
    return false;
}

}  // namespace rm525::gui
