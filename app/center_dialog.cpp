#include "app/center_dialog.h"

#include <QWidget>

#include "workflow/update_workflow.h"

namespace rm525::gui {

void CenterDialog(QWidget* window, const UpdateWorkflow& workflow) {
    if (window == nullptr) {
        return;
    }
    const QSize outer = window->frameGeometry().size();
    const DialogPlacement at = workflow.CenterDialog(outer.width(), outer.height());
    window->move(at.x, at.y);
    window->repaint();
}

}  // namespace rm525::gui
