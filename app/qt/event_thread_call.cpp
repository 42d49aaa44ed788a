#include "app/qt/event_thread_call.h"

#include <QMetaObject>
#include <QThread>

#include <utility>

namespace rm525::gui {

void EventThreadCall::Run(const std::function<void()>& job) {
    if (QThread::currentThread() == thread()) {
        job();
        return;
    }
    const std::lock_guard<std::mutex> oneCall(callers_);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        pending_ = &job;
        done_ = false;
        thrown_ = nullptr;
    }
    // By name, with nothing captured: Qt allocates and frees the call itself,
    // and the job stays with this thread, which owns it until the wait ends.
    QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return done_; });
    if (thrown_) {
        std::rethrow_exception(std::exchange(thrown_, nullptr));
    }
}

void EventThreadCall::RunPending() {
    const std::function<void()>* job = nullptr;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        job = std::exchange(pending_, nullptr);
    }
    if (job == nullptr) {
        return;
    }
    std::exception_ptr thrown;
    try {
        (*job)();
    } catch (...) {
        thrown = std::current_exception();
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        thrown_ = thrown;
        done_ = true;
    }
    ended_.notify_all();
}

}  // namespace rm525::gui
