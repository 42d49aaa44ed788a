#pragma once

#include <QImage>

#include "app/qt/template_dialog.h"

namespace rm525::gui {

// The modeless progress window of a firmware transfer (template 108): a text
// line, the bar and its percentage. It has no buttons and cannot be closed
// by the user; its owner destroys it when the transfer ends.
class CProgressDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 100;
    static constexpr int kHoldMs = 1000;

    CProgressDlg(const QImage* digits, Placer placer, QWidget* parent);

    // Sets the text (when not null), redraws the bar at `percent` and, for
    // the final phases 2 and 3, holds the picture for `holdMs` while the
    // windows keep repainting (user input is not processed meanwhile).
    void ShowProgress(int phase, int percent, const QString* text);
    void SetHoldMs(int ms) { holdMs_ = ms; }

    // What the window shows, as last drawn.
    const QImage& Picture() const { return picture_; }

protected:
    void OnCancel() override {}
    void closeEvent(QCloseEvent* event) override;

private:
    class Canvas;

    const QImage* digits_;
    QImage picture_;
    Canvas* canvas_;
    int holdMs_ = kHoldMs;
};

}  // namespace rm525::gui
