#include "app/qt/rm525fw_view.h"

#include <QPainter>
#include <QTimerEvent>

#include "app/qt/background_painting.h"

namespace rm525::gui {

CRm525fwView::CRm525fwView(const QImage* background, QWidget* parent)
    : QWidget(parent), background_(background) {
    setObjectName(QStringLiteral("view"));
    setFocusPolicy(Qt::StrongFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
}

void CRm525fwView::OnInitialUpdate() {
    update();
    m_bFirstDraw = true;
}

void CRm525fwView::paintEvent(QPaintEvent*) {
    painting_ = true;
    QPainter painter(this);
    OnDraw(painter);
    painting_ = false;
}

void CRm525fwView::OnDraw(QPainter& painter) {
    if (m_bFirstDraw && onFirstDraw_) {
        onFirstDraw_();
    }
    if (background_ != nullptr) {
        PaintBackground(painter, rect(), *background_);
    }
    if (m_bFirstDraw) {
        startTimer_.start(kStartDelayMs, this);
        m_bFirstDraw = false;
    }
}

void CRm525fwView::timerEvent(QTimerEvent* event) {
    OnTimer(event->timerId() == startTimer_.timerId() ? kStartTimerId : event->timerId());
}

void CRm525fwView::OnTimer(int timerId) {
    if (timerId != kStartTimerId) {
        return;
    }
    startTimer_.stop();
    if (onStart_) {
        onStart_();
    }
}

}  // namespace rm525::gui
