#pragma once

#include <QString>
#include <QWidget>

namespace rm525::gui {

// The one-line status bar along the top of the main window (template 102,
// 300 x 14 dialog units). It paints its text at (2, 5), nothing else.
class CStatusLineBar : public QWidget {
    Q_OBJECT
public:
    explicit CStatusLineBar(QWidget* parent = nullptr);

    // Sets the text and repaints the bar at once, or with the next repaint
    // when another window is being painted just now.
    void SetText(const QString& text, bool now = true);
    const QString& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace rm525::gui
