#pragma once

class QWidget;

namespace rm525 {
class UpdateWorkflow;
}

namespace rm525::gui {

// Moves `window` to where the workflow places a dialog of its outer size
// (centred on the view's size at the screen's top-left corner) and repaints
// it; a null window is ignored.
void CenterDialog(QWidget* window, const UpdateWorkflow& workflow);

}  // namespace rm525::gui
