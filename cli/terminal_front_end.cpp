#include "cli/terminal_front_end.h"

#include <filesystem>
#include <istream>
#include <ostream>

#include "res/messages.h"
#include "workflow/status_text.h"
#include "workflow/update_workflow.h"

namespace rm525::cli {

namespace {
bool IsOneButton(PromptKind kind) {
    return kind == PromptKind::Success || kind == PromptKind::Failure ||
           kind == PromptKind::NoCamera;
}
}  // namespace

TerminalFrontEnd::TerminalFrontEnd(std::istream& in, std::ostream& out, std::ostream& err,
                                   TerminalSettings settings, const std::atomic<bool>& stop,
                                   PortMapper mapPort, Explainer explain)
    : in_(in),
      out_(out),
      err_(err),
      settings_(std::move(settings)),
      stop_(stop),
      mapPort_(std::move(mapPort)),
      explain_(std::move(explain)),
      progress_(err, settings_.progressBar) {}

std::optional<std::string> TerminalFrontEnd::Ask(const std::string& question) {
    if (!settings_.interactive || stop_.load())
        return std::nullopt;
    out_ << question << std::flush;
    std::string line;
    if (!std::getline(in_, line) || stop_.load()) {
        in_.clear();
        out_ << '\n';
        return std::nullopt;
    }
    return line;
}

bool TerminalFrontEnd::ChoosePort(UpdateWorkflow& workflow, int16_t* port) {
    if (settings_.port) {
        *port = *settings_.port;
        return true;
    }
    workflow.SetStatus(status_kind::kSelectPort);
    for (;;) {
        const auto answer =
            Ask("Port (AUTO, COM1..COM9 or a device path; empty for AUTO, q to quit): ");
        if (!answer || *answer == "q" || *answer == "Q")
            return false;
        if (answer->empty()) {
            *port = 0;
            return true;
        }
        if (const auto mapped = mapPort_(*answer)) {
            *port = *mapped;
            return true;
        }
        err_ << "'" << *answer << "' is not a port.\n";
    }
}

int16_t TerminalFrontEnd::ChooseFile(const std::string& /*filter*/,
                                     const std::string& /*initialName*/, std::string* path) {
    if (settings_.file && !fileOffered_) {
        fileOffered_ = true;
        *path = *settings_.file;
        return choose_result::kChosen;
    }
    for (;;) {
        const auto answer = Ask("Firmware file (*.fw; empty to cancel): ");
        if (!answer || answer->empty())
            return choose_result::kCancelled;
        std::error_code ec;
        // Like a file-open chooser: only an existing file can be chosen.
        if (std::filesystem::is_regular_file(*answer, ec)) {
            *path = *answer;
            return choose_result::kChosen;
        }
        err_ << "No such file: " << *answer << '\n';
    }
}

PromptResult TerminalFrontEnd::AskContinueOrQuit() {
    for (;;) {
        const auto answer = Ask("[C]ontinue or [Q]uit? ");
        if (!answer)
            return PromptResult::Cancel;
        if (*answer == "c" || *answer == "C" || *answer == "continue")
            return PromptResult::Ok;
        if (*answer == "q" || *answer == "Q" || *answer == "quit")
            return PromptResult::Cancel;
    }
}

PromptResult TerminalFrontEnd::RunPrompt(PromptKind kind, int16_t selector,
                                         const std::string& text) {
    out_ << text << '\n' << std::flush;
    if (IsOneButton(kind))
        return PromptResult::Ok;
    const bool sameVersion = kind == PromptKind::Continue && selector == 1;
    if (sameVersion && settings_.yes && !stop_.load()) {
        out_ << "Continue (--yes)\n" << std::flush;
        return PromptResult::Ok;
    }
    // Without a terminal the answer is Quit: choosing the same file again
    // would only loop.
    const PromptResult result = AskContinueOrQuit();
    if (result == PromptResult::Cancel && !settings_.interactive)
        out_ << "Quit\n" << std::flush;
    return result;
}

void TerminalFrontEnd::ShowErrorMessage(const std::string& text) {
    if (settings_.interactive)
        err_ << '\a';
    err_ << text << '\n' << std::flush;
}

void TerminalFrontEnd::StatusChanged(const std::string& text) {
    if (!text.empty())
        out_ << text << '\n' << std::flush;
}

bool TerminalFrontEnd::ShowProgress(int phase, int percent, const char* text) {
    progress_.Show(phase, percent, text);
    return !stop_.load();
}

void TerminalFrontEnd::CloseProgress() {
    progress_.Close();
}

void TerminalFrontEnd::ExplainOpenFailures(const std::vector<OpenFailure>& failures) {
    for (const OpenFailure& f : failures)
        err_ << explain_(f) << '\n';
    err_ << std::flush;
}

}  // namespace rm525::cli
