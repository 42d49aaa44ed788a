// Data races planted on purpose, for the ThreadSanitizer stage to find: a
// worker thread counts into a plain integer while code on the GUI thread
// reads it with no lock between them. The reading side is, by the first
// argument:
//   slot    a slot called from Qt's event dispatch (a timer);
//   call    a job carried over to the GUI thread by EventThreadCall, the way
//           the worker's progress reports reach the windows;
//   queued  a slot queued to the GUI thread by QMetaObject::invokeMethod.
// (Queued by name: a queued lambda would be reported first for its own
// captures, which Qt hands over where TSan cannot see it; that is why our
// code carries such calls over with EventThreadCall.)
// The ThreadSanitizer build must report each and fail; if one ever passes,
// the suppressions have grown wide enough to hide races in our own code.
#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstring>
#include <thread>

#include "app/qt/event_thread_call.h"

namespace {

class PlantedRace : public QObject {
    Q_OBJECT

public:
    // Written by the worker, read on the GUI thread: unsynchronised on purpose.
    long counted = 0;
    long seen = 0;
    std::atomic<bool> stop{false};

    void ReadInJob() { seen += counted; }

public slots:
    void ReadInQueuedCall() { seen += counted; }
    void OnTick() {
        seen += counted;
        if (++ticks_ == 50)
            QCoreApplication::quit();
    }

private:
    int ticks_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const char* mode = argc > 1 ? argv[1] : "slot";
    PlantedRace race;
    rm525::gui::EventThreadCall call;
    // Standard threads: their join is a synchronisation TSan can see, unlike
    // QThread::wait, so the only race left to report is the planted one.
    std::thread worker([&race] {
        for (int i = 0; i < 200000 && !race.stop; ++i)
            race.counted = race.counted + 1;
    });
    // Reads from the GUI thread, asked for by a second thread.
    std::thread asker;
    auto ask = [&race, &call, mode] {
        for (int i = 0; i < 50; ++i) {
            if (std::strcmp(mode, "call") == 0) {
                call.Run([&race] { race.ReadInJob(); });
            } else if (std::strcmp(mode, "queued") == 0) {
                QMetaObject::invokeMethod(&race, "ReadInQueuedCall", Qt::QueuedConnection);
                QThread::msleep(1);
            }
        }
        QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
    };
    QTimer tick;
    if (std::strcmp(mode, "slot") == 0) {
        QObject::connect(&tick, &QTimer::timeout, &race, &PlantedRace::OnTick);
        tick.start(1);
    } else {
        asker = std::thread(ask);
    }
    const int status = app.exec();
    race.stop = true;
    worker.join();
    if (asker.joinable()) {
        asker.join();
    }
    return status == 0 && race.seen >= 0 ? 0 : 1;
}

#include "planted_race.moc"
