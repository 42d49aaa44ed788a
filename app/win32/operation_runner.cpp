#include "app/win32/operation_runner.h"

#include <thread>

namespace rm525::wingui {

namespace {

constexpr UINT kCallMessage = WM_APP + 1;
constexpr wchar_t kCallWindowClass[] = L"rm525fw window-thread calls";

}  // namespace

bool IsUserInput(const MSG& message) {
    const UINT m = message.message;
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK) || m == WM_INPUT ||
           (m == WM_SYSCOMMAND && (message.wParam & 0xFFF0) == SC_CLOSE);
}

OperationRunner::OperationRunner() : windowThread_(GetCurrentThreadId()) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CallWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kCallWindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    callWindow_ = CreateWindowExW(0, kCallWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
}

OperationRunner::~OperationRunner() {
    if (callWindow_ != nullptr) {
        DestroyWindow(callWindow_);
    }
}

LRESULT CALLBACK OperationRunner::CallWindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    if (message == kCallMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool OperationRunner::OnWindowThread() const {
    return GetCurrentThreadId() == windowThread_;
}

void OperationRunner::CallOnWindowThread(const std::function<void()>& job) {
    if (OnWindowThread() || callWindow_ == nullptr) {
        job();
        return;
    }
    // Served by the window thread wherever it waits for messages: in Run's
    // loop below, in a modal loop, or in the main loop.
    SendMessageW(callWindow_, kCallMessage, 0, reinterpret_cast<LPARAM>(&job));
}

void OperationRunner::Run(const std::function<void()>& operation) {
    const HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (finished == nullptr) {
        operation();  // no event, no worker: at least the operation is done
        return;
    }
    running_ = true;
    std::thread worker([&] {
        operation();
        SetEvent(finished);
    });
    bool quit = false;
    WPARAM quitCode = 0;
    // A sent message (a call from the worker) is served inside the wait and
    // inside PeekMessage; posted ones are taken here, the user's dropped.
    while (MsgWaitForMultipleObjectsEx(1, &finished, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
           WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Kept for the loop that owns it, after the worker has ended.
                quit = true;
                quitCode = message.wParam;
            } else if (!IsUserInput(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    worker.join();
    CloseHandle(finished);
    running_ = false;
    if (quit) {
        PostQuitMessage(static_cast<int>(quitCode));
    }
}

}  // namespace rm525::wingui
