// Every road through the update procedure, against the simulated camera on a
// virtual clock, driven by a scripted front end.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "firmware/firmware_format.h"
#include "firmware/firmware_image.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/firmware/firmware_test_files.h"
#include "tests/workflow/scripted_front_end.h"
#include "workflow/update_workflow.h"

namespace rm525 {
namespace {

using testing::FirmwareBytes;
using testing::ShownPrompt;

constexpr int kCameraPort = 3;
const std::string kSearching = "Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...";
const std::string kWrongFile =
    "\nSelected file is wrong.\nTo select correct file, click Continue button.";
const std::string kSameVersion = "\nSelected firmware matches camera version.";
const std::string kCancelled = "File selection was canceled !";
const std::string kUpdateFailed =
    "Camera update failed. Quit and follow the\nRETRY PROCEDURE in the ReadMe file. ";

std::string Success(const std::string& shown) {
    return "Firmware " + shown +
           " was successfully installed in your Quelm Vivid Imagework RM520/RM525 Zoom Camera!";
}

class RunRoads : public ::testing::Test {
protected:
    void TearDown() override {
        // On every road: every image freed, no port left open, the wait
        // cursor restored as often as it was shown.
        EXPECT_EQ(FirmwareImage::LiveCount(), 0);
        EXPECT_FALSE(ports_.AnyPortOpen());
        EXPECT_EQ(fe_.busyDepth, 0);
        EXPECT_EQ(fe_.busyLowest, 0);
    }

    sim::CameraModel& Camera(sim::CameraSetup setup = sim::Rm525Setup()) {
        setup_ = setup;
        return ports_.AttachCamera(kCameraPort, setup);
    }
    std::string File(const std::string& name, std::string_view header = firmware::kHeaderRm525,
                     std::string_view version = "0106", int64_t size = firmware::kFileSize) {
        bytes_ = FirmwareBytes(header, version, size);
        return testing::WriteFile(dir_.File(name), bytes_);
    }
    void Choose(const std::string& path) { fe_.files.emplace_back(choose_result::kChosen, path); }
    void Answer(PromptResult r) { fe_.answers.push_back(r); }
    void RunAt(int port = kCameraPort) {
        fe_.port = port;
        wf_.Run(ViewRect{0, 0, 800, 600});
    }
    std::string CameraLine(const std::string& shownVersion) const {
        return "Camera ID: " + setup_.cameraId + "     Firmware Version: " + shownVersion;
    }
    // The camera was let go: its port closed as often as opened, the camera
    // told to leave update mode.
    void ExpectReleased(const sim::CameraModel& camera) {
        const sim::PortRecord& record = ports_.Record(kCameraPort);
        EXPECT_FALSE(record.open);
        EXPECT_EQ(record.opens, record.closes);
        EXPECT_EQ(camera.ReleaseCount(), 1);
    }
    void ExpectBodyInstalled(const sim::CameraModel& camera) {
        ASSERT_EQ(camera.Flash().size(), static_cast<size_t>(firmware::kBodySize));
        EXPECT_TRUE(std::equal(camera.Flash().begin(), camera.Flash().end(),
                               bytes_.begin() + firmware::kBodyOffset));
        EXPECT_TRUE(camera.Verified());
    }

    sim::VirtualClock clock_;
    sim::SimulatedPortFactory ports_{clock_};
    testing::TempDir dir_;
    testing::ScriptedFrontEnd fe_;
    UpdateWorkflow wf_{fe_, ports_, clock_};
    sim::CameraSetup setup_;
    std::vector<uint8_t> bytes_;
};

TEST_F(RunRoads, QuitAtThePortChoiceTouchesNoPort) {
    Camera();
    fe_.port.reset();
    wf_.Run(ViewRect{});
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::QuitAtPortChoice);
    EXPECT_EQ(fe_.calls, std::vector<std::string>{"ChoosePort"});
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(ports_.Record(n).openAttempts, 0);
}

TEST_F(RunRoads, NoCameraExplainsThePortAndShowsTheNoCameraPrompt) {
    RunAt(5);  // nothing on COM5
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::CameraNotFound);
    EXPECT_EQ(fe_.statuses, std::vector<std::string>{kSearching});
    ASSERT_EQ(fe_.prompts.size(), 1u);
    EXPECT_EQ(fe_.prompts[0].kind, PromptKind::NoCamera);
    EXPECT_EQ(fe_.prompts[0].text,
              "Camera can not be found.\nPlease exit, and turn off the camera.\nThen turn it back "
              "on, and verify that it is properly connected.");
    ASSERT_EQ(fe_.explained.size(), 1u);
    EXPECT_EQ(fe_.explained[0].portNumber, 5);
    EXPECT_EQ(wf_.LastOpenFailures().size(), 1u);
}

TEST_F(RunRoads, SilentDeviceOnThePortIsNoCamera) {
    ports_.AttachSilentDevice(kCameraPort);
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::CameraNotFound);
    EXPECT_TRUE(fe_.explained.empty());
    EXPECT_EQ(fe_.PromptKinds(), std::vector<PromptKind>{PromptKind::NoCamera});
}

TEST_F(RunRoads, SuccessInstallsTheBodyFromALongPathAndReportsTheFileVersion) {
    sim::CameraModel& camera = Camera();
    std::filesystem::path deep = dir_.path();
    while (deep.string().size() < 300)
        deep /= std::string(50, 'f');
    std::filesystem::create_directories(deep);
    const std::string path = File(std::filesystem::relative(deep / "new.fw", dir_.path()).string());
    ASSERT_GT(path.size(), 256u);
    Choose(path);
    fe_.onPrompt = [](const ShownPrompt& p) {
        // The success prompt comes first; the image is freed after it.
        if (p.kind == PromptKind::Success) {
            EXPECT_EQ(FirmwareImage::LiveCount(), 1);
        }
    };
    RunAt();

    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::Installed);
    EXPECT_EQ(fe_.statuses, (std::vector<std::string>{kSearching, CameraLine("1.05")}));
    EXPECT_EQ(fe_.calls.at(1), "Status " + kSearching);
    EXPECT_EQ(fe_.calls.at(2), "Repaint");
    EXPECT_EQ(fe_.lastFilter, "Firmware Files (*.fw )   |*.fw||  ");
    ASSERT_EQ(fe_.prompts.size(), 1u);
    EXPECT_EQ(fe_.prompts[0].text, Success("1.06"));
    EXPECT_EQ(wf_.m_nFileModel, 106);
    EXPECT_EQ(std::string(wf_.m_szCameraId), setup_.cameraId);

    // Progress: phase 0 at 0, 2048 reports, phase 2 at 100, then the close.
    ASSERT_EQ(fe_.progress.size(), 2050u);
    EXPECT_EQ(fe_.progress.front(), std::make_pair(0, 0));
    EXPECT_EQ(fe_.progress[20], std::make_pair(1, 0));
    EXPECT_EQ(fe_.progress[21], std::make_pair(1, 1));
    EXPECT_EQ(fe_.progress.back(), std::make_pair(2, 100));
    EXPECT_EQ(fe_.lastProgressText, "Downloading firmware completed.");
    EXPECT_EQ(fe_.progressCloses, 1);
    EXPECT_EQ(wf_.m_bProgressOpen, 0);

    ExpectBodyInstalled(camera);
    ExpectReleased(camera);
}

TEST_F(RunRoads, WrongHeaderWrongSizeAndCancelledChoiceLoopBackThenQuitReleasesTheCamera) {
    sim::CameraModel& camera = Camera();
    Choose(File("foreign.fw", "quelm Vivid Imagework RM525 Zoom camera. Firmware"));
    Answer(PromptResult::Ok);
    Choose(File("short.fw", firmware::kHeaderRm525, "0107", firmware::kFileSize - 1));
    Answer(PromptResult::Ok);
    fe_.files.emplace_back(choose_result::kCancelled, "");
    Answer(PromptResult::Ok);
    Choose(File("long.fw", firmware::kHeaderRm525, "0108", firmware::kFileSize + 1));
    Answer(PromptResult::Cancel);
    RunAt();

    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::WrongFile);
    ASSERT_EQ(fe_.prompts.size(), 4u);
    EXPECT_EQ(fe_.prompts[0].text, kWrongFile);
    EXPECT_EQ(fe_.prompts[1].text, kWrongFile);
    EXPECT_EQ(fe_.prompts[2].kind, PromptKind::Reselect);
    EXPECT_EQ(fe_.prompts[2].text, kCancelled);
    EXPECT_EQ(fe_.prompts[3].text, kWrongFile);
    // The version is stored before the size is judged.
    EXPECT_EQ(wf_.m_fileVersion, (VersionChars{'0', '1', '0', '8'}));
    EXPECT_EQ(camera.BlocksWritten(), 0);
    ExpectReleased(camera);
}

TEST_F(RunRoads, AFileForTheOtherModelIsWrongByTheMemoryCheck) {
    sim::CameraModel& camera = Camera();
    Choose(File("rm520.fw", firmware::kHeaderRm520));
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::WrongFile);
    EXPECT_EQ(wf_.m_nFileModel, 105);
    ASSERT_EQ(fe_.prompts.size(), 1u);
    EXPECT_EQ(fe_.prompts[0].kind, PromptKind::Continue);
    EXPECT_EQ(fe_.prompts[0].selector, 0);
    ExpectReleased(camera);
}

TEST_F(RunRoads, CameraMemoryErrorEndsTheRun) {
    sim::CameraSetup setup = sim::Rm525Setup();
    setup.word45 = 0x0080;
    sim::CameraModel& camera = Camera(setup);
    Choose(File("a.fw"));
    Choose(File("b.fw"));  // never offered
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::MemoryError);
    ASSERT_EQ(fe_.prompts.size(), 1u);
    EXPECT_EQ(fe_.prompts[0].kind, PromptKind::Failure);
    EXPECT_EQ(fe_.prompts[0].text,
              "Camera memory error detected -\nfirmware upgrade can not continue.  \nPlease "
              "contact Quelm technical support.");
    EXPECT_EQ(fe_.files.size(), 1u);
    ExpectReleased(camera);
}

TEST_F(RunRoads, AFailedMemoryReadIsAMemoryErrorNotAVerdictOnZeros) {
    // An RM520 file on an RM520 camera: read as zeros, a failed read would
    // pass the check and let the transfer start.
    sim::CameraModel& camera = Camera(sim::Rm520Setup());
    sim::FaultRule refuse;
    refuse.kind = sim::FaultKind::Refuse;
    refuse.command = 0x22;
    refuse.count = 100;
    camera.AddFault(refuse);
    Choose(File("rm520.fw", firmware::kHeaderRm520));
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::MemoryError);
    EXPECT_EQ(fe_.PromptKinds(), std::vector<PromptKind>{PromptKind::Failure});
    EXPECT_EQ(fe_.prompts[0].selector, 1);
    EXPECT_EQ(camera.BlocksWritten(), 0);
}

TEST_F(RunRoads, SameVersionQuitFreesTheImageAndReleases) {
    sim::CameraModel& camera = Camera();
    Choose(File("same.fw", firmware::kHeaderRm525, "9105"));  // the first character never counts
    Answer(PromptResult::Cancel);
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::QuitAtSameVersion);
    ASSERT_EQ(fe_.prompts.size(), 1u);
    EXPECT_EQ(fe_.prompts[0].text, kSameVersion);
    EXPECT_EQ(camera.BlocksWritten(), 0);
    ExpectReleased(camera);
}

TEST_F(RunRoads, LowerCaseLastCharacterMatchesALetterVersionAndIsReportedUpperCased) {
    sim::CameraSetup setup = sim::Rm525Setup();
    setup.versionHigh = 0x01;
    setup.versionLow = 0x0A;  // digits 0, 1, 0, 10: shown as 1.0A
    sim::CameraModel& camera = Camera(setup);
    Choose(File("a.fw", firmware::kHeaderRm525, "010a"));
    Answer(PromptResult::Ok);
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::Installed);
    EXPECT_EQ(fe_.statuses.back(), CameraLine("1.0A"));
    ASSERT_EQ(fe_.prompts.size(), 2u);
    EXPECT_EQ(fe_.prompts[0].text, kSameVersion);
    EXPECT_EQ(fe_.prompts[1].text, Success("1.0A"));
    ExpectBodyInstalled(camera);
}

TEST_F(RunRoads, CameraAlreadyInUpdateModeSkipsTheVersionQuestion) {
    sim::CameraSetup setup = sim::Rm525Setup();
    setup.mode = sim::CameraMode::Update;
    setup.versionHigh = 0x01;
    setup.versionLow = 0x0A;
    sim::CameraModel& camera = Camera(setup);
    Choose(File("a.fw", firmware::kHeaderRm525, "010a"));
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::Installed);
    EXPECT_EQ(fe_.statuses, (std::vector<std::string>{kSearching, ""}));
    EXPECT_EQ(wf_.m_bCameraKnown, 0);
    ASSERT_EQ(fe_.prompts.size(), 1u);
    EXPECT_EQ(fe_.prompts[0].text, Success("1.0a"));  // as stored: no upper-casing
    ExpectBodyInstalled(camera);
}

TEST_F(RunRoads, FailedTransferReleasesEverythingBeforeTheFailurePrompt) {
    sim::CameraModel& camera = Camera();
    sim::FaultRule refuse;
    refuse.kind = sim::FaultKind::Refuse;
    refuse.command = 0x1D;
    refuse.param1 = 999;
    refuse.count = 100;
    camera.AddFault(refuse);
    Choose(File("a.fw"));
    fe_.onPrompt = [this](const ShownPrompt& p) {
        if (p.kind != PromptKind::Failure)
            return;
        EXPECT_EQ(FirmwareImage::LiveCount(), 0);
        EXPECT_FALSE(ports_.AnyPortOpen());
    };
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::UpdateFailed);
    ASSERT_EQ(fe_.prompts.size(), 1u);
    EXPECT_EQ(fe_.prompts[0].text, kUpdateFailed);
    EXPECT_EQ(fe_.progress.back(), std::make_pair(3, 48));
    EXPECT_EQ(fe_.lastProgressText, "Downloading firmware failed.");
    EXPECT_EQ(fe_.progressCloses, 1);
}

TEST_F(RunRoads, StopDuringTheTransferEndsAfterTheCurrentBlockAsAFailure) {
    sim::CameraModel& camera = Camera();
    Choose(File("a.fw"));
    fe_.stopAtPercent = 10;
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::UpdateFailed);
    EXPECT_EQ(fe_.progress.back().first, 3);
    EXPECT_EQ(fe_.prompts.back().text, kUpdateFailed);
    EXPECT_LT(camera.BlocksWritten(), 300);
    EXPECT_FALSE(camera.Verified());
}

// A stop is asked for before each file choice and once more before the
// transfer: either way the camera is released and nothing is written.
class StopRoads : public RunRoads {
protected:
    void RunStoppedAtAsk(int ask) {
        sim::CameraModel& camera = Camera();
        Choose(File("a.fw"));
        fe_.stopFromAsk = ask;
        RunAt();
        EXPECT_EQ(wf_.LastOutcome(), RunOutcome::Interrupted);
        EXPECT_EQ(fe_.stopAsks, ask + 1);
        EXPECT_EQ(fe_.files.size(), ask == 0 ? 1u : 0u);  // 1: the chooser was not opened
        EXPECT_TRUE(fe_.prompts.empty());
        EXPECT_TRUE(fe_.progress.empty());
        EXPECT_EQ(camera.BlocksWritten(), 0);
        ExpectReleased(camera);
    }
};

TEST_F(StopRoads, BeforeTheFileChoice) {
    RunStoppedAtAsk(0);
}

TEST_F(StopRoads, BeforeTheTransfer) {
    RunStoppedAtAsk(1);
}

TEST_F(RunRoads, FileErrorsAreToldByTheFileOperationsAndGiveUp) {
    sim::CameraModel& camera = Camera();
    fe_.files.emplace_back(choose_result::kFailed, "");
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::FileError);
    EXPECT_EQ(fe_.errors, std::vector<std::string>{"File not found error!"});
    EXPECT_TRUE(fe_.prompts.empty());
    ExpectReleased(camera);
}

TEST_F(RunRoads, AnUnreadableFileIsToldAndGivesUp) {
    sim::CameraModel& camera = Camera();
    Choose(File("empty.fw", "", "", 0));
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::FileError);
    EXPECT_EQ(fe_.errors, std::vector<std::string>{"File open or read error!"});
    ExpectReleased(camera);
}

TEST_F(RunRoads, QuitAfterACancelledChoice) {
    sim::CameraModel& camera = Camera();
    RunAt();  // no files: the chooser is cancelled, then Quit
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::QuitAtFileChoice);
    EXPECT_EQ(fe_.PromptKinds(), std::vector<PromptKind>{PromptKind::Reselect});
    EXPECT_EQ(fe_.calls.at(fe_.calls.size() - 2), "Repaint");
    ExpectReleased(camera);
}

// Once the transfer has ended, a stop would only turn its result into a
// failure: it is not obeyed.
TEST_F(RunRoads, AStopAskedAsTheTransferEndsChangesNothing) {
    sim::CameraModel& camera = Camera();
    Choose(File("a.fw"));
    fe_.stopAtPhase = 2;
    RunAt();
    EXPECT_EQ(wf_.LastOutcome(), RunOutcome::Installed);
    ExpectBodyInstalled(camera);
    ExpectReleased(camera);
}

}  // namespace
}  // namespace rm525
