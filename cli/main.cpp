#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/platform.h"
#include "cli/stop_request.h"

namespace {
rm525::cli::StopRequest g_stop;
}  // namespace

int main(int argc, char** argv) {
    using namespace rm525::cli;
    // Before anything is written: a closed pipe or a dead terminal must not
    // end the program, least of all in the middle of a transfer.
    InstallStopHandlers(g_stop);
    PrepareConsole();

    const std::vector<std::string> args = ProgramArguments(argc, argv);
    const ParseResult parsed = ParseArguments(args);
    switch (parsed.request) {
        case Request::UsageError:
            std::cerr << "rm525fw-cli: " << parsed.error << '\n' << "Try 'rm525fw-cli --help'.\n";
            return exit_status::kUsage;
        case Request::Help:
            std::cout << (parsed.helpVerb ? VerbHelpText(*parsed.helpVerb) : HelpText());
            return exit_status::kDone;
        case Request::Version:
            std::cout << "rm525fw-cli " << RM525FW_VERSION << '\n';
            return exit_status::kDone;
        case Request::CompletionTable:
            std::cout << CompletionTable();
            return exit_status::kDone;
        case Request::Run:
            break;
    }
    Console console{std::cin, std::cout, std::cerr, StreamIsTerminal(0), StreamIsTerminal(2)};
    switch (parsed.options->verb) {
        case Verb::Update:
            return RunUpdateCommand(*parsed.options, console, g_stop);
        case Verb::Info:
            return RunInfoCommand(*parsed.options, console, g_stop);
        case Verb::Ports:
            return RunPortsCommand(console);
        case Verb::Inspect:
            return RunInspectCommand(*parsed.options, console);
        case Verb::Help:
            std::cout << HelpText();
            return exit_status::kDone;
    }
    return exit_status::kUsage;
}
