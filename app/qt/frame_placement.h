#pragma once

#include <QMargins>
#include <QObject>

#include <functional>

class QWidget;

namespace rm525::gui {

// Window managers add their frame around a window at different moments, some
// only after the window is mapped; until then the window's outer rectangle is
// taken to be its inner one. A placement that works on the outer rectangle
// must therefore run again once the frame is known: this calls `place` again
// whenever the shown window has another frame than the one it was last
// placed with, as the window system reports it (a frame change, a move or a
// resize). The window owns it.
class PlaceAgainWhenFramed : public QObject {
public:
    PlaceAgainWhenFramed(QWidget* window, std::function<void()> place);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    std::function<void()> place_;
    QMargins placedWith_;
};

}  // namespace rm525::gui
