// What the program paints itself, checked by pixels: the nest of background
// copies, the progress bar with its exclusive-or figures, the status line.

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QtTest>

#include "app/qt/artwork.h"
#include "app/qt/background_painting.h"
#include "app/qt/gui_front_end.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/progress_painting.h"
#include "app/qt/rm525fw_view.h"
#include "app/qt/status_line_bar.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "workflow/status_text.h"
#include "workflow/update_workflow.h"

using namespace rm525;
using namespace rm525::gui;

namespace {

// Colours as red/green/blue only.
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kBlue = 0x0000FF;
constexpr QRgb kBlack = 0x000000;
constexpr QRgb kGrey = 0xC0C0C0;
constexpr QRgb kYellow = 0xFFFF00;
constexpr QRgb kRed = 0xFF0000;
constexpr int kH = 70;  // client height of the test picture

QRgb At(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}
bool Opaque(const QImage& img) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(img.pixel(x, y)) != 255) {
                return false;
            }
        }
    }
    return true;
}

// The progress picture at `percent`, on grey, with the project's strip.
QImage Progress(int percent, const QImage* digits) {
    QImage img(330, kH, QImage::Format_RGB32);
    img.fill(QColor(192, 192, 192));
    PaintProgress(img, kH, percent, digits);
    return img;
}

// The picture of one place of the figures (8 x 10, or 12 x 10 for the
// percent sign) read back as "was the strip lit here".
QImage Place(const QImage& bar, int index, int width) {
    return bar.copy(140 + 8 * index, kH - 27, width, 10);
}

bool GlyphLit(const QImage& strip, int column, int x, int y) {
    return At(strip, column + x, y) == kYellow;
}

class NoPorts : public SerialPortFactory {
public:
    std::unique_ptr<SerialPort> Open(int, OpenFailure*) override { return nullptr; }
};

class StillClock : public Clock {
public:
    uint32_t NowMs() override { return 0; }
    void SleepUntil(uint32_t) override {}
};

}  // namespace

class PaintingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void artworkHasTheSizesAndGlyphsTheDisplayNeeds();
    void backgroundIsANestOfShrinkingCopies();
    void backgroundNeedsMoreThanThePicturesSize();
    void progressAtZeroIsWhiteWithTheFigureZero();
    void progressAtHundredIsBlueWithWhiteFigures();
    void progressEdgeInsideTheFiguresSplitsTheirColours_data();
    void progressEdgeInsideTheFiguresSplitsTheirColours();
    void progressWithoutStripDrawsOnlyTheBar();
    void progressWindowShowsTextsAndHoldsTheFinalPicture();
    void statusLineShowsEachKind_data();
    void statusLineShowsEachKind();

private:
    Artwork art_;
};

void PaintingTest::initTestCase() {
    art_ = Artwork::Load();
}

void PaintingTest::artworkHasTheSizesAndGlyphsTheDisplayNeeds() {
    QCOMPARE(art_.background.size(), QSize(506, 358));
    QCOMPARE(art_.digits.size(), QSize(96, 16));
    QVERIFY(!art_.icon.isNull());
    // Only yellow on black, and nothing outside rows 0..9 and columns 0..91.
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 96; ++x) {
            const QRgb c = At(art_.digits, x, y);
            QVERIFY(c == kBlack || c == kYellow);
            if (y >= 10 || x >= 92) {
                QCOMPARE(c, kBlack);
            }
        }
    }
    // Every figure and the percent sign has something lit.
    for (int n = 0; n < 11; ++n) {
        const int width = n < 10 ? 8 : 12;
        int lit = 0;
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < width; ++x) {
                lit += GlyphLit(art_.digits, n * 8, x, y);
            }
        }
        QVERIFY2(lit > 10, qPrintable(QString("glyph %1").arg(n)));
    }
}

void PaintingTest::backgroundIsANestOfShrinkingCopies() {
    // A picture with a red border on white, so each copy's edge shows.
    QImage picture(506, 358, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(0, 0, 506, 1, Qt::red);
    QImage target(540, 400, QImage::Format_RGB32);
    target.fill(Qt::black);
    {
        QPainter p(&target);
        PaintBackground(p, target.rect(), picture);
    }
    // Copies at top rows 0, 5, 10, 15 (540 -> 526 -> 512 -> 498 wide: three copies).
    QCOMPARE(At(target, 270, 0), kRed);
    QCOMPARE(At(target, 270, 5), kRed);
    QCOMPARE(At(target, 270, 10), kRed);
    QCOMPARE(At(target, 270, 15), kWhite);
    QCOMPARE(At(target, 270, 3), kWhite);

    // 507 x 359: one copy, stretched by a pixel in each direction.
    QImage small(507, 359, QImage::Format_RGB32);
    small.fill(Qt::black);
    {
        QPainter p(&small);
        PaintBackground(p, small.rect(), art_.background);
    }
    int differing = 0;
    for (int y = 0; y < 359; y += 7) {
        differing += At(small, 506, y) == kBlack;
    }
    QCOMPARE(differing < 10, true);
    QCOMPARE(At(small, 0, 0), At(art_.background, 0, 0));
    QCOMPARE(At(small, 506, 358), At(art_.background, 505, 357));
}

void PaintingTest::backgroundNeedsMoreThanThePicturesSize() {
    for (const QSize size : {QSize(506, 1000), QSize(1000, 358)}) {
        QImage target(size, QImage::Format_RGB32);
        target.fill(Qt::black);
        {
            QPainter p(&target);
            PaintBackground(p, target.rect(), art_.background);
        }
        QImage black(size, QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(target, black);
    }
}

void PaintingTest::progressAtZeroIsWhiteWithTheFigureZero() {
    const QImage bar = Progress(0, &art_.digits);
    // Outline from (9, H-31) to (311, H-11), exclusive.
    QCOMPARE(At(bar, 9, kH - 31), kBlack);
    QCOMPARE(At(bar, 310, kH - 12), kBlack);
    QCOMPARE(At(bar, 311, kH - 20), kGrey);
    QCOMPARE(At(bar, 100, kH - 11), kGrey);
    QCOMPARE(At(bar, 8, kH - 20), kGrey);
    QCOMPARE(At(bar, 10, kH - 30), kWhite);
    QCOMPARE(At(bar, 309, kH - 13), kWhite);
    // "  0:" - two blank places, the zero, the percent sign, blue on white.
    for (int place = 0; place < 2; ++place) {
        const QImage p = Place(bar, place, 8);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 8; ++x) {
                QCOMPARE(At(p, x, y), kWhite);
            }
        }
    }
    const QImage zero = Place(bar, 2, 8);
    const QImage percent = Place(bar, 3, 12);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 8; ++x) {
            QCOMPARE(At(zero, x, y), GlyphLit(art_.digits, 0, x, y) ? kBlue : kWhite);
        }
        for (int x = 0; x < 12; ++x) {
            QCOMPARE(At(percent, x, y), GlyphLit(art_.digits, 80, x, y) ? kBlue : kWhite);
        }
    }
}

void PaintingTest::progressAtHundredIsBlueWithWhiteFigures() {
    const QImage bar = Progress(100, &art_.digits);
    QVERIFY(Opaque(bar));  // the exclusive-or leaves the pixels opaque
    QCOMPARE(At(bar, 10, kH - 30), kBlue);
    QCOMPARE(At(bar, 309, kH - 13), kBlue);
    QCOMPARE(At(bar, 310, kH - 20), kBlack);
    const int figures[3] = {1, 0, 0};
    for (int place = 0; place < 3; ++place) {
        const QImage p = Place(bar, place, 8);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 8; ++x) {
                QCOMPARE(At(p, x, y),
                         GlyphLit(art_.digits, figures[place] * 8, x, y) ? kWhite : kBlue);
            }
        }
    }
}

void PaintingTest::progressEdgeInsideTheFiguresSplitsTheirColours_data() {
    QTest::addColumn<int>("percent");
    for (int p : {47, 50, 52, 55}) {
        QTest::newRow(QByteArray::number(p).constData()) << p;
    }
}

void PaintingTest::progressEdgeInsideTheFiguresSplitsTheirColours() {
    QFETCH(int, percent);
    const QImage bar = Progress(percent, &art_.digits);
    const int edge = 10 + 3 * percent;  // first white column
    QVERIFY(edge > 140 && edge < 176);
    const QByteArray text = QByteArray::number(percent) + ':';
    int litLeft = 0;
    int litRight = 0;
    for (int place = 1; place < 4; ++place) {
        const int column = place == 3 ? 80 : (text[place - 1] - '0') * 8;
        const int width = place == 3 ? 12 : 8;
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < width; ++x) {
                const int bx = 140 + 8 * place + x;
                const bool lit = GlyphLit(art_.digits, column, x, y);
                const QRgb ground = bx < edge ? kBlue : kWhite;
                const QRgb figure = bx < edge ? kWhite : kBlue;
                QCOMPARE(At(bar, bx, kH - 27 + y), lit ? figure : ground);
                if (lit) {
                    (bx < edge ? litLeft : litRight) += 1;
                }
            }
        }
    }
    // The edge really runs through the figures (at 55 % it reaches the percent
    // sign's last column, which is blank).
    QVERIFY(litLeft > 0);
    QVERIFY(litRight > 0 || percent == 55);
}

void PaintingTest::progressWithoutStripDrawsOnlyTheBar() {
    const QImage bar = Progress(0, nullptr);
    for (int x = 10; x < 310; ++x) {
        QCOMPARE(At(bar, x, kH - 22), kWhite);
    }
}

void PaintingTest::progressWindowShowsTextsAndHoldsTheFinalPicture() {
    CProgressDlg dlg(&art_.digits, {}, nullptr);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.windowTitle(), QString("Quelm RM520/RM525 Zoom Camera Update Software"));
    QVERIFY(dlg.findChildren<QAbstractButton*>().isEmpty());
    const QString running("Downloading firmware ...");
    dlg.ShowProgress(0, 0, &running);
    QCOMPARE(dlg.Text(CProgressDlg::kTextId)->text(), running);
    const int h = dlg.Picture().height();
    QCOMPARE(At(dlg.Picture(), 10, h - 30), kWhite);
    // The window shows what was painted.
    QCOMPARE(At(dlg.grab().toImage(), 10, h - 30), kWhite);
    dlg.ShowProgress(1, 40, nullptr);
    QCOMPARE(dlg.Text(CProgressDlg::kTextId)->text(), running);
    QCOMPARE(At(dlg.Picture(), 10, h - 30), kBlue);

    // The final picture stays for the hold while the window keeps painting.
    dlg.SetHoldMs(300);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    const QString done("Downloading firmware completed.");
    dlg.ShowProgress(2, 100, &done);
    QVERIFY(clock.elapsed() >= 290);
    QVERIFY(ticks >= 5);
    QCOMPARE(dlg.Text(CProgressDlg::kTextId)->text(), done);
    QCOMPARE(At(dlg.Picture(), 309, h - 13), kBlue);
    // The user cannot close it.
    dlg.close();
    QVERIFY(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
}

void PaintingTest::statusLineShowsEachKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QString>("text");
    const QByteArray id32("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    QTest::newRow("port prompt") << 0 << false << QByteArray() << "Select the communication port. ";
    QTest::newRow("searching") << 1 << false << QByteArray()
                               << "Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...";
    QTest::newRow("camera, empty ID")
        << 2 << true << QByteArray() << "Camera ID: ---    Firmware Version: 1.05";
    QTest::newRow("camera, normal ID")
        << 2 << true << QByteArray("SHOP 7") << "Camera ID: SHOP 7     Firmware Version: 1.05";
    QTest::newRow("camera, 32-character ID")
        << 2 << true << id32 << "Camera ID: " + QString(id32) + "     Firmware Version: 1.05";
    QTest::newRow("camera not yet known") << 2 << false << QByteArray("SHOP 7") << "";
    QTest::newRow("blank") << 3 << true << QByteArray("SHOP 7") << "";
}

void PaintingTest::statusLineShowsEachKind() {
    QFETCH(int, kind);
    QFETCH(bool, known);
    QFETCH(QByteArray, id);
    QFETCH(QString, text);
    QWidget window;
    auto* bar = new CStatusLineBar(&window);
    auto* view = new CRm525fwView(nullptr, &window);
    window.resize(640, 100);
    bar->setGeometry(0, 0, 640, bar->height());
    view->setGeometry(0, bar->height(), 640, 60);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    GuiFrontEnd frontEnd(&window, bar, view, nullptr);
    NoPorts ports;
    StillClock clock;
    UpdateWorkflow workflow(frontEnd, ports, clock);
    workflow.m_bCameraKnown = known ? 1 : 0;
    qstrncpy(workflow.m_szCameraId, id.constData(), sizeof workflow.m_szCameraId);
    workflow.m_camVersion = {'0', '1', '0', '5'};
    workflow.SetStatus(static_cast<int16_t>(kind));
    QCOMPARE(bar->text(), text);

    // The text is painted from (2, 5); an empty line paints nothing.
    const QImage shot = bar->grab().toImage();
    QRect ink;
    for (int y = 0; y < shot.height() - 1; ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (qGray(shot.pixel(x, y)) < 100) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    if (text.isEmpty()) {
        QVERIFY(ink.isNull());
    } else {
        QVERIFY(ink.left() >= 2 && ink.left() <= 4);
        QVERIFY(ink.top() >= 5 && ink.top() <= 9);
        QVERIFY(ink.width() >= bar->fontMetrics().horizontalAdvance(text.trimmed()) - 4);
    }
}

QTEST_MAIN(PaintingTest)
#include "painting_test.moc"
