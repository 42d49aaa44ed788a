#include "app/camera_operation_runner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>

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
    running_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    std::thread worker([&] {
        operation();
        // Queued, so that it also ends a loop that has not started yet.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QCoreApplication::instance()->removeEventFilter(this);
    running_ = false;
}

bool CameraOperationRunner::eventFilter(QObject* watched, QEvent* event) {
    if (IsUserInput(*event) && watched->isWidgetType()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace rm525::gui
