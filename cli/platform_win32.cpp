#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <cctype>

#include "cli/console_win32.h"
#include "cli/platform.h"
#include "link/win32/win32_port_list.h"
#include "link/win32/win32_text.h"

namespace rm525::cli {

namespace {

DWORD StdHandleOf(int stream) {
    switch (stream) {
        case 0:
            return STD_INPUT_HANDLE;
        case 1:
            return STD_OUTPUT_HANDLE;
        default:
            return STD_ERROR_HANDLE;
    }
}

}  // namespace

void PrepareConsole() {
    PrepareWindowsConsole();
}

// argv holds the arguments in the ANSI code page, which loses what it cannot
// show; the wide command line has them all.
std::vector<std::string> ProgramArguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(win32::Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

// Only a console counts as a terminal: a file or a pipe (or NUL, which the
// C library takes for a character device) does not.
bool StreamIsTerminal(int stream) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(StdHandleOf(stream)), &mode) != 0;
}

// A console may take the mode and still print the sequence (older Windows,
// Wine): one that moved the cursor was printed, and is rubbed out again.
bool TerminalSequencesWork(int stream) {
    const HANDLE console = GetStdHandle(StdHandleOf(stream));
    DWORD mode = 0;
    CONSOLE_SCREEN_BUFFER_INFO before{};
    if (!GetConsoleMode(console, &mode) || (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0 ||
        !GetConsoleScreenBufferInfo(console, &before))
        return false;
    const char probe[] = "\x1b[K";
    DWORD written = 0;
    WriteConsoleA(console, probe, sizeof probe - 1, &written, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO after{};
    if (!GetConsoleScreenBufferInfo(console, &after))
        return false;
    if (after.dwCursorPosition.X == before.dwCursorPosition.X &&
        after.dwCursorPosition.Y == before.dwCursorPosition.Y)
        return true;
    SetConsoleCursorPosition(console, before.dwCursorPosition);
    WriteConsoleA(console, "   ", sizeof probe - 1, &written, nullptr);
    SetConsoleCursorPosition(console, before.dwCursorPosition);
    return false;
}

std::string ExecutableDirectory() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size())
        return {};
    path.resize(n);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : win32::Narrow(path.substr(0, slash));
}

std::string OpenFailureReason(const OpenFailure& failure) {
    switch (static_cast<DWORD>(failure.systemError)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such port";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return "in use by another program";
        default:
            break;
    }
    std::string text = win32::SystemErrorText(static_cast<DWORD>(failure.systemError));
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string ExplainPortFailure(const OpenFailure& failure) {
    return ExplainOpenFailure(failure);
}

}  // namespace rm525::cli
