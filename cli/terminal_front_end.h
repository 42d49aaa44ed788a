#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/progress_printer.h"
#include "cli/search_report.h"
#include "cli/stop_request.h"
#include "link/clock.h"
#include "workflow/front_end.h"

namespace rm525::cli {

// What the terminal front end is told before the run.
struct TerminalSettings {
    std::optional<int16_t> port;      // given on the command line
    std::optional<std::string> file;  // given on the command line; offered at the first choice
    bool yes = false;                 // Continue on "Selected firmware matches camera version."
    bool interactive = false;         // standard input is a terminal: questions may be asked
    bool progressBar = false;         // standard error is a terminal: draw a bar, ring the bell
    bool terminalSequences = true;    // the terminal obeys ESC[K (not every Windows console)
    std::string readMePath;           // where the ReadMe is installed, named after a failure
    Clock* clock = nullptr;           // times the transfer; the system's steady clock if null
    SearchReport* search = nullptr;   // told when the camera search begins and ends
    std::function<void(bool running)> onTransfer;  // told when the transfer begins and ends
};

// The update procedure at a terminal. Standard error carries the
// conversation: status lines, the search, questions with the texts they
// belong to, progress and error messages; standard output carries the
// results (the success, failure and no-camera texts), so that output
// redirected to a file still leaves the questions on the terminal. Answers
// come from standard input when it is a terminal and from the settings
// otherwise.
class TerminalFrontEnd : public FrontEnd {
public:
    // Maps a port typed by the user to a port number; empty when not a port.
    using PortMapper = std::function<std::optional<int16_t>(const std::string&)>;
    using Explainer = std::function<std::string(const OpenFailure&)>;

    TerminalFrontEnd(std::istream& in, std::ostream& out, std::ostream& err,
                     TerminalSettings settings, StopRequest& stop, PortMapper mapPort,
                     Explainer explain);
    ~TerminalFrontEnd() override;

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
    void RunCameraOperation(const std::function<void()>& operation) override;
    // A hang-up counts as much as Ctrl+C before the transfer: nobody is left
    // to answer.
    bool StopRequested() override { return stop_.Any(); }
    void ExplainOpenFailures(const std::vector<OpenFailure>& failures) override;

private:
    // A line from standard input; empty when there is none (end of input,
    // interrupted, hung up, or not a terminal). Ctrl+D ends this question only.
    std::optional<std::string> Ask(const std::string& question);
    PromptResult AskContinueOrQuit();
    void PrintExplanations();
    void PrintSummary();
    std::string ModelMismatch() const;

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    TerminalSettings settings_;
    StopRequest& stop_;  // its phase is published here
    PortMapper mapPort_;
    Explainer explain_;
    std::unique_ptr<Clock> ownClock_;
    std::optional<ProgressPrinter> progress_;
    bool transferGuarded_ = false;
    const UpdateWorkflow* workflow_ = nullptr;  // known from the port choice on
    bool summaryShown_ = false;                 // for the file chosen last
    bool fileOffered_ = false;
    bool searched_ = false;
    std::string lastPath_;  // the file chosen last, named in file errors
    std::vector<OpenFailure> openFailures_;
};

}  // namespace rm525::cli
