// The application shell: the view starts the procedure once, 200 ms after
// its first paint; the main window covers the screen, closes on Ctrl+Q, and
// ignores close requests while the procedure runs.

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "app/qt/display_platform.h"
#include "app/qt/main_frame.h"
#include "app/qt/rm525fw_app.h"
#include "app/qt/rm525fw_view.h"
#include "app/qt/status_line_bar.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"

using namespace rm525;
using namespace rm525::gui;

namespace {

// Closes any modal window that opens where a test expects none, and counts
// them. Without it a procedure that starts when it should not would sit in
// its port dialog until ctest's time-out; with it the test fails at once.
class UnexpectedDialogs {
public:
    UnexpectedDialogs() {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++count;
                names << modal->objectName();
                modal->close();
            }
        });
        poll_.start(20);
    }
    int count = 0;
    QStringList names;

private:
    QTimer poll_;
};

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void viewStartsTheProcedureOnceAfterItsFirstPaint();
    void mainWindowCoversTheScreenBelowNoButtons();
    void ctrlQClosesBeforeTheProcedureStarts();
    void closeRequestsWaitForTheProcedure();
    void waylandSessionsRunOnXWaylandWhenItIsThere();
};

void ShellTest::viewStartsTheProcedureOnceAfterItsFirstPaint() {
    CRm525fwView view(nullptr);
    int firstDraws = 0;
    int starts = 0;
    view.SetFirstDrawHandler([&] { ++firstDraws; });
    view.SetStartHandler([&] { ++starts; });
    view.resize(300, 200);
    view.OnInitialUpdate();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_COMPARE(firstDraws, 1);
    QVERIFY(view.StartTimerRunning());
    view.repaint();
    view.repaint();
    QCOMPARE(firstDraws, 1);
    QTRY_COMPARE(starts, 1);
    QVERIFY(!view.StartTimerRunning());
    QTest::qWait(300);
    QCOMPARE(starts, 1);
    view.OnTimer(5);  // not the start timer: nothing happens
    QCOMPARE(starts, 1);
    // A new document schedules the procedure again.
    view.OnInitialUpdate();
    QTRY_COMPARE(starts, 2);
    QCOMPARE(firstDraws, 2);
}

void ShellTest::mainWindowCoversTheScreenBelowNoButtons() {
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    CRm525fwApp program(ports, clock);
    UnexpectedDialogs unexpected;
    QVERIFY(program.InitInstance());
    CMainFrame* frame = program.MainFrame();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QCOMPARE(frame->frameGeometry(), QGuiApplication::primaryScreen()->geometry());
    QVERIFY(!frame->isMaximized());
    QCOMPARE(frame->windowTitle(), QString("Quelm RM520/RM525 Zoom Camera Update Software"));
    const Qt::WindowFlags flags = frame->windowFlags();
    QVERIFY(!(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint)));
    // The status line along the top edge, the view filling the rest.
    QCOMPARE(frame->StatusLine()->geometry().topLeft(), QPoint(0, 0));
    QCOMPARE(frame->StatusLine()->width(), frame->width());
    QCOMPARE(frame->View()->geometry().top(), frame->StatusLine()->height());
    QCOMPARE(frame->StatusLine()->text(), QString("Select the communication port. "));
    frame->OnCommand(command::kClose);
    QVERIFY2(unexpected.count == 0, qPrintable(unexpected.names.join(' ')));
}

void ShellTest::ctrlQClosesBeforeTheProcedureStarts() {
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    CRm525fwApp program(ports, clock);
    UnexpectedDialogs unexpected;
    QVERIFY(program.InitInstance());
    CMainFrame* frame = program.MainFrame();
    QSignalSpy closed(frame, &CMainFrame::closed);
    QSignalSpy ended(frame, &CMainFrame::procedureEnded);
    QApplication::setActiveWindow(frame);
    // The key goes to the view, which has the focus.
    QTest::keyClick(frame->View(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(closed.size(), 1);
    // The procedure starts only from the start timer, which the view's first
    // paint sets going; a closed frame is never painted, so once the events
    // already queued are handled the timer must be idle for good.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(!frame->isVisible());
    QVERIFY(!frame->View()->StartTimerRunning());
    QCOMPARE(ended.size(), 0);  // the procedure never started
    QVERIFY2(unexpected.count == 0, qPrintable(unexpected.names.join(' ')));
}

void ShellTest::closeRequestsWaitForTheProcedure() {
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    CRm525fwApp program(ports, clock);
    QVERIFY(program.InitInstance());
    CMainFrame* frame = program.MainFrame();
    QSignalSpy closed(frame, &CMainFrame::closed);
    bool refused = false;
    // While the port dialog is open, a close request changes nothing; Quit
    // then ends the procedure and the program.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "CPortDlg" && w->isVisible()) {
                poll.stop();
                refused = !frame->close() && frame->isVisible();
                w->findChild<QAbstractButton*>("button2")->click();
            }
        }
    });
    poll.start(20);
    QVERIFY(closed.wait(10000));
    QVERIFY(refused);
}

void ShellTest::waylandSessionsRunOnXWaylandWhenItIsThere() {
    // QT_QPA_PLATFORM, WAYLAND_DISPLAY, DISPLAY (null: unset).
    QCOMPARE(PreferredPlatform(nullptr, "wayland-0", ":0"), "xcb;wayland");
    QCOMPARE(PreferredPlatform("", "wayland-0", ":1"), "xcb;wayland");
    // No XWayland: Qt's own choice.
    QVERIFY(PreferredPlatform(nullptr, "wayland-0", nullptr) == nullptr);
    QVERIFY(PreferredPlatform(nullptr, "wayland-0", "") == nullptr);
    // Plain X11, and a platform the user asked for.
    QVERIFY(PreferredPlatform(nullptr, nullptr, ":0") == nullptr);
    QVERIFY(PreferredPlatform("wayland", "wayland-0", ":0") == nullptr);
    QVERIFY(PreferredPlatform("offscreen", "wayland-0", ":0") == nullptr);
}

QTEST_MAIN(ShellTest)
#include "shell_test.moc"
