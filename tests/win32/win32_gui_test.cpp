// The Win32 desktop program's own pixels and windows, in process under Wine
// on an X display: the bar, the status line and the background drawn into
// memory device contexts and read back; every dialog template opened from
// the program's resources and driven by a test thread.

#include <windows.h>

#include <dlgs.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/dialog_look.h"
#include "app/win32/gdi_painting.h"
#include "app/win32/main_frame.h"
#include "app/win32/operation_runner.h"
#include "app/win32/prompt_dialogs.h"
#include "app/win32/resource_ids.h"
#include "app/win32/status_line_bar.h"
#include "app/win32/win32_front_end.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "link/win32/win32_text.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/firmware/firmware_test_files.h"
#include "tests/support/desktop_road.h"
#include "workflow/status_text.h"
#include "workflow/update_workflow.h"

using namespace rm525;
using namespace rm525::wingui;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A 32-bit picture in a memory device context, read back pixel by pixel.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
        const HBRUSH brush = CreateSolidBrush(fill);
        RECT all{0, 0, width, height};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const uint32_t p = static_cast<const uint32_t*>(bits_)[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    void* bits_ = nullptr;
};

HBITMAP LoadBitmapResource(int id) {
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// The figure strip as the program carries it, by pixel.
class Strip {
public:
    Strip() : canvas_(96, 16, kMagenta) {
        const HBITMAP strip = LoadBitmapResource(IDB_DIGITS);
        const HDC source = CreateCompatibleDC(nullptr);
        const HGDIOBJ old = SelectObject(source, strip);
        BitBlt(canvas_.dc(), 0, 0, 96, 16, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(strip);
    }
    bool Lit(int x, int y) const { return canvas_.At(x, y) == kYellow; }
    COLORREF At(int x, int y) const { return canvas_.At(x, y); }

private:
    Canvas canvas_;
};

constexpr int kH = 70;

// Every pixel of the bar's inside at `percent` is what the numbers say:
// blue left of the fill's edge, white right of it, and where the strip is
// lit in one of the figures' places, the other of the two.
void ExpectBar(int percent) {
    SCOPED_TRACE("percent " + std::to_string(percent));
    const HBITMAP digits = LoadBitmapResource(IDB_DIGITS);
    Canvas c(330, kH, RGB(192, 192, 192));
    ASSERT_TRUE(PaintProgressBar(c.dc(), kH, percent, digits));
    DeleteObject(digits);
    const Strip strip;
    char figures[8];
    std::snprintf(figures, sizeof figures, "%3d:", percent);
    // The black outline, one pixel, around (9, H-31) .. (311, H-11) exclusive.
    EXPECT_EQ(c.At(9, kH - 31), kBlack);
    EXPECT_EQ(c.At(310, kH - 12), kBlack);
    EXPECT_EQ(c.At(311, kH - 31), RGB(192, 192, 192));
    EXPECT_EQ(c.At(8, kH - 20), RGB(192, 192, 192));
    int wrong = 0;
    for (int y = kH - 30; y < kH - 12; ++y) {
        for (int x = 10; x < 310; ++x) {
            const bool filled = x < 10 + 3 * percent;
            bool lit = false;
            const int place = (x - 140) / 8;
            if (x >= 140 && y >= kH - 27 && y < kH - 17 && place >= 0 && place < 4) {
                const char ch = figures[place];
                const int width = ch == ':' ? 12 : 8;
                const int from = (ch - '0') * 8 + (x - 140 - 8 * place);
                if (ch != ' ' && x - 140 - 8 * place < width) {
                    lit = strip.Lit(from, y - (kH - 27));
                }
            }
            // The percent sign is wider than its place: its last columns
            // lie beyond the four places.
            if (x >= 164 && x < 176 && y >= kH - 27 && y < kH - 17) {
                lit = strip.Lit(80 + x - 164, y - (kH - 27));
            }
            const COLORREF want = (filled != lit) ? kBlue : kWhite;
            if (c.At(x, y) != want && ++wrong < 5) {
                ADD_FAILURE() << "pixel " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

class NoPorts : public SerialPortFactory {
public:
    std::unique_ptr<SerialPort> Open(int, OpenFailure*) override { return nullptr; }
};

class StillClock : public Clock {
public:
    uint32_t NowMs() override { return 0; }
    void SleepUntil(uint32_t) override {}
};

class QuietFrontEnd : public FrontEnd {
public:
    bool ChoosePort(UpdateWorkflow&, int16_t*) override { return false; }
    int16_t ChooseFile(const std::string&, const std::string&, std::string*) override {
        return choose_result::kCancelled;
    }
    PromptResult RunPrompt(PromptKind, int16_t, const std::string&) override {
        return PromptResult::Cancel;
    }
    void ShowErrorMessage(const std::string&) override {}
    void StatusChanged(const std::string&) override {}
    bool ShowProgress(int, int, const char*) override { return true; }
    void CloseProgress() override {}
    void SetBusyCursor(bool) override {}
    void Repaint() override {}
};

// The dialog of `thread` that is open now, or null: one without an owner,
// or with `owned`, any.
HWND OpenDialog(DWORD thread, bool owned = false) {
    struct Search {
        bool owned;
        HWND found = nullptr;
    } search{owned};
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM out) -> BOOL {
            auto* search = reinterpret_cast<Search*>(out);
            wchar_t name[16] = L"";
            GetClassNameW(window, name, 16);
            if (std::wstring(name) == L"#32770" && IsWindowVisible(window) &&
                (search->owned || GetWindow(window, GW_OWNER) == nullptr)) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs `modal` on this thread while `drive` acts on the dialog it opens,
// from a test thread, once the dialog is shown.
void WithDriver(const std::function<void()>& modal, const std::function<void(HWND)>& drive) {
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread driver([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 2000 && dialog == nullptr; ++i) {  // 20 s
            dialog = OpenDialog(self);
            if (dialog == nullptr) {
                Sleep(10);
            }
        }
        if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog opened";
            return;
        }
        drive(dialog);
        done = true;
    });
    modal();
    driver.join();
    EXPECT_TRUE(done);
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

void Press(HWND dialog, WPARAM key) {
    PostMessageW(dialog, WM_KEYDOWN, key, 0);
    PostMessageW(dialog, WM_KEYUP, key, 0);
}

// A dialog's outer frame: caption, modal frame, and no system menu.
void ExpectDialogFrame(HWND dialog) {
    const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
    EXPECT_EQ(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_NE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
}

struct ButtonSpec {
    int id;
    const wchar_t* text;
};

}  // namespace

// ---- painting ----------------------------------------------------------------

TEST(Win32Painting, BarAtTheEdgeCases) {
    for (int percent : {0, 1, 47, 48, 49, 50, 51, 52, 53, 54, 55, 100}) {
        ExpectBar(percent);
    }
}

TEST(Win32Painting, BarWithoutStripHasNoFigures) {
    Canvas c(330, kH, RGB(192, 192, 192));
    ASSERT_TRUE(PaintProgressBar(c.dc(), kH, 0, nullptr));
    for (int x = 10; x < 310; ++x) {
        EXPECT_EQ(c.At(x, kH - 22), kWhite) << x;
    }
}

TEST(Win32Painting, StatusLineTextsAtTwoFive) {
    char id[33];
    for (int i = 0; i < 32; ++i) {
        id[i] = static_cast<char>('A' + i % 26);
    }
    id[32] = '\0';
    const VersionChars version{'0', '1', '0', '5'};
    for (int16_t kind : {status_kind::kSelectPort, status_kind::kSearching, status_kind::kCamera,
                         status_kind::kBlank}) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        const std::wstring text = win32::Widen(BuildStatusText(kind, true, id, version));
        Canvas c(1000, 30, kMagenta);
        PaintStatusText(c.dc(), text);
        if (kind == status_kind::kBlank) {
            EXPECT_TRUE(text.empty());
            EXPECT_EQ(c.At(2, 5), kMagenta);
            continue;
        }
        // The text's cell, opaque in the default colours, exactly from (2, 5)
        // over the whole text: nothing cut off, a 32-character ID included.
        SIZE extent{};
        GetTextExtentPoint32W(c.dc(), text.c_str(), static_cast<int>(text.size()), &extent);
        EXPECT_EQ(c.At(1, 5), kMagenta);
        EXPECT_EQ(c.At(2, 4), kMagenta);
        EXPECT_NE(c.At(2, 5), kMagenta);
        EXPECT_NE(c.At(2 + extent.cx - 1, 5 + extent.cy - 1), kMagenta);
        EXPECT_EQ(c.At(2 + extent.cx, 5), kMagenta);
        EXPECT_EQ(c.At(2, 5 + extent.cy), kMagenta);
    }
    const std::string camera = BuildStatusText(status_kind::kCamera, true, id, version);
    EXPECT_NE(camera.find(id), std::string::npos);
}

namespace {

// The background as the numbers say: copies of the picture 7 pixels in at
// the sides and 5 at top and bottom, while wider than 506 and taller than 358.
void ExpectBackground(int width, int height) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const HBITMAP picture = LoadBitmapResource(IDB_BACKGROUND);
    ASSERT_NE(picture, nullptr);
    Canvas painted(width, height, kMagenta);
    PaintBackground(painted.dc(), RECT{0, 0, width, height}, picture);
    Canvas want(width, height, kMagenta);
    const HDC source = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(source, picture);
    SetStretchBltMode(want.dc(), COLORONCOLOR);
    int copies = 0;
    for (RECT r{0, 0, width, height}; r.right - r.left > 506 && r.bottom - r.top > 358;
         r = RECT{r.left + 7, r.top + 5, r.right - 7, r.bottom - 5}) {
        StretchBlt(want.dc(), r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, 506,
                   358, SRCCOPY);
        ++copies;
    }
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(picture);
    int wrong = 0;
    for (int y = 0; y < height; y += 3) {
        for (int x = 0; x < width; x += 3) {
            wrong += painted.At(x, y) != want.At(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
    if (copies == 0) {
        EXPECT_EQ(painted.At(width / 2, height / 2), kMagenta);
    } else {
        EXPECT_NE(painted.At(0, 0), kMagenta);
        EXPECT_NE(painted.At(width - 1, height - 1), kMagenta);
    }
}

}  // namespace

TEST(Win32Painting, BackgroundNest) {
    ExpectBackground(507, 359);
    ExpectBackground(506, 1000);
    ExpectBackground(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// ---- dialogs -------------------------------------------------------------------

namespace {

struct PromptCase {
    PromptKind kind;
    int templateId;
    std::vector<ButtonSpec> buttons;
};

const std::vector<PromptCase> kPrompts = {
    {PromptKind::Continue, IDD_CONTINUE, {{IDOK, L"Continue"}, {IDCANCEL, L"Quit"}}},
    {PromptKind::Reselect, IDD_RESELECT, {{IDOK, L"Continue"}, {IDCANCEL, L"Quit"}}},
    {PromptKind::Success, IDD_SUCCESS, {{IDOK, L"OK"}}},
    {PromptKind::Failure, IDD_FAILURE, {{IDOK, L"Quit"}}},
    {PromptKind::NoCamera, IDD_NO_CAMERA, {{IDOK, L"Exit"}}},
};

}  // namespace

TEST(Win32Dialogs, PromptsShowTheirTextAndAnswerEnterAndEscape) {
    const std::wstring text =
        L"\nSelected file is wrong.\nTo select correct file, click Continue button.";
    for (const PromptCase& prompt : kPrompts) {
        SCOPED_TRACE("template " + std::to_string(prompt.templateId));
        EXPECT_EQ(PromptTemplate(prompt.kind), prompt.templateId);
        for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
            INT_PTR result = 0;
            WithDriver(
                [&] { result = RunPromptDialog(nullptr, prompt.templateId, text, Placer()); },
                [&](HWND dialog) {
                    ExpectDialogFrame(dialog);
                    EXPECT_EQ(TextOf(dialog), Caption());
                    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_MESSAGE)), text);
                    EXPECT_NE(
                        GetWindowLongPtrW(GetDlgItem(dialog, IDC_MESSAGE), GWL_STYLE) & SS_CENTER,
                        0);
                    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDOK);
                    for (const ButtonSpec& b : prompt.buttons) {
                        EXPECT_EQ(TextOf(GetDlgItem(dialog, b.id)), b.text);
                    }
                    Press(dialog, key);
                });
            EXPECT_EQ(result, key == VK_RETURN ? IDOK : IDCANCEL);
        }
    }
}

TEST(Win32Dialogs, SystemCloseDoesNothing) {
    INT_PTR result = 0;
    WithDriver([&] { result = RunPromptDialog(nullptr, IDD_CONTINUE, L"x", Placer()); },
               [&](HWND dialog) {
                   // A close from the system is no Quit: the dialog stays.
                   SendMessageW(dialog, WM_CLOSE, 0, 0);
                   SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                   EXPECT_TRUE(IsWindowVisible(dialog));
                   Press(dialog, VK_RETURN);
               });
    EXPECT_EQ(result, IDOK);
}

TEST(Win32Dialogs, PromptsArePlacedByTheViewRectangle) {
    QuietFrontEnd frontEnd;
    NoPorts ports;
    StillClock clock;
    UpdateWorkflow workflow(frontEnd, ports, clock);
    workflow.m_rcView = ViewRect{0, 0, 800, 600};
    const UpdateWorkflow* wf = &workflow;
    for (int templateId : {IDD_CONTINUE, IDD_NO_CAMERA}) {
        WithDriver([&] { RunPromptDialog(nullptr, templateId, L"x", WorkflowPlacer(&wf)); },
                   [&](HWND dialog) {
                       RECT r{};
                       GetWindowRect(dialog, &r);
                       const int w = r.right - r.left, h = r.bottom - r.top;
                       EXPECT_EQ(r.left, 400 - w / 2);
                       EXPECT_EQ(r.top, 300 - h / 2);
                       Press(dialog, VK_RETURN);
                   });
    }
    // A view smaller than the dialog: at the screen's corner, not beyond it.
    workflow.m_rcView = ViewRect{0, 0, 50, 40};
    WithDriver([&] { RunPromptDialog(nullptr, IDD_PORT, L"", WorkflowPlacer(&wf)); },
               [&](HWND dialog) {
                   RECT r{};
                   GetWindowRect(dialog, &r);
                   EXPECT_EQ(r.left, 0);
                   EXPECT_EQ(r.top, 0);
                   Press(dialog, VK_ESCAPE);
               });
}

namespace {

// The port dialog, driven by `drive`; its result and port.
std::pair<bool, int16_t> RunPort(const std::function<void(HWND)>& drive) {
    bool ok = false;
    int16_t port = -1;
    WithDriver([&] { ok = RunPortDialog(nullptr, Placer(), &port); }, drive);
    return {ok, port};
}

}  // namespace

TEST(Win32Dialogs, PortDialogTemplate) {
    RunPort([](HWND dialog) {
        ExpectDialogFrame(dialog);
        EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDOK);
        EXPECT_EQ(TextOf(GetDlgItem(dialog, IDOK)), L"&OK");
        EXPECT_EQ(TextOf(GetDlgItem(dialog, IDCANCEL)), L"&Quit");
        EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_MESSAGE)), L"Connect Port");
        // Keyboard order: OK, the group box, COM1..COM4, AUTO, Quit, COM5..COM9.
        const std::vector<int> order = {IDOK,     100, 112, 113, 114, 115, 111,
                                        IDCANCEL, 116, 117, 118, 119, 120};
        std::vector<int> got;
        for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            got.push_back(GetDlgCtrlID(c));
            const LONG_PTR style = GetWindowLongPtrW(c, GWL_STYLE);
            const int id = GetDlgCtrlID(c);
            // The template makes only OK and Quit tab stops; the system gives
            // the checked radio button one of its own (BM_SETCHECK), so
            // that Tab reaches the group. The group box starts the group.
            EXPECT_EQ((style & WS_TABSTOP) != 0, id == IDOK || id == IDCANCEL || id == 111) << id;
            if (id >= 111 && id <= 120) {
                EXPECT_EQ(style & BS_TYPEMASK, BS_AUTORADIOBUTTON) << id;
                EXPECT_EQ(style & WS_GROUP, 0) << id;
                EXPECT_EQ(TextOf(c),
                          id == 111 ? std::wstring(L"AUTO") : L"COM" + std::to_wstring(id - 111));
                EXPECT_EQ(IsDlgButtonChecked(dialog, id), id == 111 ? BST_CHECKED : BST_UNCHECKED);
            }
            if (id == 100) {
                EXPECT_NE(style & WS_GROUP, 0);
            }
        }
        EXPECT_EQ(got, order);
        Press(dialog, VK_ESCAPE);
    });
}

TEST(Win32Dialogs, PortDialogResults) {
    EXPECT_EQ(RunPort([](HWND d) { Press(d, VK_RETURN); }), std::make_pair(true, int16_t{0}));
    EXPECT_EQ(RunPort([](HWND d) {
                  SendMessageW(GetDlgItem(d, 112), BM_CLICK, 0, 0);
                  // One group: choosing COM1 clears AUTO.
                  EXPECT_EQ(IsDlgButtonChecked(d, 111), BST_UNCHECKED);
                  SendMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0);
              }),
              std::make_pair(true, int16_t{1}));
    EXPECT_EQ(RunPort([](HWND d) {
                  SendMessageW(GetDlgItem(d, 120), BM_CLICK, 0, 0);
                  Press(d, VK_RETURN);
              }),
              std::make_pair(true, int16_t{9}));
    EXPECT_FALSE(
        RunPort([](HWND d) { SendMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }).first);
    EXPECT_FALSE(RunPort([](HWND d) { Press(d, VK_ESCAPE); }).first);
}

TEST(Win32Dialogs, AboutBoxAndProgressTemplate) {
    WithDriver([] { RunAboutBox(nullptr); },
               [](HWND dialog) {
                   ExpectDialogFrame(dialog);
                   EXPECT_EQ(TextOf(dialog),
                             L"About Quelm RM520/RM525 Zoom Camera Update Software");
                   EXPECT_EQ(TextOf(GetDlgItem(dialog, IDOK)), L"OK");
                   Press(dialog, VK_RETURN);
               });
    const HWND progress = CreateDialogParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(progress, nullptr);
    ExpectDialogFrame(progress);
    EXPECT_EQ(TextOf(progress), Caption());
    EXPECT_EQ(TextOf(GetDlgItem(progress, IDC_MESSAGE)), L"");
    EXPECT_EQ(GetDlgItem(progress, IDOK), nullptr);  // no buttons
    DestroyWindow(progress);
}

TEST(Win32Shell, MainWindowHasCaptionAndSizingBorderOnly) {
    NoPorts ports;
    StillClock clock;
    CMainFrame frame(ports, clock);
    ASSERT_TRUE(frame.Create());
    const LONG_PTR style = GetWindowLongPtrW(frame.hwnd(), GWL_STYLE);
    EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), WS_CAPTION | WS_THICKFRAME);
    EXPECT_EQ(TextOf(frame.hwnd()), Caption());
    EXPECT_EQ(GetMenu(frame.hwnd()), nullptr);
    EXPECT_EQ(frame.StatusLine()->Text(), L"Select the communication port. ");
    // FillDesktop: the desktop's rectangle, not maximised.
    RECT outer{}, desktop{};
    GetWindowRect(frame.hwnd(), &outer);
    GetClientRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(outer.left, desktop.left);
    EXPECT_EQ(outer.top, desktop.top);
    EXPECT_EQ(outer.right, desktop.right);
    EXPECT_EQ(outer.bottom, desktop.bottom);
    EXPECT_FALSE(IsZoomed(frame.hwnd()));
    // The system's close does nothing; the program's own command closes.
    SendMessageW(frame.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(frame.hwnd()));
    SendMessageW(frame.hwnd(), WM_COMMAND, ID_APP_CLOSE, 0);
    EXPECT_EQ(frame.hwnd(), nullptr);
    EXPECT_EQ(g_pWorkflow, nullptr);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// ---- camera operations off the window thread ---------------------------------

TEST(Win32Shell, OperationRunsOnAWorkerWhileTheWindowThreadServesIt) {
    NoPorts ports;
    StillClock clock;
    CMainFrame frame(ports, clock);
    ASSERT_TRUE(frame.Create());
    const DWORD windowThread = GetCurrentThreadId();
    DWORD operationThread = 0;
    DWORD servedOn = 0;
    LRESULT endSession = TRUE;
    frame.FrontEnd()->RunCameraOperation([&] {
        operationThread = GetCurrentThreadId();
        // A call carried over is done on the window thread, and waited for.
        frame.FrontEnd()->StatusChanged("carried over");
        servedOn = frame.StatusLine()->Text() == L"carried over" ? 1 : 0;
        // Logoff or shutdown while the camera works: refused.
        endSession = SendMessageW(frame.hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    });
    EXPECT_NE(operationThread, windowThread);
    EXPECT_EQ(servedOn, 1u);
    EXPECT_EQ(endSession, FALSE);
    EXPECT_FALSE(frame.FrontEnd()->CameraOperationRunning());
    // Nothing running: the session may end.
    EXPECT_EQ(SendMessageW(frame.hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    SendMessageW(frame.hwnd(), WM_COMMAND, ID_APP_CLOSE, 0);
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

TEST(Win32Shell, UserInputIsToldFromTheRest) {
    for (UINT m : {UINT{WM_KEYDOWN}, UINT{WM_SYSKEYDOWN}, UINT{WM_CHAR}, UINT{WM_LBUTTONDOWN},
                   UINT{WM_MOUSEMOVE}, UINT{WM_MOUSEWHEEL}, UINT{WM_NCLBUTTONDOWN}}) {
        EXPECT_TRUE(IsUserInput(MSG{nullptr, m, 0, 0, 0, {}})) << m;
    }
    EXPECT_TRUE(IsUserInput(MSG{nullptr, WM_SYSCOMMAND, SC_CLOSE, 0, 0, {}}));
    for (UINT m : {UINT{WM_PAINT}, UINT{WM_TIMER}, UINT{WM_SIZE}, UINT{WM_SETCURSOR}}) {
        EXPECT_FALSE(IsUserInput(MSG{nullptr, m, 0, 0, 0, {}})) << m;
    }
}

// ---- the road the Qt program's test takes too ------------------------------

namespace road = rm525::testing::desktop_road;

// The user of the road, on the window thread: a thread timer looks for the
// dialog that is up (inside its modal loop), writes down what it shows and
// acts on it, as the Qt program's test does from its event loop.
struct RoadUser {
    CMainFrame* frame = nullptr;
    const road::World* world = nullptr;
    std::vector<road::Seen> seen;
    HWND last = nullptr;  // answered, maybe not yet hidden
};
RoadUser* g_roadUser = nullptr;

std::string ButtonTexts(HWND dialog, LONG_PTR kind1, LONG_PTR kind2) {
    std::string texts;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[16] = L"";
        GetClassNameW(c, name, 16);
        const LONG_PTR kind = GetWindowLongPtrW(c, GWL_STYLE) & BS_TYPEMASK;
        if (_wcsicmp(name, L"Button") == 0 && (kind == kind1 || kind == kind2))
            texts += (texts.empty() ? "" : "|") + win32::Narrow(TextOf(c));
    }
    return texts;
}

road::Seen SeenIn(HWND dialog, const std::string& status) {
    const std::string buttons = ButtonTexts(dialog, BS_PUSHBUTTON, BS_DEFPUSHBUTTON);
    if (GetDlgItem(dialog, IDC_PORT_AUTO) != nullptr)
        return {"port", status, ButtonTexts(dialog, BS_AUTORADIOBUTTON, BS_RADIOBUTTON), buttons};
    if (GetDlgItem(dialog, IDC_MESSAGE) != nullptr)
        return {"prompt", status, win32::Narrow(TextOf(GetDlgItem(dialog, IDC_MESSAGE))), buttons};
    wchar_t type[256] = L"";
    const LRESULT at = SendDlgItemMessageW(dialog, cmb1, CB_GETCURSEL, 0, 0);
    SendDlgItemMessageW(dialog, cmb1, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(type));
    return {"chooser", status, win32::Narrow(type), ""};
}

void Click(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ChooseInChooser(HWND chooser, std::string path) {
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    SetDlgItemTextW(chooser, cmb13, win32::Widen(path).c_str());
    SetDlgItemTextW(chooser, edt1, win32::Widen(path).c_str());
    Click(chooser, IDOK);
}

void CALLBACK RoadStep(HWND, UINT, UINT_PTR, DWORD) {
    RoadUser& user = *g_roadUser;
    HWND dialog = OpenDialog(GetCurrentThreadId(), true);
    if (dialog == nullptr || dialog == user.last || user.seen.size() == road::kRoad.size())
        return;
    user.last = dialog;
    user.seen.push_back(SeenIn(dialog, win32::Narrow(user.frame->StatusLine()->Text())));
    switch (road::kRoad[user.seen.size() - 1].act) {
        case road::Act::Ok:
        case road::Act::Button1:
            return Click(dialog, IDOK);
        case road::Act::Button2:
        case road::Act::Cancel:
            return Click(dialog, IDCANCEL);
        case road::Act::ChooseWrongFile:
            return ChooseInChooser(dialog, user.world->wrong);
        case road::Act::ChooseSameFile:
            return ChooseInChooser(dialog, user.world->same);
    }
}

TEST(Win32Road, UpToTheTransferAsTheQtProgramShowsIt) {
    road::World world;
    RoadUser user;
    user.world = &world;
    CMainFrame frame(world.ports, world.clock);
    ASSERT_TRUE(frame.Create());
    user.frame = &frame;
    g_roadUser = &user;
    const UINT_PTR poll = SetTimer(nullptr, 0, 20, RoadStep);
    const UINT_PTR limit = SetTimer(nullptr, 0, 30000, [](HWND, UINT, UINT_PTR, DWORD) {
        ADD_FAILURE() << "the road did not end within 30 s";
        PostQuitMessage(1);
    });
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    KillTimer(nullptr, poll);
    KillTimer(nullptr, limit);
    g_roadUser = nullptr;
    EXPECT_EQ(road::Transcript(user.seen), road::Transcript(road::kRoad));
    EXPECT_EQ(world.camera.BlocksWritten(), 0);
    EXPECT_EQ(world.camera.ReleaseCount(), 1);
    EXPECT_FALSE(world.ports.AnyPortOpen());
}

// ---- dialog units, as the Qt program is to convert them ------------------------

// The client size in pixels of every template as the system lays it out
// (MapDialogRect), printed as "dialog-units ID WIDTH HEIGHT" lines: the
// facts that tests/app/dialog_units_facts.txt keeps for the Qt program's
// own conversion to be compared with.
TEST(Win32Dialogs, DialogUnitFacts) {
    for (int id : {IDD_ABOUTBOX, IDD_STATUS_LINE, IDD_CONTINUE, IDD_SUCCESS, IDD_RESELECT, IDD_PORT,
                   IDD_PROGRESS, IDD_FAILURE, IDD_NO_CAMERA}) {
        const HWND parent = id == IDD_STATUS_LINE ? GetDesktopWindow() : nullptr;
        const HWND dialog = CreateDialogParamW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), parent,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        ASSERT_NE(dialog, nullptr) << id;
        RECT client{};
        GetClientRect(dialog, &client);
        RECT base{0, 0, 4, 8};
        MapDialogRect(dialog, &base);
        std::printf("dialog-units %d %ld %ld base %ld %ld\n", id, client.right, client.bottom,
                    base.right, base.bottom);
        DestroyWindow(dialog);
    }
}
