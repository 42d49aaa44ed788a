#include "app/qt/port_dialog.h"

#include <QRadioButton>

namespace rm525::gui {

namespace {

using K = ControlKind;

const DialogTemplate kPortTemplate{9,
                                   154,
                                   111,
                                   {
                                       {K::DefPushButton, kIdOk, "&OK", 103, 70, 45, 14},
                                       {K::GroupBox, 100, "Connect Port", 3, 4, 92, 98},
                                       {K::RadioButton, 112, "COM1", 10, 30, 35, 10},
                                       {K::RadioButton, 113, "COM2", 10, 44, 35, 10},
                                       {K::RadioButton, 114, "COM3", 10, 58, 35, 10},
                                       {K::RadioButton, 115, "COM4", 10, 72, 35, 10},
                                       {K::RadioButton, 111, "AUTO", 10, 16, 35, 10},
                                       {K::PushButton, kIdCancel, "&Quit", 103, 87, 45, 14},
                                       {K::RadioButton, 116, "COM5", 10, 86, 35, 10},
                                       {K::RadioButton, 117, "COM6", 50, 30, 35, 10},
                                       {K::RadioButton, 118, "COM7", 50, 44, 35, 10},
                                       {K::RadioButton, 119, "COM8", 50, 58, 35, 10},
                                       {K::RadioButton, 120, "COM9", 50, 72, 35, 10},
                                   }};

}  // namespace

CPortDlg::CPortDlg(Placer placer, std::function<void()> onOk, QWidget* parent)
    : TemplateDialog(kPortTemplate, std::move(placer), parent), onOk_(std::move(onOk)) {
    setObjectName(QStringLiteral("CPortDlg"));
}

void CPortDlg::OnInitDialog() {
    // Checking AUTO clears the other buttons of the group.
    findChild<QRadioButton*>(QStringLiteral("radio%1").arg(kFirstRadio))->setChecked(true);
    TemplateDialog::OnInitDialog();
}

void CPortDlg::OnOK() {
    for (int id = kFirstRadio; id <= kLastRadio; ++id) {
        if (findChild<QRadioButton*>(QStringLiteral("radio%1").arg(id))->isChecked()) {
            m_nPort = static_cast<int16_t>(id - kFirstRadio);
            break;
        }
    }
    if (onOk_) {
        onOk_();
    }
    TemplateDialog::OnOK();
}

}  // namespace rm525::gui
