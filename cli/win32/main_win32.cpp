// rm525fw-cli on Windows: the arguments come as UTF-16 and are handed on in
// UTF-8, the program's own encoding; the console shows UTF-8 and draws the
// progress bar with terminal sequences; Ctrl+C asks the update to stop.
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/win32/console_stop.h"
#include "link/win32/win32_text.h"

namespace {

std::atomic<bool> g_stop{false};

std::vector<std::string> Arguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(rm525::win32::Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

// Only a console counts as a terminal: a file or a pipe (or NUL, which the
// C library takes for a character device) does not.
bool IsConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

void EnableTerminalSequences(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode))
        SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace

int main() {
    using namespace rm525::cli;
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    EnableTerminalSequences(STD_ERROR_HANDLE);
    EnableTerminalSequences(STD_OUTPUT_HANDLE);

    const ParseResult parsed = ParseArguments(Arguments());
    if (!parsed.options) {
        std::cerr << "rm525fw-cli: " << parsed.error << '\n' << UsageText();
        return exit_status::kUsage;
    }
    Console console{std::cin, std::cout, std::cerr, IsConsole(STD_INPUT_HANDLE),
                    IsConsole(STD_ERROR_HANDLE)};
    ConsoleStop stopHandler(g_stop);
    const Verb verb = parsed.options->verb;
    if (verb == Verb::Update || verb == Verb::Info)
        ConsoleStop::Install(stopHandler);
    switch (verb) {
        case Verb::Update:
            return RunUpdateCommand(*parsed.options, console, g_stop);
        case Verb::Info:
            return RunInfoCommand(*parsed.options, console);
        case Verb::Ports:
            return RunPortsCommand(console);
        case Verb::Inspect:
            return RunInspectCommand(*parsed.options, console);
        case Verb::Help:
            std::cout << UsageText();
            return exit_status::kInstalled;
    }
    return exit_status::kUsage;
}
