#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/exit_status.h"

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    g_stop.store(true);
}

// Ctrl+C and SIGTERM only ask to stop: the update procedure then takes its own
// road out, so that the camera is released and the port closed. No restart,
// so that a question waiting for input returns at once.
void InstallStopHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace rm525::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.options) {
        std::cerr << "rm525fw-cli: " << parsed.error << '\n' << UsageText();
        return exit_status::kUsage;
    }
    Console console{std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) == 1,
                    isatty(STDERR_FILENO) == 1};
    InstallStopHandlers();
    switch (parsed.options->verb) {
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
