#pragma once

#include <cstdint>
#include <functional>
#include <string>

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
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // The port selection: true on OK with `port` 0 (AUTO) or 1..9. On OK the
    // front end first sets the status line to kind 1 (workflow.SetStatus(1)).
    virtual bool ChoosePort(UpdateWorkflow& workflow, int16_t* port) = 0;
    // The file-open chooser with the given filter and initial name. Returns a
    // choose_result code; on kChosen `path` holds the chosen file.
    virtual int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                               std::string* path) = 0;
    // A modal prompt showing `text` (already built from the message table).
    virtual PromptResult RunPrompt(PromptKind kind, int16_t selector, const std::string& text) = 0;
    // An error message with an OK button, after the system beep.
    virtual void ShowErrorMessage(const std::string& text) = 0;
    // The status line has changed to `text`.
    virtual void StatusChanged(const std::string& text) = 0;
    // Progress of the transfer (phases as the transfer reports them; `text`
    // may be null). For phases 2 and 3 it holds the final picture for a
    // second. Returns false to ask the transfer to stop.
    virtual bool ShowProgress(int phase, int percent, const char* text) = 0;
    virtual void CloseProgress() = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void Repaint() = 0;
    // Runs one camera operation to its end. A window front end runs it off
    // its event thread and keeps the window answering meanwhile.
    virtual void RunCameraOperation(const std::function<void()>& operation) { operation(); }
};

}  // namespace rm525
