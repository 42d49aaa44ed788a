// Draws the program's own pictures: the camera photograph behind the main
// window, the strip of figures that the progress bar combines into its
// percentage, and the application icon. Run at build time:
//     rm525-make-artwork OUTPUT_DIR
// Only QImage and QPainter on shapes are used (no fonts), so the pictures come
// out the same on every machine.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <array>
#include <cstdio>
#include <string_view>

namespace {

constexpr int kPictureWidth = 506;
constexpr int kPictureHeight = 358;
constexpr int kStripWidth = 96;
constexpr int kStripHeight = 16;
constexpr int kGlyphRows = 10;
constexpr int kFigureWidth = 8;
constexpr int kPercentColumn = 80;
constexpr int kPercentWidth = 12;
constexpr QRgb kGlyphColour = qRgb(255, 255, 0);

// The figures 0 to 9, eight columns by ten rows each ('#' is lit).
// clang-format off
constexpr std::array<std::array<std::string_view, kGlyphRows>, 10> kFigures = {{
    {  // 0
        ".#####..",
        "##...##.",
        "##...##.",
        "##..###.",
        "##.#.##.",
        "###..##.",
        "##...##.",
        "##...##.",
        "##...##.",
        ".#####..",
    },
    {  // 1
        "...##...",
        "..###...",
        ".####...",
        "...##...",
        "...##...",
        "...##...",
        "...##...",
        "...##...",
        "...##...",
        ".######.",
    },
    {  // 2
        ".#####..",
        "##...##.",
        ".....##.",
        ".....##.",
        "....##..",
        "...##...",
        "..##....",
        ".##.....",
        "##......",
        "#######.",
    },
    {  // 3
        ".#####..",
        "##...##.",
        ".....##.",
        ".....##.",
        "..####..",
        ".....##.",
        ".....##.",
        ".....##.",
        "##...##.",
        ".#####..",
    },
    {  // 4
        "....##..",
        "...###..",
        "..####..",
        ".##.##..",
        "##..##..",
        "##..##..",
        "#######.",
        "....##..",
        "....##..",
        "....##..",
    },
    {  // 5
        "#######.",
        "##......",
        "##......",
        "######..",
        ".....##.",
        ".....##.",
        ".....##.",
        ".....##.",
        "##...##.",
        ".#####..",
    },
    {  // 6
        "..####..",
        ".##.....",
        "##......",
        "##......",
        "######..",
        "##...##.",
        "##...##.",
        "##...##.",
        "##...##.",
        ".#####..",
    },
    {  // 7
        "#######.",
        ".....##.",
        ".....##.",
        "....##..",
        "...##...",
        "..##....",
        "..##....",
        "..##....",
        "..##....",
        "..##....",
    },
    {  // 8
        ".#####..",
        "##...##.",
        "##...##.",
        "##...##.",
        ".#####..",
        "##...##.",
        "##...##.",
        "##...##.",
        "##...##.",
        ".#####..",
    },
    {  // 9
        ".#####..",
        "##...##.",
        "##...##.",
        "##...##.",
        "##...##.",
        ".######.",
        ".....##.",
        ".....##.",
        "....##..",
        ".####...",
    },
}};

// The percent sign, twelve columns by ten rows.
constexpr std::array<std::string_view, kGlyphRows> kPercent = {
    ".###.....##.",
    "##.##...##..",
    "##.##..##...",
    ".###..##....",
    ".....##.....",
    "....##......",
    "...##..###..",
    "..##..##.##.",
    ".##...##.##.",
    "##.....###..",
};
// clang-format on

bool PutGlyph(QImage& strip, int left, int width,
              const std::array<std::string_view, kGlyphRows>& rows) {
    for (int y = 0; y < kGlyphRows; ++y) {
        if (static_cast<int>(rows[y].size()) != width) {
            return false;
        }
        for (int x = 0; x < width; ++x) {
            if (rows[y][x] == '#') {
                strip.setPixel(left + x, y, 1);
            }
        }
    }
    return true;
}

// The sixteen colours of the strip's palette: the classic sixteen, of which
// the strip uses black (0) and yellow (1, moved to the front for clarity).
QImage MakeDigitStrip() {
    QImage strip(kStripWidth, kStripHeight, QImage::Format_Indexed8);
    strip.setColorTable({qRgb(0, 0, 0), kGlyphColour, qRgb(128, 0, 0), qRgb(0, 128, 0),
                         qRgb(128, 128, 0), qRgb(0, 0, 128), qRgb(128, 0, 128), qRgb(0, 128, 128),
                         qRgb(192, 192, 192), qRgb(128, 128, 128), qRgb(255, 0, 0), qRgb(0, 255, 0),
                         qRgb(0, 0, 255), qRgb(255, 0, 255), qRgb(0, 255, 255),
                         qRgb(255, 255, 255)});
    strip.fill(0);
    for (int n = 0; n < 10; ++n) {
        if (!PutGlyph(strip, n * kFigureWidth, kFigureWidth, kFigures[n])) {
            return {};
        }
    }
    if (!PutGlyph(strip, kPercentColumn, kPercentWidth, kPercent)) {
        return {};
    }
    return strip;
}

void DrawLens(QPainter& p, QPointF centre, double radius) {
    QRadialGradient barrel(centre, radius);
    barrel.setColorAt(0.0, QColor(70, 70, 76));
    barrel.setColorAt(0.85, QColor(36, 36, 40));
    barrel.setColorAt(1.0, QColor(150, 150, 158));
    p.setPen(QPen(QColor(20, 20, 22), 2));
    p.setBrush(barrel);
    p.drawEllipse(centre, radius, radius);
    // Rings of the zoom barrel.
    p.setBrush(Qt::NoBrush);
    for (double f : {0.86, 0.74}) {
        p.setPen(QPen(QColor(110, 110, 118), 2));
        p.drawEllipse(centre, radius * f, radius * f);
    }
    // The glass, with a cool tint and a highlight.
    QRadialGradient glass(centre + QPointF(-radius * 0.15, -radius * 0.15), radius * 0.6);
    glass.setColorAt(0.0, QColor(90, 120, 190));
    glass.setColorAt(0.5, QColor(30, 45, 95));
    glass.setColorAt(1.0, QColor(8, 10, 25));
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawEllipse(centre, radius * 0.6, radius * 0.6);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(centre + QPointF(-radius * 0.22, -radius * 0.24), radius * 0.12, radius * 0.08);
    p.setBrush(QColor(180, 220, 255, 90));
    p.drawEllipse(centre + QPointF(radius * 0.2, radius * 0.22), radius * 0.06, radius * 0.05);
}

// A compact camera seen from the front, on a studio backdrop.
QImage MakeCameraPicture() {
    QImage img(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient backdrop(0, 0, 0, kPictureHeight);
    backdrop.setColorAt(0.0, QColor(46, 62, 92));
    backdrop.setColorAt(1.0, QColor(12, 16, 28));
    p.fillRect(img.rect(), backdrop);
    // Shadow on the table.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawEllipse(QRectF(70, 300, 366, 34));

    // Top plate with the shutter button and the mode dial.
    p.setBrush(QColor(60, 60, 66));
    p.drawRoundedRect(QRectF(330, 52, 62, 22), 6, 6);
    p.setBrush(QColor(190, 40, 36));
    p.drawRoundedRect(QRectF(340, 46, 42, 12), 5, 5);
    p.setBrush(QColor(80, 80, 88));
    p.drawRoundedRect(QRectF(120, 58, 54, 16), 4, 4);

    // Body: brushed silver.
    QRectF body(60, 66, 386, 240);
    QLinearGradient metal(0, body.top(), 0, body.bottom());
    metal.setColorAt(0.0, QColor(226, 228, 232));
    metal.setColorAt(0.45, QColor(176, 180, 188));
    metal.setColorAt(0.55, QColor(160, 164, 172));
    metal.setColorAt(1.0, QColor(112, 116, 124));
    p.setPen(QPen(QColor(70, 72, 78), 2));
    p.setBrush(metal);
    p.drawRoundedRect(body, 26, 26);
    // Grip on the left.
    QLinearGradient grip(60, 0, 118, 0);
    grip.setColorAt(0.0, QColor(40, 40, 44));
    grip.setColorAt(1.0, QColor(78, 78, 84));
    p.setPen(Qt::NoPen);
    p.setBrush(grip);
    QPainterPath gripPath;
    gripPath.addRoundedRect(QRectF(62, 68, 56, 236), 24, 24);
    p.drawPath(gripPath);
    // Fine grooves over the grip.
    p.setPen(QPen(QColor(30, 30, 34), 1));
    for (int y = 92; y < 284; y += 8) {
        p.drawLine(QPointF(72, y), QPointF(108, y));
    }

    // Flash window and viewfinder.
    QLinearGradient flash(0, 92, 0, 128);
    flash.setColorAt(0.0, QColor(250, 250, 240));
    flash.setColorAt(1.0, QColor(196, 196, 186));
    p.setPen(QPen(QColor(90, 90, 96), 2));
    p.setBrush(flash);
    p.drawRoundedRect(QRectF(330, 90, 88, 38), 5, 5);
    p.setPen(QPen(QColor(170, 170, 160), 1));
    for (int x = 338; x < 414; x += 6) {
        p.drawLine(QPointF(x, 94), QPointF(x, 124));
    }
    p.setPen(QPen(QColor(50, 50, 56), 2));
    p.setBrush(QColor(24, 30, 44));
    p.drawRoundedRect(QRectF(136, 92, 40, 28), 4, 4);
    // Self-timer lamp.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 120, 30));
    p.drawEllipse(QPointF(196, 104), 6, 6);

    DrawLens(p, QPointF(262, 200), 92);

    // A thin trim line under the lens and a badge plate (no lettering).
    p.setPen(QPen(QColor(120, 124, 132), 2));
    p.drawLine(QPointF(130, 286), QPointF(430, 286));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 44, 56));
    p.drawRoundedRect(QRectF(372, 252, 56, 20), 4, 4);
    p.setBrush(QColor(200, 170, 60));
    p.drawRect(QRectF(378, 260, 44, 4));
    p.end();

    return img.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
}

// The application icon: the camera's lens in a rounded silver body, with a
// green arrow pointing into it (new firmware going in).
QImage MakeIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    QLinearGradient metal(0, 56, 0, 224);
    metal.setColorAt(0.0, QColor(230, 232, 236));
    metal.setColorAt(1.0, QColor(130, 134, 142));
    p.setPen(QPen(QColor(50, 52, 58), 6));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(12, 64, 232, 164), 28, 28);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 40, 36));
    p.drawRoundedRect(QRectF(168, 48, 52, 20), 6, 6);
    DrawLens(p, QPointF(128, 148), 64);

    QPainterPath arrow;
    arrow.moveTo(104, 0);
    arrow.lineTo(152, 0);
    arrow.lineTo(152, 40);
    arrow.lineTo(184, 40);
    arrow.lineTo(128, 100);
    arrow.lineTo(72, 40);
    arrow.lineTo(104, 40);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(20, 80, 20), 5));
    p.setBrush(QColor(60, 190, 70));
    p.drawPath(arrow);
    p.end();
    return img;
}

bool Save(const QImage& img, const QDir& dir, const char* name) {
    if (img.isNull() || !img.save(dir.filePath(QString::fromLatin1(name)))) {
        std::fprintf(stderr, "make_artwork: cannot write %s\n", name);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "make_artwork: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool ok =
        Save(MakeCameraPicture(), dir, "camera.bmp") && Save(MakeDigitStrip(), dir, "digits.bmp") &&
        Save(MakeIcon(256), dir, "rm525fw-256.png") && Save(MakeIcon(48), dir, "rm525fw-48.png") &&
        Save(MakeIcon(32), dir, "rm525fw-32.png");
    return ok ? 0 : 1;
}
