#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <string>

class QWidget;

namespace rm525::gui {

// The caption of every window of the program.
inline const QString kCaption = QStringLiteral("Quelm RM520/RM525 Zoom Camera Update Software");

// The light grey of every dialog and message box.
inline constexpr int kDialogGrey = 192;

// Arial where the system has it, else its metric twin Liberation Sans.
QFont DialogFont(int pointSize);

// Dialog units as the window system converts them: horizontally a quarter of
// the font's average character width, vertically an eighth of its height,
// each rounded to the nearest pixel as MapDialogRect does (MulDiv).
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int ToX(int du) const { return MulDiv(du, avgCharWidth_, 4); }
    int ToY(int du) const { return MulDiv(du, charHeight_, 8); }
    QRect ToRect(int x, int y, int w, int h) const { return {ToX(x), ToY(y), ToX(w), ToY(h)}; }

private:
    // a * b / c rounded to the nearest whole number, halves away from zero.
    static int MulDiv(int a, int b, int c) {
        const long long p = static_cast<long long>(a) * b;
        return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
    }
    int avgCharWidth_;
    int charHeight_;
};

// A text of the update procedure as the windows show it. Its bytes from the
// camera (the ID) and from the firmware file (the version characters) are
// shown as stored, one character for each byte (Latin-1): no byte is lost or
// replaced, whatever it holds.
QString ShownText(const std::string& text);

// Light grey background, black text, the given font.
void ApplyDialogLook(QWidget* widget, const QFont& font);

}  // namespace rm525::gui
