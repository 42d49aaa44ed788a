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

#include "app/center_dialog.h"
#include "app/dialog_look.h"
#include "app/port_dialog.h"
#include "app/prompt_dialogs.h"
#include "link/clock.h"
#include "link/serial_port.h"
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

static std::unique_ptr<PromptDlg> MakePromptFor(int kind, int selector) {
    switch (static_cast<PromptKind>(kind)) {
        case PromptKind::Continue: {
            auto d = std::make_unique<CContinueDlg>();
            d->m_nMessage = static_cast<int16_t>(selector);
            return d;
        }
        case PromptKind::Reselect:
            return std::make_unique<CReselectDlg>();
        case PromptKind::Success:
            return std::make_unique<CSuccessDlg>(VersionChars{'0', '1', '0', '6'});
        case PromptKind::Failure: {
            auto d = std::make_unique<CFailureDlg>();
            d->m_nMessage = static_cast<int16_t>(selector);
            return d;
        }
        case PromptKind::NoCamera:
            break;
    }
    return std::make_unique<CNoCameraDlg>();
}

void DialogsTest::promptsShowTheirMessageAndButtons() {
    QFETCH(int, kind);
    QFETCH(int, selector);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    auto dlg = MakePromptFor(kind, selector);
    const int result = RunAndAct(*dlg, [&] {
        QCOMPARE(dlg->windowTitle(), QString("Quelm RM520/RM525 Zoom Camera Update Software"));
        QCOMPARE(dlg->Text(PromptDlg::kTextId)->text(), text);
        QCOMPARE(ButtonLabelsInOrder(*dlg), buttons);
        auto* def = qobject_cast<QPushButton*>(dlg->Button(kIdOk));
        QVERIFY(def->isDefault());
        QCOMPARE(QApplication::focusWidget(), def);
        // No close box: the user leaves only by the buttons.
        QVERIFY(!(dlg->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(dlg->windowFlags() & Qt::CustomizeWindowHint);
        dlg->Button(kIdOk)->click();
    });
    QCOMPARE(result, kIdOk);
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
    CContinueDlg dlg;
    QCOMPARE(
        RunAndAct(
            dlg,
            [&] {
                QVERIFY(
                    dlg.Text(PromptDlg::kTextId)->text().startsWith("\nSelected file is wrong."));
                dlg.Button(kIdOk)->click();
            }),
        kIdOk);
    dlg.m_nMessage = 1;
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           QCOMPARE(dlg.Text(PromptDlg::kTextId)->text(),
                                    QString("\nSelected firmware matches camera version."));
                           QCOMPARE(dlg.Message(),
                                    QString("\nSelected firmware matches camera version."));
                           dlg.Button(kIdCancel)->click();
                       }),
             kIdCancel);
    // A text built by the update procedure is shown as it is.
    dlg.SetTextOverride("from the procedure");
    QCOMPARE(RunAndAct(dlg,
                       [&] {
                           QCOMPARE(dlg.Text(PromptDlg::kTextId)->text(),
                                    QString("from the procedure"));
                           dlg.Button(kIdOk)->click();
                       }),
             kIdOk);
}

void DialogsTest::successPromptNamesTheFileVersion() {
    CSuccessDlg dlg(VersionChars{'9', '1', '0', 'A'});
    const int result = RunAndAct(dlg, [&] {
        QCOMPARE(dlg.Text(PromptDlg::kTextId)->text(),
                 QString("Firmware 1.0A was successfully installed in your Quelm Vivid "
                         "Imagework RM520/RM525 Zoom Camera!"));
        QCOMPARE(ButtonLabelsInOrder(dlg), QStringList{"button1=OK"});
        QTest::keyClick(&dlg, Qt::Key_Return);
    });
    QCOMPARE(result, kIdOk);
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

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
