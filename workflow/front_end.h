#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace rm525 {

class UpdateWorkflow;

// The five prompt windows of the update procedure, by template.
enum class PromptKind {
    Continue,  // 103: "Continue" (OK) / "Quit" (Cancel); selector 0 wrong file, 1 same version
    Reselect,  // 105: "Continue" (OK) / "Quit" (Cancel); file choice cancelled
    Success,   // 104: "OK"
    Failure,   // 1538: "Quit" (OK); selector 0 update failed, 1 camera memory error
    NoCamera,  // 1539: "Exit" (OK)
};

enum class PromptResult { Ok = 1, Cancel = 2 };

// Results of the file chooser.
namespace choose_result {
constexpr int16_t kChosen = 0;
constexpr int16_t kFailed = 11;
constexpr int16_t kCancelled = 100;
}  // namespace choose_result

// What the update procedure needs from whoever shows it to the user: the
// desktop windows, the terminal, or a test's script. The procedure itself is
// written once, in UpdateWorkflow::Run, against this interface.
//
// Every call comes from the thread that called Run, except ShowProgress and
// CloseProgress, which come from inside RunCameraOperation (so from whatever
// thread the front end runs camera operations on).
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // The port selection: true on OK with `port` 0 (AUTO) or 1..9; false on
    // Quit. Run itself sets the status line to the searching text (kind 1)
    // right after an OK, so the front end need not.
    virtual bool ChoosePort(UpdateWorkflow& workflow, int16_t* port) = 0;
    // The file-open chooser with the given filter (message 11, "|"-separated)
    // and initial name. Returns a choose_result code; on kChosen `path` holds
    // the chosen file's full path, of any length. On kFailed the workflow
    // tells the user ("File not found error!"); the front end says nothing.
    virtual int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                               std::string* path) = 0;
    // A modal prompt showing `text`, already built from the message table
    // (PromptText in workflow/prompt_text.h). Only Continue and Reselect read
    // the result: Ok = Continue, anything else = Quit.
    virtual PromptResult RunPrompt(PromptKind kind, int16_t selector, const std::string& text) = 0;
    // An error message with an OK button, after the system beep; captioned
    // with message 3. Returns when the user has dismissed it.
    virtual void ShowErrorMessage(const std::string& text) = 0;
    // The status line has changed to `text` (may be empty: a blank line).
    virtual void StatusChanged(const std::string& text) = 0;
    // Progress of the transfer. Phase 0 opens the display (percent 0), 1
    // updates it, 2 (completed, 100) and 3 (failed, percent reached) show the
    // final picture and hold it for a second; CloseProgress follows 2 and 3.
    // `text` is the progress text for the phase, null above phase 3.
    // Returns false to ask the transfer to stop after the current block; the
    // answer counts only for phases 0 and 1.
    virtual bool ShowProgress(int phase, int percent, const char* text) = 0;
    virtual void CloseProgress() = 0;
    // The wait cursor. Calls nest: every true is matched by one false later,
    // on every road through Run.
    virtual void SetBusyCursor(bool busy) = 0;
    // Repaint the main display now, so that the status line is current.
    virtual void Repaint() = 0;
    // Runs one camera operation (Connect, CheckCameraMemory, TransferFirmware,
    // CloseConnection) to its end. A window front end runs it off its event
    // thread and keeps the window answering meanwhile.
    virtual void RunCameraOperation(const std::function<void()>& operation) { operation(); }

    // Asked by Run before each file choice and before the transfer: true
    // makes Run give up (camera released, port closed) with the outcome
    // Interrupted. A front end with no way to interrupt keeps the default.
    virtual bool StopRequested() { return false; }
    // Called once before the "Camera can not be found." prompt with the ports
    // that could not be opened and why, so that a front end may explain them.
    virtual void ExplainOpenFailures(const std::vector<OpenFailure>& /*failures*/) {}
};

}  // namespace rm525
