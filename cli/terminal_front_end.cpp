#include "cli/terminal_front_end.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <istream>
#include <ostream>
#include <thread>

#include "cli/cli_options.h"
#include "cli/file_problem.h"
#include "cli/sha256.h"
#include "cli/terminal_text.h"
#include "firmware/firmware_format.h"
#include "firmware/firmware_inspect.h"
#include "firmware/firmware_loader.h"
#include "link/protocol.h"
#include "res/messages.h"
#include "workflow/status_text.h"
#include "workflow/update_workflow.h"

namespace rm525::cli {

namespace {

bool IsOneButton(PromptKind kind) {
    return kind == PromptKind::Success || kind == PromptKind::Failure ||
           kind == PromptKind::NoCamera;
}

// The line after each result text that says what to do next, in the
// ReadMe's words.
constexpr char kNextAfterFailure[] =
    "Next: keep the camera connected and switched on, and run the same rm525fw-cli update "
    "command again.";
constexpr char kNextAfterMemoryError[] =
    "Next: nothing was written; the camera was released with its firmware unchanged.";
constexpr char kWhyNotFoundAfterSilence[] =
    "Why: a camera left in update mode by a stopped update listens at 38400 bit/s until a "
    "break resets the line, which a pulled cable or a pseudo-terminal cannot carry.";
constexpr char kNextAfterNoCamera[] =
    "Next: look at why each port was passed over (above), check the cable at both ends, then "
    "switch the camera off and on (a camera left in update mode stays in it) and run the same "
    "command again.";

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Times the transfer when nobody gives a clock.
class SteadyClock : public Clock {
public:
    uint32_t NowMs() override {
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }
    void SleepUntil(uint32_t targetMs) override {
        const auto ahead = static_cast<int32_t>(targetMs - NowMs());
        if (ahead > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ahead));
    }
};

}  // namespace

TerminalFrontEnd::TerminalFrontEnd(std::istream& in, std::ostream& out, std::ostream& err,
                                   TerminalSettings settings, StopRequest& stop, PortMapper mapPort,
                                   Explainer explain)
    : in_(in),
      out_(out),
      err_(err),
      settings_(std::move(settings)),
      stop_(stop),
      mapPort_(std::move(mapPort)),
      explain_(std::move(explain)) {
    if (!settings_.clock) {
        ownClock_ = std::make_unique<SteadyClock>();
        settings_.clock = ownClock_.get();
    }
}

TerminalFrontEnd::~TerminalFrontEnd() = default;

std::optional<std::string> TerminalFrontEnd::Ask(const std::string& question) {
    if (!settings_.interactive || stop_.Any())
        return std::nullopt;
    err_ << question << std::flush;
    std::string line;
    if (!std::getline(in_, line) || stop_.Any()) {
        // Ctrl+D ends this answer only: the next question reads afresh.
        in_.clear();
        err_ << '\n' << std::flush;
        return std::nullopt;
    }
    return line;
}

bool TerminalFrontEnd::ChoosePort(UpdateWorkflow& workflow, int16_t* port) {
    workflow_ = &workflow;
    if (settings_.port) {
        *port = *settings_.port;
        return true;
    }
    workflow.SetStatus(status_kind::kSelectPort);
    for (;;) {
        const auto answer =
            Ask(kHostPortSystem == PortSystem::Windows
                    ? "Port (AUTO, COMn or \\\\.\\COMn; empty for AUTO, q to quit): "
                    : "Port (AUTO, COM1..COM9 or a device path; empty for AUTO, q to quit): ");
        if (!answer)
            return false;
        const std::string word = Lower(*answer);
        if (word == "q" || word == "quit")
            return false;
        if (answer->empty()) {
            *port = 0;
            return true;
        }
        if (const auto mapped = mapPort_(Unquoted(*answer))) {
            *port = *mapped;
            return true;
        }
        err_ << "'" << EscapeControls(*answer) << "' is not a port.\n";
    }
}

int16_t TerminalFrontEnd::ChooseFile(const std::string& /*filter*/,
                                     const std::string& /*initialName*/, std::string* path) {
    summaryShown_ = false;
    if (settings_.file && !fileOffered_) {
        fileOffered_ = true;
        *path = *settings_.file;
        lastPath_ = *path;
        return choose_result::kChosen;
    }
    for (;;) {
        auto answer = Ask("Firmware file (*.fw; empty to cancel): ");
        if (answer)
            answer = Unquoted(*answer);
        if (!answer || answer->empty())
            return choose_result::kCancelled;
        // Like a file-open chooser: only a file that can be read can be chosen.
        const std::string problem = ReadProblem(*answer);
        if (problem.empty()) {
            *path = *answer;
            lastPath_ = *path;
            return choose_result::kChosen;
        }
        err_ << EscapeControls(*answer) << ": " << problem << '\n';
    }
}

PromptResult TerminalFrontEnd::AskContinueOrQuit() {
    for (;;) {
        const auto answer = Ask("[C]ontinue or [Q]uit? ");
        if (!answer)
            return PromptResult::Cancel;
        const std::string word = Lower(*answer);
        if (word == "c" || word == "continue")
            return PromptResult::Ok;
        if (word == "q" || word == "quit")
            return PromptResult::Cancel;
        err_ << (answer->empty() ? std::string("No answer given")
                                 : "'" + EscapeControls(*answer) + "' is not an answer")
             << ": type c (or continue) to go on, q (or quit) to stop.\n";
    }
}

// What is about to be written, before the same-version question or the
// transfer: the owner can still say no, or compare the body's hash with a
// published one.
void TerminalFrontEnd::PrintSummary() {
    if (summaryShown_ || !workflow_)
        return;
    summaryShown_ = true;
    const UpdateWorkflow& w = *workflow_;
    const LoadResult loaded = LoadFirmwareImage(lastPath_);
    const bool whole = loaded.image && loaded.fileSize == firmware::kFileSize;
    std::string port = "COM?";
    if (settings_.search && settings_.search->OpenPort() != 0)
        port = settings_.search->OpenPortLabel();
    else if (settings_.port && *settings_.port != 0)
        port = "COM" + std::to_string(*settings_.port);
    err_ << "Writing " << ModelName(w.m_nFileModel) << " firmware " << VersionText(w.m_fileVersion)
         << " over the camera's "
         << (w.m_bCameraKnown ? VersionText(w.m_camVersion) : std::string("(not read)")) << ", on "
         << EscapeControls(port) << ", from " << EscapeControls(lastPath_) << ", body SHA-256 "
         << (whole ? BodySha256(*loaded.image) : std::string("unknown")) << '\n'
         << std::flush;
}

// The header and the size passed, so the camera's memory check refused the
// file's model: with two models, the camera is the other one.
std::string TerminalFrontEnd::ModelMismatch() const {
    const int fileModel = workflow_ ? workflow_->m_nFileModel : 0;
    if (fileModel == protocol::kModelRm520 || fileModel == protocol::kModelRm525) {
        const int other =
            fileModel == protocol::kModelRm520 ? protocol::kModelRm525 : protocol::kModelRm520;
        return "the file is for the " + ModelName(fileModel) +
               "; the camera's memory check says the camera is an " + ModelName(other);
    }
    return "the camera's memory check says the file is not for it";
}

void TerminalFrontEnd::PrintExplanations() {
    // Unmapped numbers are named by the search lines already; their long
    // explanation helps only when no number had a device at all.
    bool anyDevice = false;
    for (const OpenFailure& f : openFailures_)
        anyDevice = anyDevice || !f.device.empty();
    bool hintGiven = false;
    for (const OpenFailure& f : openFailures_) {
        if (f.device.empty() && (anyDevice || hintGiven))
            continue;
        hintGiven = hintGiven || f.device.empty();
        err_ << explain_(f) << '\n';
    }
    err_ << std::flush;
    openFailures_.clear();
}

PromptResult TerminalFrontEnd::RunPrompt(PromptKind kind, int16_t selector,
                                         const std::string& text) {
    if (IsOneButton(kind)) {
        if (kind == PromptKind::NoCamera)
            stop_.Publish(StopPhase::NoPortOpen);  // the search closed every port
        if (kind == PromptKind::NoCamera && stop_.Any()) {
            // The search did not fail: the user ended it.
            err_ << "Stopped: the search for the camera was ended before it was complete.\n"
                 << std::flush;
            openFailures_.clear();
            return PromptResult::Ok;
        }
        out_ << text << '\n' << std::flush;
        if (kind == PromptKind::NoCamera) {
            PrintExplanations();
            if (settings_.search && settings_.search->AnyUnanswered())
                out_ << kWhyNotFoundAfterSilence << '\n';
            out_ << kNextAfterNoCamera << '\n';
        }
        if (kind == PromptKind::Failure)
            out_ << (selector == 0 ? kNextAfterFailure : kNextAfterMemoryError) << '\n';
        if (kind == PromptKind::Failure && selector == 0 && !settings_.readMePath.empty())
            out_ << "The ReadMe file is at " << settings_.readMePath << '\n';
        out_ << std::flush;
        return PromptResult::Ok;
    }
    const bool sameVersion = kind == PromptKind::Continue && selector == 1;
    if (sameVersion)
        PrintSummary();
    err_ << text << '\n';
    if (kind == PromptKind::Continue && selector == 0 && !lastPath_.empty()) {
        const std::string problem = ContentProblem(lastPath_);
        err_ << EscapeControls(lastPath_) << ": " << (problem.empty() ? ModelMismatch() : problem)
             << '\n';
    }
    err_ << std::flush;
    if (sameVersion && settings_.yes && !stop_.Any()) {
        err_ << "Continue (--yes)\n" << std::flush;
        return PromptResult::Ok;
    }
    // Without a terminal the answer is Quit: choosing the same file again
    // would only loop.
    const PromptResult result = AskContinueOrQuit();
    if (result == PromptResult::Cancel && !settings_.interactive)
        err_ << "Quit\n" << std::flush;
    return result;
}

void TerminalFrontEnd::ShowErrorMessage(const std::string& text) {
    if (settings_.progressBar)
        err_ << '\a';
    err_ << text << '\n';
    if (text == res::LoadMessage(res::msg::kFileReadError) && !lastPath_.empty()) {
        const std::string problem = ReadProblem(lastPath_);
        err_ << EscapeControls(lastPath_) << ": "
             << (problem.empty() ? "could not be read" : problem) << '\n';
    }
    err_ << std::flush;
}

void TerminalFrontEnd::StatusChanged(const std::string& text) {
    // The camera's ID is part of the line: shown, never obeyed.
    if (!text.empty())
        err_ << EscapeForTerminal(text) << '\n' << std::flush;
}

bool TerminalFrontEnd::ShowProgress(int phase, int percent, const char* text) {
    if (!transferGuarded_) {
        PrintSummary();
        stop_.Publish(StopPhase::Transferring);
        if (settings_.onTransfer)
            settings_.onTransfer(true);
        transferGuarded_ = true;
    }
    if (!progress_) {
        progress_.emplace(err_, settings_.progressBar, *settings_.clock,
                          static_cast<int64_t>(firmware::kBodySize), settings_.terminalSequences);
    }
    progress_->Show(phase, percent, text);
    // A hang-up does not stop a transfer that has begun: only Ctrl+C does.
    return !stop_.interrupted.load();
}

void TerminalFrontEnd::CloseProgress() {
    if (progress_)
        progress_->Close();
    // The transfer has released the camera (or left it in update mode) and
    // closed the port.
    stop_.Publish(StopPhase::NoPortOpen);
    if (transferGuarded_ && settings_.onTransfer)
        settings_.onTransfer(false);
    transferGuarded_ = false;
}

void TerminalFrontEnd::RunCameraOperation(const std::function<void()>& operation) {
    // The first camera operation of a run is the search; once it has ended
    // the camera is connected, unless the no-camera text follows.
    if (searched_) {
        operation();
        return;
    }
    searched_ = true;
    stop_.Publish(StopPhase::Searching);
    if (settings_.search)
        settings_.search->Begin();
    operation();
    if (settings_.search)
        settings_.search->End(settings_.search->OpenPort() != 0);
    stop_.Publish(StopPhase::Connected);
}

void TerminalFrontEnd::ExplainOpenFailures(const std::vector<OpenFailure>& failures) {
    // Shown below the no-camera text, which the workflow shows next.
    openFailures_ = failures;
}

}  // namespace rm525::cli
