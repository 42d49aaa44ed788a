#include "app/qt/progress_dialog.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include "app/qt/dialog_look.h"
#include "app/qt/progress_painting.h"

namespace rm525::gui {

namespace {
const DialogTemplate kProgressTemplate{
    8, 213, 42, {{ControlKind::CenteredText, CProgressDlg::kTextId, "", 18, 6, 178, 10}}};
}  // namespace

// Shows the picture that ShowProgress drew; it never draws the bar itself.
class CProgressDlg::Canvas : public QWidget {
public:
    Canvas(const QImage& picture, QWidget* parent) : QWidget(parent), picture_(picture) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, picture_);
    }

private:
    const QImage& picture_;
};

CProgressDlg::CProgressDlg(const QImage* digits, Placer placer, QWidget* parent)
    : TemplateDialog(kProgressTemplate, std::move(placer), parent), digits_(digits) {
    setObjectName(QStringLiteral("CProgressDlg"));
    picture_ = QImage(size(), QImage::Format_RGB32);
    picture_.fill(QColor(kDialogGrey, kDialogGrey, kDialogGrey));
    canvas_ = new Canvas(picture_, this);
    canvas_->setGeometry(rect());
    canvas_->lower();
}

void CProgressDlg::ShowProgress(int phase, int percent, const QString* text) {
    if (text != nullptr) {
        Text(kTextId)->setText(*text);
    }
    PaintProgress(picture_, picture_.height(), percent, digits_);
    repaint();
    if (phase == 2 || phase == 3) {
        QEventLoop hold;
        QTimer::singleShot(holdMs_, &hold, &QEventLoop::quit);
        hold.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}

}  // namespace rm525::gui
