// The terminal front end over the in-process simulator: what it prints, how
// it answers when nobody is at a terminal, and the exit statuses.

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>

#include "cli/cli_options.h"
#include "cli/exit_status.h"
#include "cli/terminal_front_end.h"
#include "cli/trace_port.h"
#include "firmware/firmware_format.h"
#include "firmware/firmware_image.h"
#include "link/camera_link.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/firmware/firmware_test_files.h"
#include "workflow/update_workflow.h"

namespace rm525::cli {
namespace {

constexpr int kCameraPort = 2;

TerminalSettings Settings(const std::string& file, bool yes = false, bool interactive = false) {
    TerminalSettings s;
    s.file = file;
    s.yes = yes;
    s.interactive = interactive;
    return s;
}

// Asks to stop once the transfer has reached `stopAtPercent`, like Ctrl+C.
class InterruptingFrontEnd : public TerminalFrontEnd {
public:
    using TerminalFrontEnd::TerminalFrontEnd;
    bool ShowProgress(int phase, int percent, const char* text) override {
        if (stopAtPercent >= 0 && percent >= stopAtPercent)
            stop->store(true);
        return TerminalFrontEnd::ShowProgress(phase, percent, text);
    }
    int stopAtPercent = -1;
    std::atomic<bool>* stop = nullptr;
};

class TerminalUpdate : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(FirmwareImage::LiveCount(), 0);
        EXPECT_FALSE(ports_.AnyPortOpen());
    }

    std::string File(std::string_view header = firmware::kHeaderRm525,
                     std::string_view version = "0106") {
        return testing::WriteFile(dir_.File("f.fw"), testing::FirmwareBytes(header, version));
    }
    int Run(TerminalSettings settings, int stopAtPercent = -1) {
        settings.port = kCameraPort;
        InterruptingFrontEnd fe(
            in_, out_, err_, settings, stop_,
            [](const std::string& text) -> std::optional<int16_t> {
                const auto arg = ParsePortArgument(text);
                return arg ? std::optional<int16_t>(arg->port) : std::nullopt;
            },
            [](const OpenFailure& f) { return "port " + std::to_string(f.portNumber); });
        fe.stopAtPercent = stopAtPercent;
        fe.stop = &stop_;
        UpdateWorkflow workflow(fe, ports_, clock_);
        workflow.Run(ViewRect{});
        return ExitStatusFor(workflow.LastOutcome(), stop_.load());
    }

    sim::VirtualClock clock_;
    sim::SimulatedPortFactory ports_{clock_};
    testing::TempDir dir_;
    std::istringstream in_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::atomic<bool> stop_{false};
};

TEST_F(TerminalUpdate, SuccessPrintsStatusLinesProgressEveryTenPercentAndTheSuccessText) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File())), exit_status::kInstalled);
    EXPECT_EQ(out_.str(),
              "Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...\n"
              "Camera ID: " +
                  sim::Rm525Setup().cameraId +
                  "     Firmware Version: 1.05\n"
                  "Firmware 1.06 was successfully installed in your Quelm Vivid Imagework "
                  "RM520/RM525 Zoom Camera!\n");
    EXPECT_EQ(err_.str(),
              "0% Downloading firmware ...\n10% Downloading firmware ...\n"
              "20% Downloading firmware ...\n30% Downloading firmware ...\n"
              "40% Downloading firmware ...\n50% Downloading firmware ...\n"
              "60% Downloading firmware ...\n70% Downloading firmware ...\n"
              "80% Downloading firmware ...\n90% Downloading firmware ...\n"
              "100% Downloading firmware ...\n100% Downloading firmware completed.\n");
    EXPECT_TRUE(camera.Verified());
}

TEST_F(TerminalUpdate, WithoutATerminalAWrongFileIsAnsweredQuit) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File("Not a firmware file"))), exit_status::kWrongFile);
    EXPECT_NE(out_.str().find("\nSelected file is wrong.\nTo select correct file, click Continue "
                              "button.\nQuit\n"),
              std::string::npos);
    EXPECT_EQ(camera.ReleaseCount(), 1);
}

TEST_F(TerminalUpdate, TheSameVersionIsInstalledOnlyWithYes) {
    ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File(firmware::kHeaderRm525, "0105"))), exit_status::kQuit);
    EXPECT_NE(out_.str().find("\nSelected firmware matches camera version.\nQuit\n"),
              std::string::npos);

    out_.str("");
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File(firmware::kHeaderRm525, "0105"), true)), exit_status::kInstalled);
    EXPECT_NE(out_.str().find("Continue (--yes)\nFirmware 1.05 was"), std::string::npos);
    EXPECT_TRUE(camera.Verified());
}

TEST_F(TerminalUpdate, AnInterruptBeforeTheTransferReleasesTheCameraAndQuits) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    stop_ = true;
    EXPECT_EQ(Run(Settings(File())), exit_status::kQuit);
    EXPECT_EQ(camera.ReleaseCount(), 1);
    EXPECT_EQ(camera.BlocksWritten(), 0);
}

TEST_F(TerminalUpdate, AnInterruptDuringTheTransferStopsItAsAFailure) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File()), 30), exit_status::kUpdateFailed);
    EXPECT_NE(err_.str().find("30% Downloading firmware failed.\n"), std::string::npos);
    EXPECT_NE(out_.str().find("Camera update failed."), std::string::npos);
    EXPECT_FALSE(camera.Verified());
}

TEST_F(TerminalUpdate, NoCameraExplainsThePortFirst) {
    EXPECT_EQ(Run(Settings(File())), exit_status::kCameraNotFound);
    EXPECT_EQ(err_.str(), "port 2\n");
    EXPECT_NE(out_.str().find("Camera can not be found."), std::string::npos);
}

TEST_F(TerminalUpdate, AFileThatCannotBeReadGivesUpAfterTheErrorMessage) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(dir_.File("missing.fw"))), exit_status::kFileError);
    EXPECT_EQ(err_.str(), "File open or read error!\n");
    EXPECT_EQ(camera.ReleaseCount(), 1);
}

TEST_F(TerminalUpdate, AtATerminalTheEndOfInputCancelsTheChoiceAndQuits) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    TerminalSettings settings;
    settings.interactive = true;
    EXPECT_EQ(Run(settings), exit_status::kQuit);
    EXPECT_NE(out_.str().find("Firmware file (*.fw; empty to cancel): \nFile selection was "
                              "canceled !\n[C]ontinue or [Q]uit? \n"),
              std::string::npos);
    EXPECT_EQ(camera.ReleaseCount(), 1);
}

TEST_F(TerminalUpdate, AtATerminalAWrongFileCanBeFollowedByTheRightOne) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    const std::string good = File();
    const std::string bad =
        testing::WriteFile(dir_.File("bad.fw"), testing::FirmwareBytes("Other header"));
    in_.str("C\n" + dir_.File("nowhere.fw") + "\n" + good + "\n");
    EXPECT_EQ(Run(Settings(bad, false, true)), exit_status::kInstalled);
    EXPECT_NE(err_.str().find("No such file: " + dir_.File("nowhere.fw")), std::string::npos);
    EXPECT_TRUE(camera.Verified());
}

TEST(CliOptions, ParsesEachCommandAndRefusesWhatDoesNotFit) {
    const ParseResult update =
        ParseArguments({"update", "--port", "com3", "--file", "a.fw", "--yes", "--trace", "t"});
    ASSERT_TRUE(update.options);
    EXPECT_EQ(update.options->verb, Verb::Update);
    EXPECT_EQ(*update.options->port, "com3");
    EXPECT_TRUE(update.options->yes);
    EXPECT_EQ(*update.options->trace, "t");
    EXPECT_EQ(ParseArguments({"inspect", "x.fw"}).options->file, "x.fw");

    EXPECT_FALSE(ParseArguments({}).options);
    EXPECT_FALSE(ParseArguments({"flash"}).options);
    EXPECT_FALSE(ParseArguments({"update", "--port", "COM0"}).options);
    EXPECT_FALSE(ParseArguments({"update", "--port"}).options);
    EXPECT_FALSE(ParseArguments({"ports", "--port", "AUTO"}).options);
    EXPECT_FALSE(ParseArguments({"info", "--yes"}).options);
    EXPECT_FALSE(ParseArguments({"inspect"}).options);
}

TEST(CliOptions, PortArguments) {
    EXPECT_EQ(ParsePortArgument("AUTO")->port, 0);
    EXPECT_EQ(ParsePortArgument("COM9")->port, 9);
    EXPECT_EQ(ParsePortArgument("/dev/ttyUSB0")->device, "/dev/ttyUSB0");
    EXPECT_FALSE(ParsePortArgument("COM10"));
    EXPECT_FALSE(ParsePortArgument("ttyUSB0"));
}

TEST(ExitStatus, EveryOutcome) {
    EXPECT_EQ(ExitStatusFor(RunOutcome::Installed, false), 0);
    EXPECT_EQ(ExitStatusFor(RunOutcome::UpdateFailed, true), 1);
    EXPECT_EQ(ExitStatusFor(RunOutcome::CameraNotFound, false), 3);
    EXPECT_EQ(ExitStatusFor(RunOutcome::CameraNotFound, true), 7);
    EXPECT_EQ(ExitStatusFor(RunOutcome::WrongFile, false), 4);
    EXPECT_EQ(ExitStatusFor(RunOutcome::FileError, false), 5);
    EXPECT_EQ(ExitStatusFor(RunOutcome::MemoryError, false), 6);
    EXPECT_EQ(ExitStatusFor(RunOutcome::QuitAtPortChoice, false), 7);
    EXPECT_EQ(ExitStatusFor(RunOutcome::QuitAtFileChoice, false), 7);
    EXPECT_EQ(ExitStatusFor(RunOutcome::QuitAtSameVersion, false), 7);
    EXPECT_EQ(ExitStatusFor(RunOutcome::Interrupted, true), 7);
}

TEST(WireTrace, RecordsEveryByteWithTimeAndDirectionAndChangesNothing) {
    sim::VirtualClock clock;
    sim::SimulatedPortFactory sim(clock);
    sim.AttachCamera(1, sim::Rm525Setup());
    std::ostringstream text;
    TraceLog log(text, clock);
    TracingPortFactory tracing(sim, log);

    CameraLink link(tracing, clock);
    CameraStatusRecord status{};
    char id[33] = {};
    CameraIdentityRecord identity{};
    identity.idText = id;
    int32_t already = 0;
    link.Connect(1, 3, &status, &identity, &already);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    link.CloseConnection();

    const std::string trace = text.str();
    EXPECT_EQ(trace.rfind("         0 ms COM1 - opened\n", 0), 0u) << trace.substr(0, 200);
    EXPECT_NE(trace.find(" COM1 > 57 51 4D 5A 45 41 56 48 52 59 43 53\n"), std::string::npos);
    EXPECT_NE(trace.find(" COM1 - line 38400 bit/s\n"), std::string::npos);
    EXPECT_NE(trace.find(" COM1 > AE "), std::string::npos);
    EXPECT_EQ(trace.substr(trace.size() - 14), "COM1 - closed\n");
    // What went by the trace is what the camera saw.
    const auto sent = sim::WireBytes(sim.Record(1).log, sim::WireDirection::HostToCamera);
    size_t traced = 0;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" > ") != std::string::npos)
            traced += (line.size() - line.find(" > ") - 2) / 3;
    }
    EXPECT_EQ(traced, sent.size());
}

}  // namespace
}  // namespace rm525::cli
