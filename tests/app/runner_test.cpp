// Camera operations off the event thread: the windows keep painting, the
// user's input is dropped, and progress reports from the worker reach the
// progress window one by one, in order.

#include <QLineEdit>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/qt/camera_operation_runner.h"
#include "app/qt/event_thread_call.h"
#include "app/qt/gui_front_end.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/rm525fw_view.h"
#include "app/qt/status_line_bar.h"

using namespace rm525::gui;

class RunnerTest : public QObject {
    Q_OBJECT

private slots:
    void eventThreadKeepsWorkingDuringAnOperation();
    void userInputAndCloseRequestsAreDropped();
    void progressFromTheWorkerArrivesInOrder();
    void quitWhileTheWorkerWaitsForTheEventThread();
    void callsCarriedOverRunOnTheEventThread();
};

void RunnerTest::eventThreadKeepsWorkingDuringAnOperation() {
    CameraOperationRunner runner;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    std::thread::id workerId;
    runner.Run([&] {
        workerId = std::this_thread::get_id();
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    });
    QVERIFY(workerId != std::this_thread::get_id());
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QVERIFY(!runner.Running());
    // An operation that ends at once ends the wait too.
    runner.Run([] {});
}

void RunnerTest::userInputAndCloseRequestsAreDropped() {
    QLineEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    CameraOperationRunner runner;
    std::atomic<bool> release{false};
    bool closeRefused = false;
    QTimer::singleShot(30, [&] {
        // The worker is let go on every way out of here: a check that
        // failed in this lambda must end the operation, not leave it
        // waiting until the test's time-out.
        struct Release {
            std::atomic<bool>& flag;
            ~Release() { flag = true; }
        } releaseOnExit{release};
        QTest::keyClicks(&edit, "abc");
        closeRefused = !edit.close();
    });
    // Should the timer never fire (the event thread stuck), the worker still
    // ends after a while, and the check below fails.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    runner.Run([&] {
        while (!release && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    QVERIFY(release);
    QVERIFY(closeRefused);
    QVERIFY(edit.text().isEmpty());
    QVERIFY(edit.isVisible());
    // Afterwards input works again.
    QTest::keyClicks(&edit, "ok");
    QCOMPARE(edit.text(), QString("ok"));
}

void RunnerTest::progressFromTheWorkerArrivesInOrder() {
    QWidget window;
    auto* bar = new CStatusLineBar(&window);
    auto* view = new CRm525fwView(nullptr, &window);
    window.resize(400, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    GuiFrontEnd frontEnd(&window, bar, view, nullptr);
    frontEnd.SetProgressHoldMs(200);

    std::vector<int> seen;
    bool closedAfterHold = false;
    QElapsedTimer clock;
    frontEnd.RunCameraOperation([&] {
        frontEnd.ShowProgress(0, 0, "Downloading firmware ...");
        for (int percent = 1; percent <= 100; ++percent) {
            frontEnd.ShowProgress(1, percent, "Downloading firmware ...");
            // The call returns only once the window shows it.
            frontEnd.RunOnEventThread([&] {
                const QImage& pic = frontEnd.ProgressWindow()->Picture();
                const int h = pic.height();
                seen.push_back((pic.pixel(10 + 3 * percent - 1, h - 20) & 0xFFFFFF) == 0xFF);
            });
        }
        clock.start();
        frontEnd.ShowProgress(2, 100, "Downloading firmware completed.");
        closedAfterHold = clock.elapsed() >= 190;
        frontEnd.CloseProgress();
    });
    QCOMPARE(seen, std::vector<int>(100, 1));
    QVERIFY(closedAfterHold);
    QVERIFY(frontEnd.ProgressWindow() == nullptr);
}

void RunnerTest::quitWhileTheWorkerWaitsForTheEventThread() {
    QWidget window;
    auto* bar = new CStatusLineBar(&window);
    auto* view = new CRm525fwView(nullptr, &window);
    window.show();
    GuiFrontEnd frontEnd(&window, bar, view, nullptr);
    frontEnd.SetProgressHoldMs(300);

    // A hung runner cannot be failed from inside: a watchdog ends the test.
    std::atomic<bool> returned{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1000 && !returned; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!returned) {
            std::fprintf(stderr, "FAIL: the runner still waits for its worker after a quit\n");
            std::_Exit(1);
        }
    });
    // The application is told to quit while the final progress picture is
    // held, that is while the worker waits inside a call to the event thread.
    bool quitDuringHold = false;
    QTimer::singleShot(100, [&] {
        quitDuringHold = frontEnd.ProgressWindow() != nullptr;
        QCoreApplication::exit(0);
    });
    frontEnd.RunCameraOperation([&] {
        frontEnd.ShowProgress(0, 0, "Downloading firmware ...");
        frontEnd.ShowProgress(2, 100, "Downloading firmware completed.");
        frontEnd.CloseProgress();
        frontEnd.StatusChanged("released");
    });
    returned = true;
    watchdog.join();
    QVERIFY(quitDuringHold);
    QVERIFY(frontEnd.ProgressWindow() == nullptr);
    QCOMPARE(bar->text(), QString("released"));
    QVERIFY(!frontEnd.CameraOperationRunning());

    // The quit is remembered until the application's loop runs again.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

QTEST_MAIN(RunnerTest)
void RunnerTest::callsCarriedOverRunOnTheEventThread() {
    EventThreadCall call;
    CameraOperationRunner runner;
    const std::thread::id eventThread = std::this_thread::get_id();
    std::vector<std::thread::id> ranOn;
    bool thrownReachedTheWorker = false;
    runner.Run([&] {
        call.Run([&] { ranOn.push_back(std::this_thread::get_id()); });
        // What a job throws reaches the thread that waits for it, not the
        // event loop.
        try {
            call.Run([] { throw std::runtime_error("job failed"); });
        } catch (const std::runtime_error&) {
            thrownReachedTheWorker = true;
        }
        call.Run([&] { ranOn.push_back(std::this_thread::get_id()); });
    });
    QCOMPARE(ranOn, (std::vector<std::thread::id>{eventThread, eventThread}));
    QVERIFY(thrownReachedTheWorker);
    // On the event thread itself the job runs at once.
    bool ran = false;
    call.Run([&] { ran = true; });
    QVERIFY(ran);
}

#include "runner_test.moc"
