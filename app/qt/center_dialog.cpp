#include "app/qt/center_dialog.h"

#include <QWidget>

#include "app/qt/window_system.h"
#include "workflow/update_workflow.h"

namespace rm525::gui {

void CenterDialog(QWidget* window, const UpdateWorkflow& workflow) {
    if (window == nullptr) {
        return;
    }
    const QMargins frame = WindowFrame(window);
    const QSize outer = window->size().grownBy(frame);
    const DialogPlacement at = workflow.CenterDialog(outer.width(), outer.height());
    // Placed by its inner rectangle, so that the frame lies where the rule
    // puts the outer one whatever Qt has learnt of the frame so far.
    window->setGeometry(
        QRect(QPoint(at.x, at.y) + QPoint(frame.left(), frame.top()), window->size()));
    window->repaint();
}

}  // namespace rm525::gui
