// Draws the program's own pictures: the camera photograph behind the main
// window, the strip of figures that the progress bar combines into its
// percentage, and the application icon (as pictures and as a Windows
// icon file). Run at build time:
//     rm525-make-artwork OUTPUT_DIR
// Only QImage and QPainter on shapes are used (no fonts), so the pictures come
// out the same on every machine.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

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
constexpr int kGlyphIndex = 11;  // yellow in the sixteen colours below

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
                strip.setPixel(left + x, y, kGlyphIndex);
            }
        }
    }
    return true;
}

// The standard sixteen colours, in the system palette's order; the strip
// uses black (0) and yellow (11).
constexpr std::array<QRgb, 16> kSixteenColours = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   kGlyphColour,
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};

QImage MakeDigitStrip() {
    QImage strip(kStripWidth, kStripHeight, QImage::Format_Indexed8);
    strip.setColorTable(QList<QRgb>(kSixteenColours.begin(), kSixteenColours.end()));
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

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A BITMAPINFOHEADER for a bottom-up picture; `rows` is the height given,
// which an icon doubles for its mask.
void PutInfoHeader(std::vector<uint8_t>& out, int width, int rows, int bits, uint32_t imageBytes,
                   uint32_t colours) {
    PutLE(out, 40, 4);
    PutLE(out, static_cast<uint32_t>(width), 4);
    PutLE(out, static_cast<uint32_t>(rows), 4);
    PutLE(out, 1, 2);  // planes
    PutLE(out, static_cast<uint32_t>(bits), 2);
    PutLE(out, 0, 4);  // BI_RGB, uncompressed
    PutLE(out, imageBytes, 4);
    PutLE(out, 2835, 4);  // 72 dots per inch
    PutLE(out, 2835, 4);
    PutLE(out, colours, 4);
    PutLE(out, 0, 4);
}

// Qt writes indexed pictures with eight bits a pixel only: the strip is
// written here as the four-bit, sixteen-colour bitmap it is.
std::vector<uint8_t> FourBitBmp(const QImage& img) {
    const int rowBytes = ((img.width() * 4 + 31) / 32) * 4;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes * img.height());
    const uint32_t offset = 14 + 40 + 16 * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLE(out, offset + imageBytes, 4);
    PutLE(out, 0, 4);
    PutLE(out, offset, 4);
    PutInfoHeader(out, img.width(), img.height(), 4, imageBytes, 16);
    for (int i = 0; i < 16; ++i) {
        const QRgb c = i < img.colorCount() ? img.color(i) : qRgb(0, 0, 0);
        out.push_back(static_cast<uint8_t>(qBlue(c)));
        out.push_back(static_cast<uint8_t>(qGreen(c)));
        out.push_back(static_cast<uint8_t>(qRed(c)));
        out.push_back(0);
    }
    for (int y = img.height() - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
        for (int x = 0; x < img.width(); ++x) {
            const auto index = static_cast<uint8_t>(img.pixelIndex(x, y) & 0x0f);
            row[static_cast<size_t>(x / 2)] |=
                (x % 2 == 0) ? static_cast<uint8_t>(index << 4) : index;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// A Windows icon file with 32-bit pictures of each size (colour with alpha,
// then the all-clear mask that such pictures still carry).
std::vector<uint8_t> IconFile(const std::vector<int>& sizes) {
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) {
        const QImage img = MakeIcon(size).convertToFormat(QImage::Format_ARGB32);
        const int maskRow = ((size + 31) / 32) * 4;
        std::vector<uint8_t> dib;
        PutInfoHeader(dib, size, 2 * size, 32,
                      static_cast<uint32_t>(size * size * 4 + maskRow * size), 0);
        for (int y = size - 1; y >= 0; --y) {
            for (int x = 0; x < size; ++x) {
                PutLE(dib, img.pixel(x, y), 4);  // BGRA in memory order
            }
        }
        dib.insert(dib.end(), static_cast<size_t>(maskRow * size), 0);
        images.push_back(std::move(dib));
    }
    std::vector<uint8_t> out;
    PutLE(out, 0, 2);
    PutLE(out, 1, 2);  // an icon
    PutLE(out, static_cast<uint32_t>(sizes.size()), 2);
    uint32_t offset = static_cast<uint32_t>(6 + 16 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        out.push_back(static_cast<uint8_t>(sizes[i] % 256));
        out.push_back(static_cast<uint8_t>(sizes[i] % 256));
        out.push_back(0);  // no palette
        out.push_back(0);
        PutLE(out, 1, 2);   // planes
        PutLE(out, 32, 2);  // bits
        PutLE(out, static_cast<uint32_t>(images[i].size()), 4);
        PutLE(out, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images) {
        out.insert(out.end(), image.begin(), image.end());
    }
    return out;
}

bool SaveBytes(const std::vector<uint8_t>& bytes, const QDir& dir, const char* name) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    if (bytes.empty() || !file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "make_artwork: cannot write %s\n", name);
        return false;
    }
    return true;
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
    const bool ok = Save(MakeCameraPicture(), dir, "camera.bmp") &&
                    SaveBytes(FourBitBmp(MakeDigitStrip()), dir, "digits.bmp") &&
                    SaveBytes(IconFile({16, 32, 48}), dir, "rm525fw.ico") &&
                    Save(MakeIcon(256), dir, "rm525fw-256.png") &&
                    Save(MakeIcon(48), dir, "rm525fw-48.png") &&
                    Save(MakeIcon(32), dir, "rm525fw-32.png");
    return ok ? 0 : 1;
}
