#include "app/qt/status_line_bar.h"

#include <QPainter>

#include "app/display/paint_geometry.h"
#include "app/qt/dialog_look.h"

namespace rm525::gui {

namespace {
constexpr int kTemplateHeight = 14;  // dialog units, at the bar's 8-point font
constexpr int kTemplatePoints = 8;
constexpr QPoint kTextOrigin(display::kStatusTextX, display::kStatusTextY);
}  // namespace

CStatusLineBar::CStatusLineBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("statusLine"));
    const QFont font = DialogFont(kTemplatePoints);
    setFixedHeight(DialogUnits(font).ToY(kTemplateHeight));
    ApplyDialogLook(this, font);
}

void CStatusLineBar::SetText(const QString& text, bool now) {
    text_ = text;
    if (now) {
        repaint();
    } else {
        update();
    }
}

void CStatusLineBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The border along the bottom edge of the bar.
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
    if (text_.isEmpty()) {
        return;
    }
    p.setPen(Qt::black);
    p.drawText(kTextOrigin + QPoint(0, p.fontMetrics().ascent()), text_);
}

}  // namespace rm525::gui
