#include "workflow/update_workflow.h"

#include <algorithm>
#include <cstring>

#include "firmware/firmware_format.h"
#include "firmware/firmware_header.h"
#include "firmware/firmware_loader.h"
#include "link/camera_link.h"
#include "res/messages.h"
#include "workflow/prompt_text.h"
#include "workflow/status_text.h"

namespace rm525 {

namespace {
// CheckCameraMemory's answers.
constexpr int kMemorySuits = 1;
constexpr int kMemoryDoesNotSuit = 0;

const char* ProgressText(int phase) {
    switch (phase) {
        case 0:
        case 1:
            return res::kProgressRunning.data();
        case 2:
            return res::kProgressCompleted.data();
        case 3:
            return res::kProgressFailed.data();
        default:
            return nullptr;
    }
}
}  // namespace

UpdateWorkflow::UpdateWorkflow(FrontEnd& frontEnd, SerialPortFactory& ports, Clock& clock)
    : frontEnd_(frontEnd), ports_(ports), clock_(clock) {}

UpdateWorkflow::~UpdateWorkflow() = default;

DialogPlacement UpdateWorkflow::CenterDialog(int32_t width, int32_t height) const {
    return CenterDialogPlacement(m_rcView, width, height);
}

void UpdateWorkflow::SetStatus(int16_t kind) {
    m_strStatus = BuildStatusText(kind, m_bCameraKnown != 0, m_szCameraId, m_camVersion);
    frontEnd_.StatusChanged(m_strStatus);
}

uint16_t UpdateWorkflow::ReadWordBE(const uint8_t* bytes) const {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void UpdateWorkflow::SetFileVersion(const char* chars) {
    std::copy_n(chars, m_fileVersion.size(), m_fileVersion.begin());
}

int16_t UpdateWorkflow::CompareHeader(const uint8_t* data, const char* text, int16_t count) const {
    return rm525::CompareHeader(data, text, count);
}

int16_t UpdateWorkflow::ChooseFirmwareFile(int /*open*/, std::string* path,
                                           const std::string& filter) {
    path->clear();
    const int16_t result = frontEnd_.ChooseFile(filter, InitialNameFromFilter(filter), path);
    if (result == choose_result::kChosen || result == choose_result::kCancelled)
        return result;
    ShowErrorMessage(std::string(res::LoadMessage(res::msg::kFileNotFound)));
    return choose_result::kFailed;
}

std::unique_ptr<FirmwareImage> UpdateWorkflow::LoadFirmwareFile(const std::string& path,
                                                                int64_t* size) {
    frontEnd_.SetBusyCursor(true);
    LoadResult loaded = LoadFirmwareImage(path);
    frontEnd_.SetBusyCursor(false);
    *size = loaded.fileSize;
    if (!loaded.image)
        ShowErrorMessage(std::string(res::LoadMessage(res::msg::kFileReadError)));
    return std::move(loaded.image);
}

void UpdateWorkflow::ShowErrorMessage(const std::string& text) {
    frontEnd_.ShowErrorMessage(text);
}

int UpdateWorkflow::ProgressCallback(int phase, int percent, int /*reserved*/) {
    if (phase == 0)
        m_bProgressOpen = 1;
    if (!m_bProgressOpen)
        return 1;
    const bool goOn = frontEnd_.ShowProgress(phase, percent, ProgressText(phase));
    if (phase == 2 || phase == 3) {
        frontEnd_.CloseProgress();
        m_bProgressOpen = 0;
        // The transfer is over: a stop asked now would only turn a finished
        // transfer into a failed one.
        return 1;
    }
    return goOn ? 1 : 0;
}

void UpdateWorkflow::Run(const ViewRect& viewClient) {
    m_rcView = viewClient;
    lastOpenFailures_.clear();
    lastOutcome_ = RunProcedure();
}

PromptResult UpdateWorkflow::Prompt(PromptKind kind, int16_t selector) {
    return frontEnd_.RunPrompt(kind, selector, PromptText(kind, selector, m_fileVersion));
}

RunOutcome UpdateWorkflow::RunProcedure() {
    const std::string filter(res::LoadMessage(res::msg::kFileFilter));
    int16_t port = CameraLink::kAutoPort;
    if (!frontEnd_.ChoosePort(*this, &port))
        return RunOutcome::QuitAtPortChoice;
    SetStatus(status_kind::kSearching);
    frontEnd_.Repaint();

    std::unique_ptr<CameraLink> link;
    bool versionKnown = false;
    const RunOutcome connected = ConnectCamera(link, port, &versionKnown);
    if (connected != RunOutcome::NotRun)
        return connected;

    RunOutcome giveUpOutcome = RunOutcome::NotRun;
    std::unique_ptr<FirmwareImage> image =
        ChooseAcceptedFile(*link, versionKnown, filter, &giveUpOutcome);
    if (!image)
        return GiveUp(std::move(link), giveUpOutcome);
    if (frontEnd_.StopRequested()) {
        frontEnd_.SetBusyCursor(false);
        image.reset();
        return GiveUp(std::move(link), RunOutcome::Interrupted);
    }
    return Transfer(std::move(link), std::move(image));
}

// Finds the camera. Returns NotRun when it is connected (and `link` holds
// it), otherwise the outcome of the run, with the link already deleted.
RunOutcome UpdateWorkflow::ConnectCamera(std::unique_ptr<CameraLink>& link, int16_t port,
                                         bool* versionKnown) {
    link = std::make_unique<CameraLink>(ports_, clock_);
    CameraStatusRecord status{};
    char idBuffer[sizeof m_szCameraId] = {};
    CameraIdentityRecord identity{};
    identity.idText = idBuffer;
    int32_t alreadyInUpdateMode = 0;

    frontEnd_.SetBusyCursor(true);
    frontEnd_.RunCameraOperation(
        [&] { link->Connect(port, kUpdateRateIndex, &status, &identity, &alreadyInUpdateMode); });
    frontEnd_.SetBusyCursor(false);

    if (link->GetErrorNumber() != 0) {
        // Connect has closed the port itself: nothing to release but the object.
        lastOpenFailures_ = link->openFailures();
        link.reset();
        if (!lastOpenFailures_.empty())
            frontEnd_.ExplainOpenFailures(lastOpenFailures_);
        Prompt(PromptKind::NoCamera, 0);
        return RunOutcome::CameraNotFound;
    }
    *versionKnown = alreadyInUpdateMode == 0;
    if (*versionKnown) {
        RecordCamera(status.versionDigits, idBuffer);
        SetStatus(status_kind::kCamera);
    } else {
        SetStatus(status_kind::kBlank);
    }
    return RunOutcome::NotRun;
}

void UpdateWorkflow::RecordCamera(uint32_t versionDigits, const char* cameraId) {
    std::memcpy(m_szCameraId, cameraId, sizeof m_szCameraId - 1);
    m_szCameraId[sizeof m_szCameraId - 1] = '\0';
    m_camVersion = CameraVersionChars(versionDigits);
    m_bCameraKnown = 1;
}

// The file loop: returns the image to install, with the wait cursor shown, or
// null with the outcome of giving up (the image freed, the cursor restored).
std::unique_ptr<FirmwareImage> UpdateWorkflow::ChooseAcceptedFile(CameraLink& link,
                                                                  bool versionKnown,
                                                                  const std::string& filter,
                                                                  RunOutcome* giveUpOutcome) {
    for (;;) {
        if (frontEnd_.StopRequested()) {
            *giveUpOutcome = RunOutcome::Interrupted;
            return nullptr;
        }
        std::string path;
        const int16_t chosen = ChooseFirmwareFile(1, &path, filter);
        if (chosen == choose_result::kCancelled) {
            frontEnd_.Repaint();
            if (Prompt(PromptKind::Reselect, 0) == PromptResult::Ok)
                continue;
            *giveUpOutcome = RunOutcome::QuitAtFileChoice;
            return nullptr;
        }
        if (chosen != choose_result::kChosen) {
            *giveUpOutcome = RunOutcome::FileError;
            return nullptr;
        }

        frontEnd_.SetBusyCursor(true);
        int64_t size = 0;
        std::unique_ptr<FirmwareImage> image = LoadFirmwareFile(path, &size);
        if (!image) {
            frontEnd_.SetBusyCursor(false);
            *giveUpOutcome = RunOutcome::FileError;
            return nullptr;
        }
        const FileCheck check = CheckFile(link, *image, size);
        if (check != FileCheck::Accepted) {
            frontEnd_.SetBusyCursor(false);
            image.reset();
            frontEnd_.Repaint();
            if (check == FileCheck::MemoryError) {
                Prompt(PromptKind::Failure, 1);
                *giveUpOutcome = RunOutcome::MemoryError;
                return nullptr;
            }
            if (Prompt(PromptKind::Continue, 0) == PromptResult::Ok)
                continue;
            *giveUpOutcome = RunOutcome::WrongFile;
            return nullptr;
        }
        if (versionKnown && !ConfirmSameVersion()) {
            image.reset();
            *giveUpOutcome = RunOutcome::QuitAtSameVersion;
            return nullptr;
        }
        return image;
    }
}

// Header, version, size and the camera's own judgement, in that order: the
// version characters are stored even when the size turns out wrong.
UpdateWorkflow::FileCheck UpdateWorkflow::CheckFile(CameraLink& link, const FirmwareImage& image,
                                                    int64_t size) {
    const int model = ModelFromHeader(image.data());
    if (model == 0)
        return FileCheck::Wrong;
    m_nFileModel = model;
    SetFileVersion(reinterpret_cast<const char*>(image.data() + firmware::kVersionOffset));
    if (size != firmware::kFileSize)
        return FileCheck::Wrong;

    int memory = 0;
    frontEnd_.RunCameraOperation([&] { memory = link.CheckCameraMemory(m_nFileModel); });
    if (memory == kMemorySuits)
        return FileCheck::Accepted;
    if (memory == kMemoryDoesNotSuit)
        return FileCheck::Wrong;
    return FileCheck::MemoryError;
}

// With the camera's version known: asks before installing the installed
// version again. True to go on (the wait cursor shown), false on Quit (the
// cursor restored).
bool UpdateWorkflow::ConfirmSameVersion() {
    UpperCaseLastVersionChar(m_fileVersion);
    if (!SameShownVersion(m_fileVersion, m_camVersion))
        return true;
    frontEnd_.SetBusyCursor(false);
    frontEnd_.Repaint();
    if (Prompt(PromptKind::Continue, 1) != PromptResult::Ok)
        return false;
    frontEnd_.SetBusyCursor(true);
    return true;
}

// The transfer releases the camera and closes the port itself, whatever its
// result, so no CloseConnection follows it.
RunOutcome UpdateWorkflow::Transfer(std::unique_ptr<CameraLink> link,
                                    std::unique_ptr<FirmwareImage> image) {
    frontEnd_.Repaint();
    const uint8_t* body = image->data() + firmware::kBodyOffset;
    frontEnd_.RunCameraOperation([&] {
        link->TransferFirmware(body, [this](int phase, int percent, int reserved) {
            return ProgressCallback(phase, percent, reserved);
        });
    });
    const int16_t errorNumber = link->GetErrorNumber();
    frontEnd_.SetBusyCursor(false);

    if (errorNumber == 0) {
        Prompt(PromptKind::Success, 0);
        image.reset();
        link.reset();
        return RunOutcome::Installed;
    }
    image.reset();
    link.reset();
    Prompt(PromptKind::Failure, 0);
    return RunOutcome::UpdateFailed;
}

// Every exit between a successful Connect and the transfer: the camera is
// released from update mode and the port closed.
RunOutcome UpdateWorkflow::GiveUp(std::unique_ptr<CameraLink> link, RunOutcome outcome) {
    frontEnd_.RunCameraOperation([&] { link->CloseConnection(); });
    link.reset();
    return outcome;
}

}  // namespace rm525
