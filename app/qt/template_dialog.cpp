#include "app/qt/template_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "app/qt/dialog_look.h"
#include "app/qt/frame_placement.h"
#include "app/qt/window_system.h"

namespace rm525::gui {

TemplateDialog::TemplateDialog(const DialogTemplate& tmpl, Placer placer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      placer_(std::move(placer)) {
    const QFont font = DialogFont(tmpl.pointSize);
    ApplyDialogLook(this, font);
    setWindowTitle(tmpl.caption.isEmpty() ? kCaption : tmpl.caption);
    const DialogUnits du(font);
    setFixedSize(du.ToX(tmpl.width), du.ToY(tmpl.height));
    for (const ControlSpec& spec : tmpl.controls) {
        AddControl(spec, du);
    }
    // Controls declared later stay on top, so radio buttons are not hidden
    // behind a group box declared before them.
    for (QWidget* child : findChildren<QRadioButton*>()) {
        child->raise();
    }
    new PlaceAgainWhenFramed(this, [this] { Place(); });
}

void TemplateDialog::AddControl(const ControlSpec& spec, const DialogUnits& du) {
    const QString text = QString::fromUtf8(spec.text);
    QWidget* widget = nullptr;
    switch (spec.kind) {
        case ControlKind::DefPushButton:
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, this);
            button->setObjectName(QStringLiteral("button%1").arg(spec.id));
            button->setDefault(spec.kind == ControlKind::DefPushButton);
            button->setAutoDefault(true);
            const int id = spec.id;
            connect(button, &QPushButton::clicked, this, [this, id] {
                if (id == kIdOk) {
                    OnOK();
                } else if (id == kIdCancel) {
                    OnCancel();
                } else {
                    done(id);
                }
            });
            widget = button;
            break;
        }
        case ControlKind::GroupBox:
            widget = new QGroupBox(text, this);
            widget->setObjectName(QStringLiteral("group%1").arg(spec.id));
            break;
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, this);
            radio->setObjectName(QStringLiteral("radio%1").arg(spec.id));
            radio->setAutoExclusive(true);
            // Only the push buttons are tab stops.
            radio->setFocusPolicy(Qt::ClickFocus);
            widget = radio;
            break;
        }
        case ControlKind::CenteredText: {
            auto* label = new QLabel(text, this);
            label->setObjectName(QStringLiteral("text%1").arg(spec.id));
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            label->setWordWrap(true);
            widget = label;
            break;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(this);
            label->setObjectName(QStringLiteral("icon"));
            label->setPixmap(QApplication::windowIcon().pixmap(32, 32));
            label->setGeometry(du.ToX(spec.x), du.ToY(spec.y), 32, 32);
            return;
        }
    }
    widget->setGeometry(du.ToRect(spec.x, spec.y, spec.w, spec.h));
}

QLabel* TemplateDialog::Text(int id) const {
    return findChild<QLabel*>(QStringLiteral("text%1").arg(id));
}

QAbstractButton* TemplateDialog::Button(int id) const {
    return findChild<QAbstractButton*>(QStringLiteral("button%1").arg(id));
}

void TemplateDialog::OnInitDialog() {
    Place();
}

void TemplateDialog::Place() {
    if (placer_) {
        placer_(this);
    }
}

void TemplateDialog::setVisible(bool visible) {
    if (visible) {
        setWindowRole(objectName());
    }
    QDialog::setVisible(visible);
}

void TemplateDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        RestrictWindowFunctions(this, WindowFunctions::Move);
        OnInitDialog();
        // The first push button in keyboard order takes the focus.
        if (auto* first = findChild<QPushButton*>()) {
            first->setFocus(Qt::OtherFocusReason);
        }
    }
    QDialog::showEvent(event);
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
    // A close request from the window system (a close box or a key that the
    // window manager offers anyway) is no answer the user gave: the dialog
    // ends by its buttons and the Escape key only.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace rm525::gui
