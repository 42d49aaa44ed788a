#pragma once

#include <windows.h>

#include <functional>

namespace rm525::wingui {

// Runs one camera operation on a worker thread while the window thread
// keeps painting and answering the system, and carries the worker's calls
// over to the window thread one at a time, each waiting until it has been
// done there (SendMessage), so that an answer such as "stop" gets back.
//
// While an operation runs the user's input to every window of the thread
// (keys, shortcuts, mouse, the system's close command) is dropped, so
// nothing can start that the waiting update procedure would not expect.
class OperationRunner {
public:
    OperationRunner();  // on the window thread
    ~OperationRunner();
    OperationRunner(const OperationRunner&) = delete;
    OperationRunner& operator=(const OperationRunner&) = delete;

    // Returns when `operation` has ended. Window thread only.
    void Run(const std::function<void()>& operation);
    bool Running() const { return running_; }

    // Does `job` on the window thread and returns when it is done.
    void CallOnWindowThread(const std::function<void()>& job);
    bool OnWindowThread() const;

private:
    static LRESULT CALLBACK CallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    DWORD windowThread_;
    HWND callWindow_ = nullptr;
    bool running_ = false;
};

// True for the messages by which the user acts on a window.
bool IsUserInput(const MSG& message);

}  // namespace rm525::wingui
