// The Win32 backend's own logic, run under Wine: the line settings block,
// the port names, the clock's waits, Ctrl+C, the explanations of a port that
// would not open, and file names in UTF-8.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/platform.h"
#include "cli/session_end_win32.h"
#include "cli/stop_request.h"
#include "cli/stop_request_win32.h"
#include "cli/transfer_guard.h"
#include "firmware/firmware_loader.h"
#include "link/clock.h"
#include "link/protocol.h"
#include "link/win32/win32_clock.h"
#include "link/win32/win32_port_list.h"
#include "link/win32/win32_port_names.h"
#include "link/win32/win32_serial_port.h"
#include "link/win32/win32_text.h"

namespace rm525 {
namespace {

LineSettings UpdateLine(uint32_t baud) {
    LineSettings s;
    s.baudRate = baud;
    s.byteSize = 8;
    s.parity = Parity::None;
    s.stopBits = StopBits::One;
    s.parityCheck = false;
    s.abortOnError = true;
    return s;
}

TEST(Win32LineSettings, TheWholeBlockIsWrittenWithNoFlowControl) {
    const DCB dcb = MakeDcb(UpdateLine(9600));
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.fAbortOnError, 1u);
    // No flow control of any kind, whatever an earlier program left.
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_NE(dcb.XonChar, dcb.XoffChar);
}

TEST(Win32LineSettings, EveryRateOfTheTableGoesIntoTheBlockAsItStands) {
    const std::vector<uint32_t> rates(protocol::kHostBaud.begin() + 1, protocol::kHostBaud.end());
    EXPECT_EQ(rates, (std::vector<uint32_t>{9600, 19200, 38400, 56000, 115200}));
    for (uint32_t rate : rates)
        EXPECT_EQ(MakeDcb(UpdateLine(rate)).BaudRate, rate);
}

TEST(Win32PortNames, NumbersAreTheSystemsOwnPortsUnlessRedirected) {
    std::map<std::string, std::string> env;
    Win32PortNames names([&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
    EXPECT_EQ(names.Resolve(1), "\\\\.\\COM1");
    EXPECT_EQ(names.Resolve(9), "\\\\.\\COM9");
    EXPECT_EQ(names.Resolve(0), "");
    EXPECT_EQ(names.Resolve(10), "");
    env["RM525FW_COM3"] = "com12";
    EXPECT_EQ(names.Resolve(3), "\\\\.\\COM12");
    env["RM525FW_COM4"] = "\\\\.\\CNCB0";
    EXPECT_EQ(names.Resolve(4), "\\\\.\\CNCB0");
    env["RM525FW_COM5"] = "";
    EXPECT_EQ(names.Resolve(5), "\\\\.\\COM5");
    names.SetOverride(3, "COM7");
    EXPECT_EQ(names.Resolve(3), "\\\\.\\COM7");
    EXPECT_EQ(Win32PortNames::DevicePath("COM0"), "COM0");
    EXPECT_EQ(Win32PortNames::DevicePath("COMX"), "COMX");
}

// The waits of the protocol (the 30 ms gap, 100 ms between frames) must not
// end early, nor late by a tick of the 15.6 ms system timer.
TEST(Win32ClockTest, WaitsEndOnTheirMillisecond) {
    Win32Clock clock;
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    for (uint32_t ms : {30u, 100u}) {
        std::vector<double> elapsed;
        for (int i = 0; i < 9; ++i) {
            LARGE_INTEGER start{}, end{};
            QueryPerformanceCounter(&start);
            const uint32_t before = clock.NowMs();
            const uint32_t after = DelayMs(clock, ms);
            QueryPerformanceCounter(&end);
            EXPECT_GE(after - before, ms);
            elapsed.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart));
        }
        std::sort(elapsed.begin(), elapsed.end());
        EXPECT_GE(elapsed.front(), ms - 1.0) << "a wait of " << ms << " ms ended early";
        EXPECT_LT(elapsed[elapsed.size() / 2], ms + 5.0) << "a wait of " << ms << " ms overslept";
    }
    std::cout << "high-resolution waitable timer: " << (clock.highResolution() ? "yes" : "no")
              << '\n';
}

TEST(Win32ClockTest, ThirtyTwoBitsThatCountMilliseconds) {
    Win32Clock clock;
    const uint32_t a = clock.NowMs();
    Sleep(50);
    const uint32_t b = clock.NowMs();
    EXPECT_GE(b - a, 49u);
    EXPECT_LT(b - a, 500u);
    DelayMs(clock, 0);
}

TEST(ConsoleStopTest, FirstCtrlCAsksToStopTheSecondIsLeftToTheSystem) {
    cli::StopRequest request;
    cli::InstallStopHandlers(request);
    EXPECT_FALSE(cli::OnConsoleControl(CTRL_LOGOFF_EVENT));
    EXPECT_FALSE(request.Any());
    EXPECT_TRUE(cli::OnConsoleControl(CTRL_BREAK_EVENT));
    EXPECT_TRUE(request.interrupted.load());
    EXPECT_FALSE(request.hungUp.load());
    EXPECT_FALSE(cli::OnConsoleControl(CTRL_C_EVENT)) << "the second Ctrl+C ends the program";
}

// Windows ends the program once the handler returns: before that, the main
// thread must have seen the hang-up, released the camera and ended.
TEST(ConsoleStopTest, ClosingTheWindowWaitsForTheMainThreadToLetGo) {
    cli::StopRequest request;
    std::atomic<bool> installed{false};
    std::atomic<bool> released{false};
    std::thread mainThread([&] {
        cli::InstallStopHandlers(request);
        installed = true;
        while (!request.hungUp.load())
            Sleep(1);
        Sleep(300);  // the release takes its time
        released = true;
    });
    while (!installed.load())
        Sleep(1);
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(cli::OnConsoleControl(CTRL_CLOSE_EVENT));
    EXPECT_TRUE(released.load()) << "the handler returned before the camera was released";
    EXPECT_LT(GetTickCount64() - start, cli::kReleaseGraceMs);
    mainThread.join();
}

// A program with windows gets logoff and shutdown as window messages (the
// hidden window itself needs a display, which the Wine tests do not have).
TEST(ConsoleStopTest, TheSessionEndIsRefusedDuringTheTransferAndStopsTheRunBeforeIt) {
    cli::StopRequest request;
    cli::InstallStopHandlers(request);
    std::ostringstream err;
    cli::GuardTransfer(true, err);
    EXPECT_EQ(cli::OnSessionMessage(nullptr, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    EXPECT_FALSE(request.Any());
    cli::GuardTransfer(false, err);
    EXPECT_EQ(cli::OnSessionMessage(nullptr, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_TRUE(request.hungUp.load());
}

TEST(OpenFailureText, TheShortReasonNamesTheCommonCases) {
    OpenFailure f;
    f.systemError = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(cli::OpenFailureReason(f), "no such port");
    f.systemError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(cli::OpenFailureReason(f), "in use by another program");
    f.systemError = ERROR_GEN_FAILURE;
    const std::string other = cli::OpenFailureReason(f);
    ASSERT_FALSE(other.empty());
    EXPECT_NE(other.back(), '.');
    EXPECT_NE(other.back(), '\n');
}

TEST(OpenFailureText, SaysWhatTheUserCanDoInWindowsTerms) {
    OpenFailure f;
    f.portNumber = 4;
    f.device = "\\\\.\\COM4";
    f.systemError = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(ExplainOpenFailure(f),
              "COM4 (\\\\.\\COM4): no such port on this computer. `rm525fw-cli ports` lists the "
              "ports there are.");
    f.systemError = ERROR_ACCESS_DENIED;
    EXPECT_NE(ExplainOpenFailure(f).find("COM4 (\\\\.\\COM4): another program holds the port."),
              std::string::npos);
    f.systemError = ERROR_SHARING_VIOLATION;
    EXPECT_NE(ExplainOpenFailure(f).find("another program holds the port"), std::string::npos);
    f.systemError = ERROR_GEN_FAILURE;
    EXPECT_NE(ExplainOpenFailure(f).find("COM4 (\\\\.\\COM4): cannot be opened: "),
              std::string::npos);
}

TEST(Utf8Names, AFirmwareFileWithANonAsciiNameLoads) {
    const std::string name = "Kamera-\xC3\xA4-\xE5\x9B\xBA\xE4\xBB\xB6.fw";  // Kamera-ä-固件.fw
    EXPECT_EQ(win32::Narrow(win32::Widen(name)), name);
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring path = std::wstring(temp) + win32::Widen(name);
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char bytes[300] = {};
    DWORD written = 0;
    WriteFile(h, bytes, sizeof bytes, &written, nullptr);
    CloseHandle(h);

    const LoadResult loaded = LoadFirmwareImage(win32::Narrow(path));
    DeleteFileW(path.c_str());
    ASSERT_NE(loaded.image, nullptr) << "the loader took the UTF-8 name for the ANSI code page";
    EXPECT_EQ(loaded.fileSize, 300);
}

}  // namespace
}  // namespace rm525
