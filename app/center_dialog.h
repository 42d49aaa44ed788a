#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

namespace rm525::gui {

// Where a window of `window` outer size goes when it is centred on a view
// of `view` size placed at the screen's top-left corner: the halves are
// truncated, and a negative coordinate becomes 0.
QPoint CenteredPosition(QSize view, QSize window);

// Moves `window` there and repaints it; a null window is ignored.
void CenterDialog(QWidget* window, QSize view);

}  // namespace rm525::gui
