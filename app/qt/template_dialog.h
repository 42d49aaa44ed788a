#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QAbstractButton;
class QLabel;

namespace rm525::gui {

// Modal results, by the ids of the buttons that end a dialog.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

enum class ControlKind { DefPushButton, PushButton, GroupBox, RadioButton, CenteredText, Icon };

// One control of a dialog template; place and size in dialog units.
struct ControlSpec {
    ControlKind kind;
    int id;
    const char* text;
    int x, y, w, h;
};

// A dialog as its template describes it: caption, font size, client size in
// dialog units and the controls in keyboard order.
struct DialogTemplate {
    int pointSize;
    int width, height;
    std::vector<ControlSpec> controls;
    QString caption = {};
};

// Places a dialog when it opens (the update procedure centres every dialog
// on the view's size).
using Placer = std::function<void(QWidget*)>;

// A dialog built from a template: grey, captioned, fixed-size, no close box.
// Push buttons end the modal run with their id, the Escape key with kIdCancel.
// Controls are found by object name: "button<id>", "text<id>", "radio<id>",
// "group<id>", "icon".
class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    TemplateDialog(const DialogTemplate& tmpl, Placer placer, QWidget* parent = nullptr);

    QLabel* Text(int id) const;
    QAbstractButton* Button(int id) const;

    // The window role (on X11) is the dialog's class name, so that tools
    // driving the program from outside can tell its windows apart.
    void setVisible(bool visible) override;

public slots:
    void reject() override { OnCancel(); }

protected:
    // Called at the start of every modal run or showing, after the controls
    // exist; the default places the dialog.
    virtual void OnInitDialog();
    virtual void OnOK() { done(kIdOk); }
    virtual void OnCancel() { done(kIdCancel); }
    void Place();
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void AddControl(const ControlSpec& spec, const class DialogUnits& du);

    Placer placer_;
};

}  // namespace rm525::gui
