// Whole runs of the program's windows against the in-process simulated
// camera, driven by clicks the way a user would: from the port dialog through
// the file choice and the transfer to the success prompt and the closing of
// the program.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <deque>
#include <functional>

#include "app/gui_front_end.h"
#include "app/main_frame.h"
#include "app/rm525fw_app.h"
#include "app/status_line_bar.h"
#include "sim/camera_setup.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/firmware/firmware_test_files.h"

using namespace rm525;
using namespace rm525::gui;

namespace {

QWidget* VisibleWindow(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

// Plays the user: waits for each window in turn and acts on it. The
// procedure runs its dialogs modally inside the event loop, so the user's
// steps must come from the loop too.
class User : public QObject {
public:
    struct Step {
        QString window;
        std::function<void(QWidget*)> act;
    };

    explicit User(std::deque<Step> steps) : steps_(std::move(steps)) {
        connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
        poll_.start(20);
    }
    bool Done() const { return steps_.empty(); }
    QStringList seen;  // the windows acted on, in order

private:
    void Poll() {
        if (steps_.empty()) {
            return;
        }
        if (QWidget* w = VisibleWindow(steps_.front().window)) {
            Step step = std::move(steps_.front());
            steps_.pop_front();
            seen << step.window;
            step.act(w);
        }
    }

    std::deque<Step> steps_;
    QTimer poll_;
};

void Click(QWidget* dlg, const char* name) {
    dlg->findChild<QAbstractButton*>(QString::fromLatin1(name))->click();
}

QString Text100(QWidget* dlg) {
    return dlg->findChild<QLabel*>("text100")->text();
}

}  // namespace

class GuiRunTest : public QObject {
    Q_OBJECT

private slots:
    void updateRunsFromPortChoiceToSuccessAndCloses();
    void quitInThePortDialogEndsWithoutTouchingAPort();
};

void GuiRunTest::updateRunsFromPortChoiceToSuccessAndCloses() {
    rm525::testing::TempDir dir;
    const std::string file = rm525::testing::WriteFile(
        dir.File("new.fw"), rm525::testing::FirmwareBytes(firmware::kHeaderRm525, "0106"));
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    sim::CameraModel& camera = ports.AttachCamera(3, sim::Rm525Setup());

    CRm525fwApp program(ports, clock);
    QVERIFY(program.InitInstance());
    CMainFrame* frame = program.MainFrame();
    QSignalSpy closed(frame, &CMainFrame::closed);
    auto status = [&] { return frame->StatusLine()->text(); };

    QStringList statusSeen;
    QString successText;
    User user({
        {"CPortDlg",
         [&](QWidget* dlg) {
             statusSeen << status();
             dlg->findChild<QRadioButton*>("radio114")->click();  // COM3
             Click(dlg, "button1");
         }},
        {"fileChooser",
         [&](QWidget* dlg) {
             statusSeen << status();
             static_cast<QFileDialog*>(dlg)->reject();  // cancel once
         }},
        {"CReselectDlg",
         [&](QWidget* dlg) {
             statusSeen << Text100(dlg);
             Click(dlg, "button1");  // Continue: choose again
         }},
        {"fileChooser",
         [&](QWidget* dlg) {
             auto* chooser = static_cast<QFileDialog*>(dlg);
             // The filter's description as the chooser shows it, and its pattern.
             statusSeen << chooser->findChild<QComboBox*>("fileTypeCombo")->currentText() + "|" +
                               chooser->nameFilters().join('|');
             chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(file));
             QMetaObject::invokeMethod(chooser, "accept");
         }},
        {"CProgressDlg", [&](QWidget*) { statusSeen << "progress"; }},
        {"CSuccessDlg",
         [&](QWidget* dlg) {
             successText = Text100(dlg);
             Click(dlg, "button1");
         }},
    });

    QVERIFY(closed.wait(30000));
    QVERIFY2(user.Done(), qPrintable(user.seen.join(", ")));
    QCOMPARE(statusSeen,
             (QStringList{"Select the communication port. ",
                          "Camera ID: RM525 SIMULATED CAMERA     Firmware Version: 1.05",
                          "File selection was canceled !",
                          "Firmware Files (*.fw )|Firmware Files (*.fw ) (*.fw)", "progress"}));
    QCOMPARE(successText, QString("Firmware 1.06 was successfully installed in your Quelm Vivid "
                                  "Imagework RM520/RM525 Zoom Camera!"));
    QVERIFY(!frame->isVisible());
    QVERIFY(camera.Verified());
    QCOMPARE(camera.BlocksWritten(), 2048);
    QVERIFY(!ports.AnyPortOpen());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void GuiRunTest::quitInThePortDialogEndsWithoutTouchingAPort() {
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    ports.AttachCamera(1);
    CRm525fwApp program(ports, clock);
    QVERIFY(program.InitInstance());
    QSignalSpy closed(program.MainFrame(), &CMainFrame::closed);
    User user({{"CPortDlg", [](QWidget* dlg) { Click(dlg, "button2"); }}});
    QVERIFY(closed.wait(10000));
    QVERIFY(user.Done());
    for (int port = 1; port <= 9; ++port) {
        QCOMPARE(ports.Record(port).openAttempts, 0);
    }
    QCOMPARE(program.MainFrame()->StatusLine()->text(), QString("Select the communication port. "));
}

QTEST_MAIN(GuiRunTest)
#include "gui_run_test.moc"
