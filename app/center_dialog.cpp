#include "app/center_dialog.h"

#include <QWidget>

#include <algorithm>

namespace rm525::gui {

QPoint CenteredPosition(QSize view, QSize window) {
    const int x = view.width() / 2 - window.width() / 2;
    const int y = view.height() / 2 - window.height() / 2;
    return {std::max(x, 0), std::max(y, 0)};
}

void CenterDialog(QWidget* window, QSize view) {
    if (window == nullptr) {
        return;
    }
    window->move(CenteredPosition(view, window->frameGeometry().size()));
    window->repaint();
}

}  // namespace rm525::gui
