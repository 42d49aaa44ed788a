#pragma once

#include "app/qt/template_dialog.h"

namespace rm525::gui {

// The About box (template 100): icon, program name, version and "OK".
class CAboutDlg : public TemplateDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace rm525::gui
