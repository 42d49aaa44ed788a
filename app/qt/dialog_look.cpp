#include "app/qt/dialog_look.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPalette>
#include <QWidget>

namespace rm525::gui {

QFont DialogFont(int pointSize) {
    static const QString family = QFontDatabase::families().contains(QStringLiteral("Arial"))
                                      ? QStringLiteral("Arial")
                                      : QStringLiteral("Liberation Sans");
    QFont font(family, pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    // The average width of the 52 Latin letters, rounded to the nearest
    // pixel, as the window system measures its dialog base unit.
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    avgCharWidth_ = (letters / 26 + 1) / 2;
    charHeight_ = fm.height();
}

QString ShownText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void ApplyDialogLook(QWidget* widget, const QFont& font) {
    QPalette pal = widget->palette();
    const QColor grey(kDialogGrey, kDialogGrey, kDialogGrey);
    for (auto role : {QPalette::Window, QPalette::Button}) {
        pal.setColor(role, grey);
    }
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        pal.setColor(role, Qt::black);
    }
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
    widget->setFont(font);
}

}  // namespace rm525::gui
