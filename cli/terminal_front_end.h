#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "cli/progress_printer.h"
#include "workflow/front_end.h"

namespace rm525::cli {

// What the terminal front end is told before the run.
struct TerminalSettings {
    std::optional<int16_t> port;      // given on the command line
    std::optional<std::string> file;  // given on the command line; offered at the first choice
    bool yes = false;                 // Continue on "Selected firmware matches camera version."
    bool interactive = false;         // standard input is a terminal: questions may be asked
    bool progressBar = false;         // standard error is a terminal: draw a bar
};

// The update procedure at a terminal: the system's texts as they stand on
// standard output, errors and progress on standard error, answers from
// standard input when it is a terminal and from the settings otherwise.
class TerminalFrontEnd : public FrontEnd {
public:
    // Maps a port typed by the user to a port number; empty when not a port.
    using PortMapper = std::function<std::optional<int16_t>(const std::string&)>;
    using Explainer = std::function<std::string(const OpenFailure&)>;

    TerminalFrontEnd(std::istream& in, std::ostream& out, std::ostream& err,
                     TerminalSettings settings, const std::atomic<bool>& stop, PortMapper mapPort,
                     Explainer explain);

    bool ChoosePort(UpdateWorkflow& workflow, int16_t* port) override;
    int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                       std::string* path) override;
    PromptResult RunPrompt(PromptKind kind, int16_t selector, const std::string& text) override;
    void ShowErrorMessage(const std::string& text) override;
    void StatusChanged(const std::string& text) override;
    bool ShowProgress(int phase, int percent, const char* text) override;
    void CloseProgress() override;
    void SetBusyCursor(bool /*busy*/) override {}
    void Repaint() override {}
    bool StopRequested() override { return stop_.load(); }
    void ExplainOpenFailures(const std::vector<OpenFailure>& failures) override;

private:
    // A line from standard input; empty when there is none (end of input,
    // interrupted, or not a terminal).
    std::optional<std::string> Ask(const std::string& question);
    PromptResult AskContinueOrQuit();

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    TerminalSettings settings_;
    const std::atomic<bool>& stop_;
    PortMapper mapPort_;
    Explainer explain_;
    ProgressPrinter progress_;
    bool fileOffered_ = false;
};

}  // namespace rm525::cli
