#include "app/qt/about_dialog.h"

namespace rm525::gui {

namespace {
using K = ControlKind;
const DialogTemplate kAboutTemplate{
    9,
    217,
    47,
    {{K::Icon, 0, "", 7, 19, 0, 0},
     {K::CenteredText, 101, "Quelm RM520/RM525 Zoom Camera Update Software", 32, 7, 156, 8},
     {K::CenteredText, 102, "Version 2.0", 40, 21, 127, 8},
     {K::DefPushButton, kIdOk, "OK", 179, 18, 32, 14}},
    QStringLiteral("About Quelm RM520/RM525 Zoom Camera Update Software")};
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : TemplateDialog(kAboutTemplate, {}, parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
}

}  // namespace rm525::gui
