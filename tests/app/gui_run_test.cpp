// Whole runs of the program's windows against the in-process simulated
// camera, driven by clicks the way a user would: from the port dialog through
// the file choice and the transfer to the success prompt and the closing of
// the program.

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <thread>

#include "app/qt/gui_front_end.h"
#include "app/qt/main_frame.h"
#include "app/qt/rm525fw_app.h"
#include "app/qt/rm525fw_view.h"
#include "app/qt/status_line_bar.h"
#include "sim/camera_setup.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/firmware/firmware_test_files.h"
#include "tests/support/desktop_road.h"

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

// Ports that hold the first opening until the test lets it go, so that the
// test can act while Connect is under way on the worker thread.
class GatedPorts : public SerialPortFactory {
public:
    explicit GatedPorts(SerialPortFactory& ports) : ports_(ports) {}
    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override {
        reached = true;
        while (!released) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return ports_.Open(portNumber, failure);
    }
    std::atomic<bool> reached{false};
    std::atomic<bool> released{false};

private:
    SerialPortFactory& ports_;
};

// A close request from the window system (a close box, a window manager's
// key), delivered to the window as the window system delivers it.
bool CloseFromWindowSystem(QWidget* window) {
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QApplication::instance()->notify(window, &close);
    return close.isAccepted();
}

// Picks the file in the chooser as a user types its name.
void ChooseFile(QWidget* dlg, const std::string& file) {
    auto* chooser = static_cast<QFileDialog*>(dlg);
    chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(file));
    QMetaObject::invokeMethod(chooser, "accept");
}

}  // namespace

class GuiRunTest : public QObject {
    Q_OBJECT

private slots:
    void updateRunsFromPortChoiceToSuccessAndCloses();
    void quitInThePortDialogEndsWithoutTouchingAPort();
    void shortcutsDuringConnectDoNothing();
    void cameraAndFileTextsAreShownAsStored();
    void closeRequestsOfTheWindowSystemAreNoAnswer();
    void roadUpToTheTransferAsTheWin32ProgramShowsIt();
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
                          "Firmware Files (*.fw )   |Firmware Files (*.fw ) (*.fw)", "progress"}));
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

void GuiRunTest::shortcutsDuringConnectDoNothing() {
    rm525::testing::TempDir dir;
    const std::string file = rm525::testing::WriteFile(
        dir.File("new.fw"), rm525::testing::FirmwareBytes(firmware::kHeaderRm525, "0106"));
    sim::VirtualClock clock;
    sim::SimulatedPortFactory simulated(clock);
    sim::CameraModel& camera = simulated.AttachCamera(1, sim::Rm525Setup());
    GatedPorts ports(simulated);

    CRm525fwApp program(ports, clock);
    QVERIFY(program.InitInstance());
    CMainFrame* frame = program.MainFrame();
    QSignalSpy closed(frame, &CMainFrame::closed);
    QSignalSpy ended(frame, &CMainFrame::procedureEnded);
    int activations = 0;
    for (QShortcut* shortcut : frame->findChildren<QShortcut*>()) {
        connect(shortcut, &QShortcut::activated, [&] { ++activations; });
    }
    QCOMPARE(frame->findChildren<QShortcut*>().size(), 3);

    // While Connect waits at the port, the user presses the three shortcuts
    // on the main window.
    bool pressedDuringConnect = false;
    QTimer atConnect;
    connect(&atConnect, &QTimer::timeout, [&] {
        if (!ports.reached) {
            return;
        }
        atConnect.stop();
        pressedDuringConnect = frame->FrontEnd().CameraOperationRunning();
        QApplication::setActiveWindow(frame);
        for (Qt::Key key : {Qt::Key_Q, Qt::Key_N, Qt::Key_O}) {
            QTest::keyClick(frame->View(), key, Qt::ControlModifier);
        }
        // The exit command itself, by whatever road it came, is refused too.
        frame->OnCommand(command::kExit);
        ports.released = true;
    });
    atConnect.start(5);

    bool closeRefused = false;
    User user({
        {"CPortDlg", [](QWidget* dlg) { Click(dlg, "button1"); }},
        {"fileChooser",
         [&](QWidget* dlg) {
             // Ctrl+Q left nothing behind that would let the window close
             // in the middle of the procedure.
             closeRefused = !frame->close() && frame->isVisible();
             ChooseFile(dlg, file);
         }},
        {"CSuccessDlg", [](QWidget* dlg) { Click(dlg, "button1"); }},
    });

    QVERIFY(closed.wait(30000));
    QVERIFY(pressedDuringConnect);
    QCOMPARE(activations, 0);
    QVERIFY(closeRefused);
    QVERIFY2(user.Done(), qPrintable(user.seen.join(", ")));
    QCOMPARE(ended.size(), 1);
    QVERIFY(camera.Verified());
    QCOMPARE(camera.BlocksWritten(), 2048);
    QVERIFY(!simulated.AnyPortOpen());
}

void GuiRunTest::cameraAndFileTextsAreShownAsStored() {
    // Bytes above 0x7F in the camera's ID and in the file's version
    // characters, each a letter of the camera's own character set.
    rm525::testing::TempDir dir;
    const std::string file = rm525::testing::WriteFile(
        dir.File("new.fw"), rm525::testing::FirmwareBytes(firmware::kHeaderRm525,
                                                          "01\xFC"
                                                          "6"));
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    sim::CameraSetup setup = sim::Rm525Setup();
    setup.cameraId = "K\xC4MERA M\xDCNCHEN \xA9";
    sim::CameraModel& camera = ports.AttachCamera(1, setup);

    CRm525fwApp program(ports, clock);
    QVERIFY(program.InitInstance());
    CMainFrame* frame = program.MainFrame();
    QSignalSpy closed(frame, &CMainFrame::closed);
    QString statusAtChooser;
    QString successText;
    User user({
        {"CPortDlg", [](QWidget* dlg) { Click(dlg, "button1"); }},
        {"fileChooser",
         [&](QWidget* dlg) {
             statusAtChooser = frame->StatusLine()->text();
             ChooseFile(dlg, file);
         }},
        {"CSuccessDlg",
         [&](QWidget* dlg) {
             successText = Text100(dlg);
             Click(dlg, "button1");
         }},
    });
    QVERIFY(closed.wait(30000));
    QVERIFY2(user.Done(), qPrintable(user.seen.join(", ")));
    QCOMPARE(statusAtChooser, QStringLiteral("Camera ID: K\u00C4MERA M\u00DCNCHEN \u00A9     "
                                             "Firmware Version: 1.05"));
    QCOMPARE(successText, QStringLiteral("Firmware 1.\u00FC6 was successfully installed in your "
                                         "Quelm Vivid Imagework RM520/RM525 Zoom Camera!"));
    QVERIFY(camera.Verified());
}

void GuiRunTest::closeRequestsOfTheWindowSystemAreNoAnswer() {
    // A window manager may offer a close box or key on a dialog anyway:
    // using it is neither OK nor Quit, the dialog stays until answered.
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    ports.AttachCamera(1, sim::Rm525Setup());
    CRm525fwApp program(ports, clock);
    QVERIFY(program.InitInstance());
    QSignalSpy closed(program.MainFrame(), &CMainFrame::closed);
    bool portDialogStayed = false;
    bool promptStayed = false;
    User user({
        {"CPortDlg",
         [&](QWidget* dlg) {
             portDialogStayed = !CloseFromWindowSystem(dlg) && dlg->isVisible();
             Click(dlg, "button1");
         }},
        {"fileChooser", [](QWidget* dlg) { static_cast<QFileDialog*>(dlg)->reject(); }},
        {"CReselectDlg",
         [&](QWidget* dlg) {
             promptStayed = !CloseFromWindowSystem(dlg) && dlg->isVisible();
             Click(dlg, "button2");  // Quit
         }},
    });
    QVERIFY(closed.wait(30000));
    QVERIFY2(user.Done(), qPrintable(user.seen.join(", ")));
    QVERIFY(portDialogStayed);
    QVERIFY(promptStayed);
    QVERIFY(!ports.AnyPortOpen());
}

// What one of the program's windows shows, in the words the Win32 program's
// test uses too.
testing::desktop_road::Seen SeenIn(QWidget* window, const QString& status) {
    const QString name = window->objectName();
    QStringList buttons;
    for (QPushButton* b : window->findChildren<QPushButton*>())
        buttons << b->text();
    if (name == "fileChooser")
        return {"chooser", status.toStdString(),
                window->findChild<QComboBox*>("fileTypeCombo")->currentText().toStdString(), ""};
    if (name == "CPortDlg") {
        QStringList radios;
        for (QRadioButton* r : window->findChildren<QRadioButton*>())
            radios << r->text();
        return {"port", status.toStdString(), radios.join('|').toStdString(),
                buttons.join('|').toStdString()};
    }
    return {"prompt", status.toStdString(), Text100(window).toStdString(),
            buttons.join('|').toStdString()};
}

void GuiRunTest::roadUpToTheTransferAsTheWin32ProgramShowsIt() {
    namespace road = testing::desktop_road;
    road::World world;
    sim::VirtualClock& clock = world.clock;
    sim::SimulatedPortFactory& ports = world.ports;
    CRm525fwApp program(ports, clock);
    QVERIFY(program.InitInstance());
    CMainFrame* frame = program.MainFrame();
    QSignalSpy closed(frame, &CMainFrame::closed);

    std::vector<road::Seen> seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        QWidget* window = nullptr;
        for (const char* name : {"CPortDlg", "fileChooser", "CContinueDlg", "CReselectDlg",
                                 "CSuccessDlg", "CFailureDlg", "CNoCameraDlg"})
            window = window ? window : VisibleWindow(name);
        if (window == nullptr || seen.size() == road::kRoad.size())
            return;
        seen.push_back(SeenIn(window, frame->StatusLine()->text()));
        switch (road::kRoad[seen.size() - 1].act) {
            case road::Act::Ok:
            case road::Act::Button1:
                return Click(window, "button1");
            case road::Act::Button2:
                return Click(window, "button2");
            case road::Act::Cancel:
                return static_cast<QFileDialog*>(window)->reject();
            case road::Act::ChooseWrongFile:
                return ChooseFile(window, world.wrong);
            case road::Act::ChooseSameFile:
                return ChooseFile(window, world.same);
        }
    });
    poll.start(20);
    QVERIFY(closed.wait(30000));
    QCOMPARE(QString::fromStdString(road::Transcript(seen)),
             QString::fromStdString(road::Transcript(road::kRoad)));
    QCOMPARE(world.camera.BlocksWritten(), 0);
    QCOMPARE(world.camera.ReleaseCount(), 1);
    QVERIFY(!ports.AnyPortOpen());
}

QTEST_MAIN(GuiRunTest)
#include "gui_run_test.moc"
