#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"
#include "link/clock.h"
#include "link/serial_port.h"
#include "workflow/center_dialog.h"
#include "workflow/front_end.h"
#include "workflow/run_outcome.h"
#include "workflow/version_chars.h"

namespace rm525 {

class CameraLink;

// The application-wide object that carries one update: the update procedure
// (Run), the status line's state, the camera's identity and version as Run
// found them, the chosen file's version and model, and the view rectangle by
// which every dialog places itself. It knows no windows: everything shown
// goes through the FrontEnd it is given, and the camera through the serial
// ports and clock it is given.
class UpdateWorkflow {
public:
    // The rate index of the update line (38400 bit/s).
    static constexpr int kUpdateRateIndex = 3;

    UpdateWorkflow(FrontEnd& frontEnd, SerialPortFactory& ports, Clock& clock);
    virtual ~UpdateWorkflow();
    UpdateWorkflow(const UpdateWorkflow&) = delete;
    UpdateWorkflow& operator=(const UpdateWorkflow&) = delete;

    // Where a dialog of the given outer size opens (screen coordinates).
    virtual DialogPlacement CenterDialog(int32_t width, int32_t height) const;
    // Sets the status line to `kind` (status_kind) and tells the front end.
    virtual void SetStatus(int16_t kind);
    // One update run, from the port choice to the result. `viewClient` is the
    // view's client rectangle, by which the dialogs centre themselves.
    virtual void Run(const ViewRect& viewClient);
    virtual uint16_t ReadWordBE(const uint8_t* bytes) const;
    // Copies four characters into m_fileVersion.
    virtual void SetFileVersion(const char* chars);
    virtual int16_t CompareHeader(const uint8_t* data, const char* text, int16_t count) const;
    // The file chooser: choose_result::kChosen with the path, kCancelled, or
    // kFailed after telling the user "File not found error!". `open` is 1.
    virtual int16_t ChooseFirmwareFile(int open, std::string* path, const std::string& filter);
    // The whole file (at most its required size plus one byte) and its true
    // size; null after telling the user "File open or read error!".
    virtual std::unique_ptr<FirmwareImage> LoadFirmwareFile(const std::string& path, int64_t* size);
    virtual void ShowErrorMessage(const std::string& text);

    // The transfer's progress report (phase 0..3, percent, reserved): drives
    // the front end's progress display. Returns 0 when the front end asks the
    // transfer to stop, otherwise 1.
    int ProgressCallback(int phase, int percent, int reserved);

    RunOutcome LastOutcome() const { return lastOutcome_; }
    // Ports that could not be opened during the last failed Connect.
    const std::vector<OpenFailure>& LastOpenFailures() const { return lastOpenFailures_; }

    // ---- state shown by the front ends ----------------------------------
    int32_t m_bProgressOpen = 0;   // a progress display is open
    ViewRect m_rcView;             // the view's client rectangle, recorded by Run
    int32_t m_bCameraKnown = 0;    // camera identity and version were read
    VersionChars m_camVersion{};   // camera version characters; 2..4 are shown
    char m_szCameraId[33] = {};    // camera ID, at most 32 characters, terminated
    VersionChars m_fileVersion{};  // chosen file's characters at offsets 61..64
    std::string m_strStatus;       // the status line text
    int32_t m_nFileModel = 0;      // model code of the chosen file: 105 or 106

private:
    RunOutcome RunProcedure();
    RunOutcome ConnectCamera(std::unique_ptr<CameraLink>& link, int16_t port, bool* versionKnown);
    void RecordCamera(uint32_t versionDigits, const char* cameraId);
    std::unique_ptr<FirmwareImage> ChooseAcceptedFile(CameraLink& link, bool versionKnown,
                                                      const std::string& filter,
                                                      RunOutcome* giveUpOutcome);
    enum class FileCheck { Accepted, Wrong, MemoryError };
    FileCheck CheckFile(CameraLink& link, const FirmwareImage& image, int64_t size);
    bool ConfirmSameVersion();
    RunOutcome Transfer(std::unique_ptr<CameraLink> link, std::unique_ptr<FirmwareImage> image);
    RunOutcome GiveUp(std::unique_ptr<CameraLink> link, RunOutcome outcome);
    PromptResult Prompt(PromptKind kind, int16_t selector);

    FrontEnd& frontEnd_;
    SerialPortFactory& ports_;
    Clock& clock_;
    RunOutcome lastOutcome_ = RunOutcome::NotRun;
    std::vector<OpenFailure> lastOpenFailures_;
};

}  // namespace rm525
