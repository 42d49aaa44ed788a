#include <istream>
#include <ostream>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/port_setup.h"
#include "cli/terminal_front_end.h"
#include "workflow/update_workflow.h"

namespace rm525::cli {

int RunUpdateCommand(const CliOptions& options, Console& console, const std::atomic<bool>& stop) {
    if (!console.inputIsTerminal && (!options.port || !options.file)) {
        console.err << "rm525fw-cli: --port and --file are needed when standard input is not "
                       "a terminal\n"
                    << UsageText();
        return exit_status::kUsage;
    }
    PortSetup setup;
    std::string error;
    if (!setup.Open(options.trace, &error)) {
        console.err << "rm525fw-cli: " << error << '\n';
        return exit_status::kUsage;
    }
    TerminalSettings settings;
    if (options.port)
        settings.port = setup.MapPort(*options.port);
    settings.file = options.file;
    settings.yes = options.yes;
    settings.interactive = console.inputIsTerminal;
    settings.progressBar = console.errorIsTerminal;

    TerminalFrontEnd frontEnd(
        console.in, console.out, console.err, settings, stop,
        [&setup](const std::string& text) { return setup.MapPort(text); },
        [&setup](const OpenFailure& failure) { return setup.ExplainOpenFailure(failure); });
    UpdateWorkflow workflow(frontEnd, setup.ports(), setup.clock());
    workflow.Run(ViewRect{});
    return ExitStatusFor(workflow.LastOutcome(), stop.load());
}

}  // namespace rm525::cli
