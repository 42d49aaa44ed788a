#pragma once

#include <QObject>

#include <functional>

namespace rm525::gui {

// Runs one camera operation on a worker thread while the event thread keeps
// repainting and answering the window system. Meanwhile the user's input
// (keys, shortcuts, mouse, close requests) is dropped, so nothing can be done that the
// waiting update procedure would not expect.
class CameraOperationRunner : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Returns when `operation` has ended, serving the event thread until then
    // even when the application is told to quit meanwhile. Call on the event
    // thread only.
    void Run(const std::function<void()>& operation);
    bool Running() const { return running_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool running_ = false;
};

// True for the events by which the user acts on a window.
bool IsUserInput(const QEvent& event);

}  // namespace rm525::gui
