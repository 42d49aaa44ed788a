#pragma once

#include <QObject>

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

namespace rm525::gui {

// Carries a call from a worker thread over to the thread this object lives
// on (the event thread) and waits until it has run there. The job is handed
// over under a standard mutex and its end is told through a condition
// variable, so the hand-off is ordered in a way ThreadSanitizer can follow;
// Qt is only asked, by a plain queued slot call, to wake the event thread.
class EventThreadCall : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Runs `job` on this object's thread and returns when it has ended,
    // rethrowing what it threw. Calls from several threads run one at a time,
    // each in the order it was made. On this object's own thread the job runs
    // at once (waiting for itself would never end).
    void Run(const std::function<void()>& job);

private slots:
    void RunPending();

private:
    std::mutex callers_;  // one call in flight at a time
    std::mutex mutex_;    // guards the fields below
    std::condition_variable ended_;
    const std::function<void()>* pending_ = nullptr;
    bool done_ = false;
    std::exception_ptr thrown_;
};

}  // namespace rm525::gui
