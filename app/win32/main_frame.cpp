#include "app/win32/main_frame.h"

#include <commdlg.h>

#include "app/win32/dialog_look.h"
#include "app/win32/prompt_dialogs.h"
#include "app/win32/resource_ids.h"
#include "app/win32/rm525fw_view.h"
#include "app/win32/status_line_bar.h"
#include "app/win32/win32_front_end.h"
#include "link/win32/win32_text.h"
#include "res/messages.h"
#include "workflow/status_text.h"
#include "workflow/update_workflow.h"

namespace rm525::wingui {

UpdateWorkflow* g_pWorkflow = nullptr;

namespace {

constexpr wchar_t kFrameClass[] = L"CMainFrame";
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr wchar_t kTransferReason[] =
    L"The camera's firmware is being written. Stopping now would leave the camera unusable.";
constexpr wchar_t kWaitingReason[] =
    L"The camera update is waiting for an answer. Quit it first, so that the camera is "
    L"released.";

HBITMAP LoadBitmapResource(int id) {
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

}  // namespace

CMainFrame::CMainFrame(SerialPortFactory& ports, Clock& clock) : ports_(ports), clock_(clock) {}

CMainFrame::~CMainFrame() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    if (menu_ != nullptr) {
        DestroyMenu(menu_);
    }
    if (digits_ != nullptr) {
        DeleteObject(digits_);
    }
    if (background_ != nullptr) {
        DeleteObject(background_);
    }
}

bool CMainFrame::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kFrameClass;
    RegisterClassW(&windowClass);
    accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    menu_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    digits_ = LoadBitmapResource(IDB_DIGITS);
    background_ = LoadBitmapResource(IDB_BACKGROUND);

    window_ = CreateWindowExW(0, kFrameClass, Caption().c_str(), kFrameStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, kInitialWidth, kInitialHeight, nullptr, nullptr,
                              instance, this);
    if (window_ == nullptr) {
        const std::wstring text =
            win32::Widen(std::string(res::LoadMessage(res::msg::kCreateDocumentFailed)));
        GreyMessageBox(nullptr, text, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    ShowWindow(window_, SW_SHOW);
    view_->OnInitialUpdate();
    UpdateWindow(window_);
    return true;
}

LRESULT CALLBACK CMainFrame::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CMainFrame*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT CMainFrame::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (KeepBusyCursor(message)) {
        return TRUE;
    }
    switch (message) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_CLOSE:
            // The system's close (Alt+F4, the taskbar) does nothing: the
            // program ends through its dialogs' buttons or its own command.
            return 0;
        case WM_QUERYENDSESSION:
            return OnQueryEndSession();
        case WM_DESTROY:
            OnDestroy();
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            window_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

bool CMainFrame::OnCreate() {
    statusLine_ = std::make_unique<StatusLineBar>(window_);
    if (statusLine_->hwnd() == nullptr) {
        return false;
    }
    view_ = std::make_unique<Rm525fwView>(window_, background_);
    if (view_->hwnd() == nullptr) {
        return false;
    }
    frontEnd_ = std::make_unique<Win32FrontEnd>(window_, *statusLine_, *view_, digits_);
    g_pWorkflow = nullptr;
    workflow_ = std::make_unique<UpdateWorkflow>(*frontEnd_, ports_, clock_);
    g_pWorkflow = workflow_.get();
    frontEnd_->SetWorkflow(g_pWorkflow);
    g_pWorkflow->SetStatus(status_kind::kSelectPort);
    view_->SetFirstDrawHandler([] {
        if (g_pWorkflow != nullptr) {
            g_pWorkflow->SetStatus(status_kind::kSelectPort);
        }
    });
    view_->SetStartHandler([this] { RunProcedure(); });
    return FillDesktop() == 0;
}

int CMainFrame::FillDesktop() {
    RECT desktop{};
    const HWND desktopWindow = GetDesktopWindow();
    if (desktopWindow == nullptr || !GetClientRect(desktopWindow, &desktop)) {
        return 0;
    }
    MoveWindow(window_, desktop.left, desktop.top, desktop.right - desktop.left,
               desktop.bottom - desktop.top, TRUE);
    return 0;
}

void CMainFrame::Layout() {
    if (!statusLine_ || !view_) {
        return;
    }
    RECT client{};
    GetClientRect(window_, &client);
    const int barHeight = statusLine_->Height();
    MoveWindow(statusLine_->hwnd(), 0, 0, client.right, barHeight, TRUE);
    MoveWindow(view_->hwnd(), 0, barHeight, client.right, client.bottom - barHeight, TRUE);
}

void CMainFrame::RunProcedure() {
    if (g_pWorkflow == nullptr || running_) {
        return;
    }
    running_ = true;
    RECT client{};
    GetClientRect(view_->hwnd(), &client);
    g_pWorkflow->Run(ViewRect{client.left, client.top, client.right, client.bottom});
    running_ = false;
    closing_ = true;
    SendMessageW(window_, WM_COMMAND, ID_APP_CLOSE, 0);
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case ID_APP_CLOSE:
        case ID_APP_EXIT:
            // While the procedure runs only its own end closes the window:
            // Ctrl+Q must not pull the window from under a transfer.
            if (!running_ && window_ != nullptr) {
                DestroyWindow(window_);
            }
            break;
        case ID_FILE_NEW:
            if (!running_) {
                view_->OnInitialUpdate();
            }
            break;
        case ID_FILE_OPEN:
            if (!running_) {
                wchar_t name[MAX_PATH] = L"";
                OPENFILENAMEW ofn{};
                ofn.lStructSize = sizeof ofn;
                ofn.hwndOwner = window_;
                ofn.lpstrFile = name;
                ofn.nMaxFile = MAX_PATH;
                ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
                if (GetOpenFileNameW(&ofn)) {
                    view_->OnInitialUpdate();
                }
            }
            break;
        case ID_APP_ABOUT:
            RunAboutBox(window_);
            break;
        default:
            break;  // F6 and Shift+F6: no panes to move between
    }
}

LRESULT CMainFrame::OnQueryEndSession() {
    // A camera half written is unusable: no logoff or shutdown while the
    // firmware goes over or a camera operation holds the line.
    if (frontEnd_ && (frontEnd_->TransferRunning() || frontEnd_->CameraOperationRunning())) {
        ShutdownBlockReasonCreate(window_, kTransferReason);
        return FALSE;
    }
    // Between operations the procedure waits in one of its dialogs, deeper
    // on this thread's stack than this message: it cannot be wound up (the
    // camera released, the port closed) before the session would end, so
    // the owner is asked to answer it first.
    if (running_) {
        ShutdownBlockReasonCreate(window_, kWaitingReason);
        return FALSE;
    }
    ShutdownBlockReasonDestroy(window_);
    return TRUE;
}

void CMainFrame::OnDestroy() {
    if (frontEnd_) {
        frontEnd_->SetWorkflow(nullptr);
    }
    workflow_.reset();
    g_pWorkflow = nullptr;
}

}  // namespace rm525::wingui
