// The workflow's dialogs: texts, buttons and their ids, the default button,
// what Enter and Escape give, the prompts' selectors, the port choice and
// where the dialogs open.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <map>

#include "app/qt/center_dialog.h"
#include "app/qt/dialog_look.h"
#include "app/qt/gui_front_end.h"
#include "app/qt/port_dialog.h"
#include "app/qt/prompt_dialogs.h"
#include "app/qt/rm525fw_view.h"
#include "app/qt/status_line_bar.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "workflow/prompt_text.h"
#include "workflow/update_workflow.h"

using namespace rm525;
using namespace rm525::gui;

namespace {

// Shows `dlg` modelessly, lets `act` press something, and returns the id
// the dialog ended with: 0 while it is still open (a check inside `act`
// failed before its button was pressed), -1 when the window never showed.
// Every caller compares the result, so neither case passes unseen.
int RunAndAct(TemplateDialog& dlg, const std::function<void()>& act) {
    dlg.setResult(0);
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg)) {
        return -1;
    }
    QApplication::setActiveWindow(&dlg);
    act();
    return dlg.isVisible() ? 0 : dlg.result();
}

QStringList ButtonLabelsInOrder(const QWidget& dlg) {
    QStringList labels;
    for (const QPushButton* b : dlg.findChildren<QPushButton*>()) {
        labels << b->objectName() + QLatin1Char('=') + b->text();
    }
    return labels;
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

// A front end that is never asked anything: the workflow object is only used
// for its placement rule here.
class NoFrontEnd : public FrontEnd {
public:
    bool ChoosePort(UpdateWorkflow&, int16_t*) override { return false; }
    int16_t ChooseFile(const std::string&, const std::string&, std::string*) override { return 0; }
    PromptResult RunPrompt(PromptKind, int16_t, const std::string&) override {
        return PromptResult::Cancel;
    }
    void ShowErrorMessage(const std::string&) override {}
    void StatusChanged(const std::string&) override {}
    bool ShowProgress(int, int, const char*) override { return true; }
    void CloseProgress() override {}
    void SetBusyCursor(bool) override {}
    void Repaint() override {}
};

// What a prompt window showed while it ran.
struct SeenPrompt {
    QString objectName, title, text;
    QStringList buttons;
    bool defaultIsOk = false;
    bool focusOnDefault = false;
    bool closeBox = true;
};

// Runs a prompt the way the program does: the update procedure's text for
// `kind` and `selector`, through GuiFrontEnd::RunPrompt, modal. Notes what the
// window showed and presses button `press`; a window that lacks it is closed,
// so a wrong prompt ends the run instead of holding it open.
PromptResult RunAsTheProgramDoes(PromptKind kind, int16_t selector, const VersionChars& version,
                                 int press, SeenPrompt* seen) {
    QWidget window;
    auto* bar = new CStatusLineBar(&window);
    auto* view = new CRm525fwView(nullptr, &window);
    window.resize(400, 200);
    GuiFrontEnd frontEnd(&window, bar, view, nullptr);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<PromptDlg*>(QApplication::activeModalWidget());
        if (dlg == nullptr || !dlg->isVisible())
            return;
        poll.stop();
        seen->objectName = dlg->objectName();
        seen->title = dlg->windowTitle();
        seen->text = dlg->Text(PromptDlg::kTextId)->text();
        seen->buttons = ButtonLabelsInOrder(*dlg);
        auto* def = qobject_cast<QPushButton*>(dlg->Button(kIdOk));
        seen->defaultIsOk = def != nullptr && def->isDefault();
        seen->focusOnDefault = def != nullptr && dlg->focusWidget() == def;
        seen->closeBox = (dlg->windowFlags() & Qt::WindowCloseButtonHint) ||
                         !(dlg->windowFlags() & Qt::CustomizeWindowHint);
        if (QAbstractButton* b = dlg->Button(press))
            b->click();
        else
            dlg->close();
    });
    poll.start(10);
    return frontEnd.RunPrompt(kind, selector, PromptText(kind, selector, version));
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void promptsShowTheirMessageAndButtons_data();
    void promptsShowTheirMessageAndButtons();
    void enterPressesTheDefaultButtonAndEscapeCancels_data();
    void enterPressesTheDefaultButtonAndEscapeCancels();
    void continuePromptPicksItsMessageAfreshOnEveryRun();
    void successPromptNamesTheFileVersion();
    void promptsLookGreyWithBlackText();
    void portDialogOffersAutoAndNinePorts();
    void portDialogOkWithoutChoiceGivesAuto();
    void portDialogGivesTheChosenPort();
    void portDialogQuitAndEscapeLeaveTheStatusAlone();
    void dialogsAreSizedInDialogUnits();
    void dialogUnitsAreTheWindowsOnes();
    void dialogsOpenCentredOnTheViewSize();
};

void DialogsTest::promptsShowTheirMessageAndButtons_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("selector");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");
    const QStringList continueQuit{"button1=Continue", "button2=Quit"};
    QTest::newRow("wrong file") << int(PromptKind::Continue) << 0
                                << "\nSelected file is wrong.\nTo select correct file, click "
                                   "Continue button."
                                << continueQuit;
    QTest::newRow("same version") << int(PromptKind::Continue) << 1
                                  << "\nSelected firmware matches camera version." << continueQuit;
    QTest::newRow("cancelled choice")
        << int(PromptKind::Reselect) << 0 << "File selection was canceled !" << continueQuit;
    QTest::newRow("update failed")
        << int(PromptKind::Failure) << 0
        << "Camera update failed. Quit and follow the\nRETRY PROCEDURE in the ReadMe file. "
        << QStringList{"button1=Quit"};
    QTest::newRow("memory error") << int(PromptKind::Failure) << 1
                                  << "Camera memory error detected -\nfirmware upgrade can not "
                                     "continue.  \nPlease contact Quelm technical support."
                                  << QStringList{"button1=Quit"};
    QTest::newRow("no camera") << int(PromptKind::NoCamera) << 0
                               << "Camera can not be found.\nPlease exit, and turn off the "
                                  "camera.\nThen turn it back on, and verify that it is properly "
                                  "connected."
                               << QStringList{"button1=Exit"};
}

// A prompt as the front end builds it, holding the procedure's text.
static std::unique_ptr<PromptDlg> MakePromptFor(int kind, int selector) {
    const auto k = static_cast<PromptKind>(kind);
    auto dlg = MakePrompt(k);
    dlg->SetText(QString::fromStdString(
        PromptText(k, static_cast<int16_t>(selector), VersionChars{'0', '1', '0', '6'})));
    return dlg;
}

void DialogsTest::promptsShowTheirMessageAndButtons() {
    QFETCH(int, kind);
    QFETCH(int, selector);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    SeenPrompt seen;
    const PromptResult result = RunAsTheProgramDoes(
        static_cast<PromptKind>(kind), static_cast<int16_t>(selector), {}, kIdOk, &seen);
    QCOMPARE(result, PromptResult::Ok);
    QCOMPARE(seen.title, QString("Quelm RM520/RM525 Zoom Camera Update Software"));
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.buttons, buttons);
    QVERIFY(seen.defaultIsOk);
    QVERIFY(seen.focusOnDefault);
    // No close box: the user leaves only by the buttons.
    QVERIFY(!seen.closeBox);
}

void DialogsTest::enterPressesTheDefaultButtonAndEscapeCancels_data() {
    QTest::addColumn<int>("kind");
    for (int k = 0; k <= int(PromptKind::NoCamera); ++k) {
        QTest::newRow(QByteArray::number(k).constData()) << k;
    }
}

void DialogsTest::enterPressesTheDefaultButtonAndEscapeCancels() {
    QFETCH(int, kind);
    auto dlg = MakePromptFor(kind, 0);
    QCOMPARE(RunAndAct(*dlg, [&] { QTest::keyClick(dlg.get(), Qt::Key_Return); }), kIdOk);
    // Escape gives Cancel; the one-button prompts close like their button.
    QCOMPARE(RunAndAct(*dlg, [&] { QTest::keyClick(dlg.get(), Qt::Key_Escape); }), kIdCancel);
    if (auto* quit = dlg->Button(kIdCancel)) {
        QCOMPARE(RunAndAct(*dlg, [&] { quit->click(); }), kIdCancel);
    }
}

void DialogsTest::continuePromptPicksItsMessageAfreshOnEveryRun() {
    // One prompt object run twice, as the procedure reuses its Continue
    // prompt: each run shows the text it was given last.
    CContinueDlg dlg;
    dlg.SetText(QString::fromStdString(PromptText(PromptKind::Continue, 0, {})));
    QCOMPARE(
        RunAndAct(
            dlg,
            [&] {
                QVERIFY(
                    dlg.Text(PromptDlg::kTextId)->text().startsWith("\nSelected file is wrong."));
                dlg.Button(kIdOk)->click();
            }),
        kIdOk);
    dlg.SetText(QString::fromStdString(PromptText(PromptKind::Continue, 1, {})));
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           QCOMPARE(dlg.Text(PromptDlg::kTextId)->text(),
                                    QString("\nSelected firmware matches camera version."));
                           dlg.Button(kIdCancel)->click();
                       }),
             kIdCancel);
    // Through the front end, Quit is Cancel.
    SeenPrompt seen;
    QCOMPARE(RunAsTheProgramDoes(PromptKind::Continue, 1, {}, kIdCancel, &seen),
             PromptResult::Cancel);
    QCOMPARE(seen.objectName, QString("CContinueDlg"));
}

void DialogsTest::successPromptNamesTheFileVersion() {
    SeenPrompt seen;
    QCOMPARE(
        RunAsTheProgramDoes(PromptKind::Success, 0, VersionChars{'9', '1', '0', 'A'}, kIdOk, &seen),
        PromptResult::Ok);
    QCOMPARE(seen.objectName, QString("CSuccessDlg"));
    QCOMPARE(seen.text, QString("Firmware 1.0A was successfully installed in your Quelm Vivid "
                                "Imagework RM520/RM525 Zoom Camera!"));
    QCOMPARE(seen.buttons, QStringList{"button1=OK"});
}

void DialogsTest::promptsLookGreyWithBlackText() {
    CReselectDlg dlg;
    QCOMPARE(RunAndAct(
                 dlg,
                 [&] {
                     const QImage shot = dlg.grab().toImage();
                     QCOMPARE(QColor(shot.pixel(2, 2)), QColor(192, 192, 192));
                     QCOMPARE(dlg.Text(PromptDlg::kTextId)->palette().color(QPalette::WindowText),
                              QColor(Qt::black));
                     const QString family = QFontInfo(dlg.font()).family();
                     QVERIFY2(family == "Arial" || family == "Liberation Sans", qPrintable(family));
                     QCOMPARE(dlg.font().pointSize(), 9);
                     dlg.Button(kIdOk)->click();
                 }),
             kIdOk);
}

void DialogsTest::portDialogOffersAutoAndNinePorts() {
    CPortDlg dlg;
    QCOMPARE(
        RunAndAct(
            dlg,
            [&] {
                QCOMPARE(dlg.windowTitle(),
                         QString("Quelm RM520/RM525 Zoom Camera Update Software"));
                QCOMPARE(dlg.findChild<QGroupBox*>("group100")->title(), QString("Connect Port"));
                QCOMPARE(ButtonLabelsInOrder(dlg), (QStringList{"button1=&OK", "button2=&Quit"}));
                QCOMPARE(QApplication::focusWidget(), dlg.Button(kIdOk));
                QStringList radios;
                for (int id = CPortDlg::kFirstRadio; id <= CPortDlg::kLastRadio; ++id) {
                    auto* r = dlg.findChild<QRadioButton*>(QString("radio%1").arg(id));
                    QVERIFY(r != nullptr);
                    QCOMPARE(r->isChecked(), id == CPortDlg::kFirstRadio);
                    QCOMPARE(r->focusPolicy() & Qt::TabFocus, 0);  // only OK and Quit are tab stops
                    radios << r->text();
                }
                QCOMPARE(radios, (QStringList{"AUTO", "COM1", "COM2", "COM3", "COM4", "COM5",
                                              "COM6", "COM7", "COM8", "COM9"}));
                // Two columns: AUTO and COM1..COM5 on the left, COM6..COM9 on the right.
                auto x = [&](int id) {
                    return dlg.findChild<QRadioButton*>(QString("radio%1").arg(id))->x();
                };
                QCOMPARE(x(111), x(116));
                QVERIFY(x(117) > x(116));
                QCOMPARE(x(117), x(120));
                // Choosing one clears the others.
                dlg.findChild<QRadioButton*>("radio115")->click();
                QVERIFY(!dlg.findChild<QRadioButton*>("radio111")->isChecked());
                dlg.Button(kIdCancel)->click();
            }),
        kIdCancel);
}

void DialogsTest::portDialogOkWithoutChoiceGivesAuto() {
    int searching = 0;
    CPortDlg dlg({}, [&] { ++searching; });
    QCOMPARE(RunAndAct(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Return); }), kIdOk);
    QCOMPARE(dlg.m_nPort, int16_t{0});
    QCOMPARE(searching, 1);
}

void DialogsTest::portDialogGivesTheChosenPort() {
    CPortDlg dlg;
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           dlg.findChild<QRadioButton*>("radio120")->click();
                           dlg.Button(kIdOk)->click();
                       }),
             kIdOk);
    QCOMPARE(dlg.m_nPort, int16_t{9});
    // Every showing starts from AUTO again.
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           QVERIFY(dlg.findChild<QRadioButton*>("radio111")->isChecked());
                           dlg.findChild<QRadioButton*>("radio112")->click();
                           dlg.Button(kIdOk)->click();
                       }),
             kIdOk);
    QCOMPARE(dlg.m_nPort, int16_t{1});
}

void DialogsTest::portDialogQuitAndEscapeLeaveTheStatusAlone() {
    int searching = 0;
    CPortDlg dlg({}, [&] { ++searching; });
    QCOMPARE(RunAndAct(dlg, [&] { dlg.Button(kIdCancel)->click(); }), kIdCancel);
    QCOMPARE(RunAndAct(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); }), kIdCancel);
    QCOMPARE(searching, 0);
}

void DialogsTest::dialogsAreSizedInDialogUnits() {
    const DialogUnits du(DialogFont(9));
    CPortDlg port;
    QCOMPARE(port.size(), QSize(du.ToX(154), du.ToY(111)));
    QCOMPARE(port.Button(kIdOk)->geometry(), du.ToRect(103, 70, 45, 14));
    CNoCameraDlg noCamera;
    QCOMPARE(noCamera.size(), QSize(du.ToX(206), du.ToY(68)));
    QCOMPARE(noCamera.Text(PromptDlg::kTextId)->geometry(), du.ToRect(7, 8, 193, 33));
    // Arial 9 point (or its metric twin) at 96 dots per inch: about 6 x 15.
    QVERIFY(du.ToX(4) >= 5 && du.ToX(4) <= 7);
    QVERIFY(du.ToY(8) >= 13 && du.ToY(8) <= 17);
}

void DialogsTest::dialogsOpenCentredOnTheViewSize() {
    NoFrontEnd frontEnd;
    NoPorts ports;
    StillClock clock;
    UpdateWorkflow workflow(frontEnd, ports, clock);
    workflow.m_rcView = ViewRect{0, 0, 1000, 700};
    Placer placer = [&](QWidget* w) { CenterDialog(w, workflow); };

    CContinueDlg dlg(placer);
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           const QRect frame = dlg.frameGeometry();
                           QCOMPARE(frame.topLeft(),
                                    QPoint(500 - frame.width() / 2, 350 - frame.height() / 2));
                           dlg.Button(kIdOk)->click();
                       }),
             kIdOk);
    // A dialog larger than the view goes to the screen's edge.
    workflow.m_rcView = ViewRect{0, 0, 100, 700};
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           QCOMPARE(dlg.frameGeometry().x(), 0);
                           QVERIFY(dlg.frameGeometry().y() > 0);
                           dlg.Button(kIdOk)->click();
                       }),
             kIdOk);
    workflow.m_rcView = ViewRect{0, 0, 100, 50};
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           QCOMPARE(dlg.frameGeometry().topLeft(), QPoint(0, 0));
                           dlg.Button(kIdOk)->click();
                       }),
             kIdOk);
    CenterDialog(nullptr, workflow);  // ignored
}

// What MapDialogRect gives under Wine for the same templates (written by the
// Windows build's wine_gui_windows test): the same fonts, base units and
// pixel sizes here.
void DialogsTest::dialogUnitsAreTheWindowsOnes() {
    struct Template {
        int points, width, height;
    };
    const std::map<int, Template> templates = {
        {100, {9, 217, 47}}, {102, {8, 300, 14}},  {103, {9, 159, 61}},
        {104, {9, 185, 67}}, {105, {9, 185, 53}},  {107, {9, 154, 111}},
        {108, {8, 213, 42}}, {1538, {9, 185, 67}}, {1539, {9, 206, 68}}};
    QFile facts(QStringLiteral(RM525FW_DIALOG_UNITS_FACTS));
    QVERIFY(facts.open(QIODevice::ReadOnly | QIODevice::Text));
    int compared = 0;
    while (!facts.atEnd()) {
        const QStringList f = QString::fromUtf8(facts.readLine()).simplified().split(u' ');
        if (f.size() != 7 || f[0] != QStringLiteral("dialog-units")) {
            continue;
        }
        const auto it = templates.find(f[1].toInt());
        QVERIFY2(it != templates.end(), qPrintable(f[1]));
        const DialogUnits du(DialogFont(it->second.points));
        QCOMPARE(du.ToX(4), f[5].toInt());
        QCOMPARE(du.ToY(8), f[6].toInt());
        QCOMPARE(QSize(du.ToX(it->second.width), du.ToY(it->second.height)),
                 QSize(f[2].toInt(), f[3].toInt()));
        ++compared;
    }
    QCOMPARE(compared, int(templates.size()));
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
