#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/file_problem.h"
#include "cli/platform.h"
#include "cli/port_setup.h"
#include "cli/search_report.h"
#include "cli/terminal_front_end.h"
#include "cli/terminal_text.h"
#include "cli/transfer_guard.h"
#include "cli/utf8_path.h"
#include "res/messages.h"
#include "workflow/update_workflow.h"

namespace rm525::cli {

namespace {

// The trace is written from the start, so a trace file that is the firmware
// file would be emptied before the firmware is read.
bool IsSameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

}  // namespace

std::string ReadMeLocation() {
    namespace fs = std::filesystem;
    const std::string exeDir = ExecutableDirectory();
    if (!exeDir.empty()) {
        // Installed (bin/ beside share/doc/), or unpacked from the Windows
        // zip, where ReadMe.txt lies beside the program.
        const fs::path candidates[] = {
            (PathFromUtf8(exeDir) / ".." / RM525FW_DOCDIR_RELATIVE / "ReadMe").lexically_normal(),
            PathFromUtf8(exeDir) / "ReadMe.txt"};
        for (const fs::path& candidate : candidates) {
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec))
                return Utf8FromPath(candidate);
        }
    }
    // Run from a build tree: the ReadMe of the sources it was built from,
    // while they are still there. A path that does not exist is never named.
    const fs::path source = PathFromUtf8(RM525FW_SOURCE_README);
    std::error_code ec;
    if (fs::is_regular_file(source, ec))
        return Utf8FromPath(source);
    return {};
}

int RunUpdateCommand(const CliOptions& options, Console& console, StopRequest& stop) {
    if (!console.inputIsTerminal && (!options.port || !options.file)) {
        console.err << "rm525fw-cli: --port and --file are needed when standard input is not "
                       "a terminal\n"
                    << "Try 'rm525fw-cli update --help'.\n";
        return exit_status::kUsage;
    }
    if (options.file && options.trace && IsSameFile(*options.file, *options.trace)) {
        console.err << "rm525fw-cli: the trace file " << EscapeControls(*options.trace)
                    << " is the firmware file; the trace would overwrite it\n";
        return exit_status::kUsage;
    }
    // A file given on the command line that cannot be read ends the run
    // before any port is touched.
    if (options.file) {
        const std::string problem = ReadProblem(*options.file);
        if (!problem.empty()) {
            console.err << res::LoadMessage(res::msg::kFileReadError) << '\n'
                        << EscapeControls(*options.file) << ": " << problem << '\n';
            return exit_status::kFileError;
        }
        // Size and header are the file's own business: judged before any
        // port is touched, so that a wrong file does not wait for a search.
        const std::string wrong = ContentProblem(*options.file);
        if (!wrong.empty()) {
            console.err << "rm525fw-cli: " << EscapeControls(*options.file) << ": " << wrong
                        << "; no port was opened\n";
            return exit_status::kWrongFile;
        }
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
    settings.terminalSequences = settings.progressBar && TerminalSequencesWork(2);
    settings.readMePath = ReadMeLocation();
    settings.onTransfer = [&console](bool running) { GuardTransfer(running, console.err); };

    SearchReport search(
        setup.ports(), console.err, stop, [&setup](int n) { return setup.DeviceOf(n); },
        [](const OpenFailure& f) { return OpenFailureReason(f); });
    settings.search = &search;
    TerminalFrontEnd frontEnd(
        console.in, console.out, console.err, settings, stop,
        [&setup](const std::string& text) { return setup.MapPort(text); },
        [](const OpenFailure& failure) { return ExplainPortFailure(failure); });
    UpdateWorkflow workflow(frontEnd, search, setup.clock());
    workflow.Run(ViewRect{});
    return ExitStatusFor(workflow.LastOutcome(), stop.Any());
}

}  // namespace rm525::cli
