#include "app/qt/camera_operation_runner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>

#include <atomic>
#include <thread>

namespace rm525::gui {

bool IsUserInput(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::ContextMenu:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

void CameraOperationRunner::Run(const std::function<void()>& operation) {
    QEventLoop loop;
    std::atomic<bool> finished{false};
    running_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    std::thread worker([&] {
        operation();
        finished = true;
        // Queued, so that it also ends a loop that has not started yet, and
        // wakes this thread wherever it waits for events. By name, so that
        // the call is made and freed inside Qt, with nothing of ours in it.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    // The loop ends early when the application is told to quit, and a loop
    // started after that ends at once. The worker may be waiting for this
    // thread (a progress report, the status line): keep serving its calls
    // until it has finished, or the join below would wait for ever.
    while (!finished) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    worker.join();
    QCoreApplication::instance()->removeEventFilter(this);
    running_ = false;
}

bool CameraOperationRunner::eventFilter(QObject* watched, QEvent* event) {
    // Shortcuts are delivered to their QShortcut objects, not to a widget.
    if (IsUserInput(*event) && (watched->isWidgetType() || event->type() == QEvent::Shortcut)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace rm525::gui
