#pragma once

#include <QBasicTimer>
#include <QWidget>

#include <functional>

class QImage;

namespace rm525::gui {

// The view below the status line: draws the camera picture, and 200 ms after
// its first paint starts the update procedure (timer 99) once.
class CRm525fwView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStartTimerId = 99;
    static constexpr int kStartDelayMs = 200;

    explicit CRm525fwView(const QImage* background, QWidget* parent = nullptr);

    // Called by the first paint before it draws (sets the first status line).
    void SetFirstDrawHandler(std::function<void()> handler) { onFirstDraw_ = std::move(handler); }
    // Called by timer 99: runs the update procedure and closes the program.
    void SetStartHandler(std::function<void()> handler) { onStart_ = std::move(handler); }

    // A fresh document: the next paint schedules the procedure again.
    void OnInitialUpdate();
    // Timer ids other than 99 get the default handling only.
    void OnTimer(int timerId);

    bool m_bFirstDraw = false;
    bool StartTimerRunning() const { return startTimer_.isActive(); }
    // True while the view paints (no other window may be painted meanwhile).
    bool Painting() const { return painting_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnDraw(QPainter& painter);

    const QImage* background_;
    QBasicTimer startTimer_;
    bool painting_ = false;
    std::function<void()> onFirstDraw_;
    std::function<void()> onStart_;
};

}  // namespace rm525::gui
