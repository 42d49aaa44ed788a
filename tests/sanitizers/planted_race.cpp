// A data race planted on purpose, for the ThreadSanitizer stage to find: a
// worker thread counts into a plain integer while a slot on the GUI thread,
// called from Qt's event dispatch, reads it with no lock between them. The
// ThreadSanitizer build must report it and fail; if it ever passes, the
// suppressions have grown wide enough to hide races in our own code.
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {

class PlantedRace : public QObject {
    Q_OBJECT

public:
    // Written by the worker, read by the slot: unsynchronised on purpose.
    long counted = 0;
    long seen = 0;

public slots:
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
    PlantedRace race;
    QThread* worker = QThread::create([&race] {
        for (int i = 0; i < 200000; ++i)
            race.counted = race.counted + 1;
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &race, &PlantedRace::OnTick);
    tick.start(1);
    worker->start();
    const int status = app.exec();
    worker->wait();
    delete worker;
    return status == 0 && race.seen >= 0 ? 0 : 1;
}

#include "planted_race.moc"
