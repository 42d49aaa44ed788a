#include "cli/console_win32.h"

#include <cstdlib>
#include <iostream>

#include "link/win32/win32_text.h"

namespace rm525::cli {

namespace {

constexpr DWORD kReadChunk = 512;  // UTF-16 units per ReadConsoleW

UINT g_inputCodePage = 0;
UINT g_outputCodePage = 0;

void RestoreCodePages() {
    if (g_inputCodePage != 0)
        SetConsoleCP(g_inputCodePage);
    if (g_outputCodePage != 0)
        SetConsoleOutputCP(g_outputCodePage);
}

void EnableTerminalSequences(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode))
        SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace

ConsoleInputBuffer::int_type ConsoleInputBuffer::underflow() {
    if (gptr() != nullptr && gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    std::wstring wide(kReadChunk, L'\0');
    DWORD got = 0;
    if (!ReadConsoleW(console_, wide.data(), kReadChunk, &got, nullptr) || got == 0)
        return traits_type::eof();
    wide.resize(got);
    // Ctrl+Z at the start of a line is the console's end of input.
    if (wide[0] == L'\x1a')
        return traits_type::eof();
    std::erase(wide, L'\r');
    line_ = win32::Narrow(wide);
    if (line_.empty())
        return underflow();
    setg(line_.data(), line_.data(), line_.data() + line_.size());
    return traits_type::to_int_type(*gptr());
}

void PrepareWindowsConsole() {
    g_inputCodePage = GetConsoleCP();
    g_outputCodePage = GetConsoleOutputCP();
    std::atexit(RestoreCodePages);
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    EnableTerminalSequences(STD_ERROR_HANDLE);
    EnableTerminalSequences(STD_OUTPUT_HANDLE);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode)) {
        static ConsoleInputBuffer buffer(input);
        std::cin.rdbuf(&buffer);
    }
}

}  // namespace rm525::cli
