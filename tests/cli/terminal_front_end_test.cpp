// The terminal front end over the in-process simulator: what it prints, how
// it answers when nobody is at a terminal, and the exit statuses.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/cli_options.h"
#include "cli/exit_status.h"
#include "cli/progress_printer.h"
#include "cli/search_report.h"
#include "cli/sha256.h"
#include "cli/stop_request.h"
#include "cli/terminal_front_end.h"
#include "cli/terminal_text.h"
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

// The block of lines that the ReadMe quotes after the line holding `intro`
// (the next lines after a blank one), each without its indentation.
std::vector<std::string> ReadMeQuoteAfter(std::string_view intro) {
    std::ifstream readMe(RM525FW_README);
    std::vector<std::string> quote;
    bool found = false, blank = false;
    for (std::string line; std::getline(readMe, line);) {
        line.erase(0, line.find_first_not_of(' '));
        found = found || line.find(intro) != std::string::npos;
        if (found && line.empty() && !quote.empty())
            break;
        blank = blank || (found && line.empty());
        if (blank && !line.empty())
            quote.push_back(line);
    }
    return quote;
}

// Raises `flag` once the transfer has reached `stopAtPercent`: Ctrl+C
// (interrupted) or the terminal going away (hungUp).
class InterruptingFrontEnd : public TerminalFrontEnd {
public:
    using TerminalFrontEnd::TerminalFrontEnd;
    bool ShowProgress(int phase, int percent, const char* text) override {
        if (stopAtPercent >= 0 && percent >= stopAtPercent)
            flag->store(true);
        return TerminalFrontEnd::ShowProgress(phase, percent, text);
    }
    int stopAtPercent = -1;
    std::atomic<bool>* flag = nullptr;
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
    int Run(TerminalSettings settings, int stopAtPercent = -1, bool hangUp = false) {
        if (!settings.port)
            settings.port = kCameraPort;
        settings.clock = &clock_;
        InterruptingFrontEnd fe(
            in_, out_, err_, settings, stop_,
            [](const std::string& text) -> std::optional<int16_t> {
                const auto arg = ParsePortArgument(text);
                return arg ? std::optional<int16_t>(arg->port) : std::nullopt;
            },
            [](const OpenFailure& f) { return "port " + std::to_string(f.portNumber); });
        fe.stopAtPercent = stopAtPercent;
        fe.flag = hangUp ? &stop_.hungUp : &stop_.interrupted;
        UpdateWorkflow workflow(fe, factory_ ? *factory_ : ports_, clock_);
        workflow.Run(ViewRect{});
        return ExitStatusFor(workflow.LastOutcome(), stop_.Any());
    }

    sim::VirtualClock clock_;
    sim::SimulatedPortFactory ports_{clock_};
    testing::TempDir dir_;
    std::istringstream in_;
    std::ostringstream out_;
    std::ostringstream err_;
    StopRequest stop_;
    SerialPortFactory* factory_ = nullptr;  // the ports as the workflow sees them
};

TEST_F(TerminalUpdate, ResultsGoToStandardOutputTheConversationAndProgressToStandardError) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File())), exit_status::kInstalled);
    EXPECT_EQ(out_.str(),
              "Firmware 1.06 was successfully installed in your Quelm Vivid Imagework "
              "RM520/RM525 Zoom Camera!\n");
    const std::string err = err_.str();
    // Before anything is written: what, over what, where, and the hash of
    // the body that goes.
    const std::vector<uint8_t> bytes = testing::FirmwareBytes(firmware::kHeaderRm525, "0106");
    const std::string body = Sha256Hex(bytes.data() + firmware::kBodyOffset, firmware::kBodySize);
    EXPECT_EQ(err.rfind("Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...\n"
                        "Camera ID: " +
                            sim::Rm525Setup().cameraId +
                            "     Firmware Version: 1.05\n"
                            "Writing RM525 Zoom (model code 106) firmware 1.06 over the camera's "
                            "1.05, on COM2, from " +
                            dir_.File("f.fw") + ", body SHA-256 " + body + "\n0% ",
                        0),
              0u)
        << err;
    // One line every ten percent, each with the time so far and the time left.
    size_t lines = 0;
    for (int p = 0; p <= 100; p += 10) {
        const size_t at = err.find("\n" + std::to_string(p) + "% Downloading firmware ... (");
        EXPECT_NE(at, std::string::npos) << p;
        lines += at != std::string::npos;
    }
    EXPECT_EQ(lines, 11u);
    EXPECT_NE(err.find("% Downloading firmware ... (0:"), std::string::npos);
    EXPECT_NE(err.find(" left)\n"), std::string::npos);
    EXPECT_NE(err.find("\n100% Downloading firmware completed.\nWrote 524288 bytes in "),
              std::string::npos)
        << err;
    EXPECT_TRUE(camera.Verified());
}

TEST_F(TerminalUpdate, WithoutATerminalAWrongFileIsAnsweredQuitAndTheReasonNamed) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    const std::string file = File("Not a firmware file");
    EXPECT_EQ(Run(Settings(file)), exit_status::kWrongFile);
    EXPECT_NE(err_.str().find("\nSelected file is wrong.\nTo select correct file, click Continue "
                              "button.\n" +
                              file +
                              ": the header names neither camera (RM520 nor RM525 Zoom)\n"
                              "Quit\n"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(camera.ReleaseCount(), 1);

    std::vector<uint8_t> bytes = testing::FirmwareBytes(firmware::kHeaderRm525);
    bytes.resize(1000);
    const std::string shortFile = testing::WriteFile(dir_.File("short.fw"), bytes);
    ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    err_.str("");
    EXPECT_EQ(Run(Settings(shortFile)), exit_status::kWrongFile);
    EXPECT_NE(err_.str().find("button.\n" + shortFile + ": 1000 bytes where 524416 are needed\n"),
              std::string::npos)
        << err_.str();
}

TEST_F(TerminalUpdate, TheSameVersionIsInstalledOnlyWithYes) {
    ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File(firmware::kHeaderRm525, "0105"))), exit_status::kQuit);
    EXPECT_NE(err_.str().find("firmware 1.05 over the camera's 1.05, on COM2, from " +
                              dir_.File("f.fw") + ", body SHA-256 "),
              std::string::npos)
        << err_.str();
    EXPECT_NE(err_.str().find("\nSelected firmware matches camera version.\nQuit\n"),
              std::string::npos);

    err_.str("");
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File(firmware::kHeaderRm525, "0105"), true)), exit_status::kInstalled);
    EXPECT_NE(err_.str().find("version.\nContinue (--yes)\n"), std::string::npos);
    EXPECT_NE(out_.str().find("Firmware 1.05 was"), std::string::npos);
    EXPECT_TRUE(camera.Verified());

    // A camera already in update mode is not read: nothing is asked, and the
    // summary says so.
    sim::CameraSetup waiting = sim::Rm525Setup();
    waiting.mode = sim::CameraMode::Update;
    ports_.AttachCamera(kCameraPort, waiting);
    err_.str("");
    EXPECT_EQ(Run(Settings(File(firmware::kHeaderRm525, "0105"))), exit_status::kInstalled);
    EXPECT_NE(err_.str().find("firmware 1.05 over the camera's (not read), on COM2"),
              std::string::npos)
        << err_.str();
}

// An RM520 file for an RM525 camera passes header and size; the memory
// check refuses it, and the text names both models.
TEST_F(TerminalUpdate, AFileForTheOtherModelNamesBothModels) {
    ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File(firmware::kHeaderRm520))), exit_status::kWrongFile);
    EXPECT_NE(err_.str().find(": the file is for the RM520 (model code 105); the camera's memory "
                              "check says the camera is an RM525 Zoom (model code 106)\n"),
              std::string::npos)
        << err_.str();
}

TEST_F(TerminalUpdate, AnInterruptBeforeTheTransferReleasesTheCameraAndQuits) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    stop_.interrupted = true;
    EXPECT_EQ(Run(Settings(File())), exit_status::kQuit);
    EXPECT_EQ(camera.ReleaseCount(), 1);
    EXPECT_EQ(camera.BlocksWritten(), 0);
}

TEST_F(TerminalUpdate, AHangUpBeforeTheTransferIsAQuitWithTheCameraReleased) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    stop_.hungUp = true;
    EXPECT_EQ(Run(Settings(File())), exit_status::kQuit);
    EXPECT_EQ(camera.ReleaseCount(), 1);
    EXPECT_EQ(camera.BlocksWritten(), 0);
}

TEST_F(TerminalUpdate, AnInterruptDuringTheTransferStopsItAsAFailureAndNamesTheReadMe) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    TerminalSettings settings = Settings(File());
    settings.readMePath = "/opt/rm525fw/share/doc/rm525fw/ReadMe";
    EXPECT_EQ(Run(settings, 30), exit_status::kUpdateFailed);
    EXPECT_NE(err_.str().find("30% Downloading firmware failed.\nThe transfer stopped at 30 % "),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(out_.str(),
              "Camera update failed. Quit and follow the\nRETRY PROCEDURE in the ReadMe file. \n"
              "Next: keep the camera connected and switched on, and run the same rm525fw-cli "
              "update command again.\n"
              "The ReadMe file is at /opt/rm525fw/share/doc/rm525fw/ReadMe\n");
    EXPECT_FALSE(camera.Verified());
}

// The ReadMe's step 4b, walked in process because a pseudo-terminal cannot
// carry the break: Ctrl+C during the blocks leaves the camera listening at
// 38400 bit/s; the same command again finds it only after the break, shows
// each step of that as the ReadMe quotes it, asks about the same version and
// sends the whole file again.
TEST_F(TerminalUpdate, ReadMeStep4bACutDuringTheBlocksIsRecoveredByTheBreak) {
    const std::vector<std::string> steps = ReadMeQuoteAfter("step as it happens, for example");
    const std::vector<std::string> question = ReadMeQuoteAfter("the updater asks");
    std::vector<std::string> success = ReadMeQuoteAfter("The updater ends with");
    ASSERT_EQ(steps.size(), 3u);
    ASSERT_EQ(question, std::vector<std::string>{"Selected firmware matches camera version."});
    ASSERT_EQ(success.size(), 2u);
    std::string installed = success[0] + " " + success[1];
    installed.replace(installed.find("x.yy"), 4, "1.06");

    sim::CameraSetup setup = sim::Rm525Setup();
    setup.versionLow = 0x06;  // the file's version: the question is asked
    sim::CameraModel& camera = ports_.AttachCamera(1, setup);
    SearchReport search(
        ports_, err_, stop_, [](int) { return "/dev/ttyUSB0"; },
        [](const OpenFailure&) { return "?"; });
    factory_ = &search;
    TerminalSettings settings = Settings(File(), true);
    settings.port = 1;
    settings.search = &search;
    ASSERT_EQ(Run(settings, 14), exit_status::kUpdateFailed);
    ASSERT_EQ(camera.Mode(), sim::CameraMode::Update);
    ASSERT_EQ(camera.BreakCount(), 0);
    const int blocksBeforeRetry = camera.BlocksWritten();

    stop_.interrupted = false;
    err_.str("");
    out_.str("");
    EXPECT_EQ(Run(settings), exit_status::kInstalled) << err_.str();
    const std::string err = err_.str();
    size_t at = 0;
    for (const std::string& line : steps) {
        at = err.find("\n" + line + "\n", at);
        EXPECT_NE(at, std::string::npos) << line << "\n" << err;
    }
    EXPECT_NE(err.find("\n" + question[0] + "\nContinue (--yes)\n", at), std::string::npos) << err;
    EXPECT_EQ(out_.str(), installed + "\n");
    EXPECT_EQ(camera.BreakCount(), 1);
    EXPECT_EQ(camera.BlocksWritten() - blocksBeforeRetry, 2048) << "the whole file again";
    EXPECT_TRUE(camera.Verified());
}

TEST_F(TerminalUpdate, AHangUpDuringTheTransferLetsItRunToItsEnd) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(File()), 30, true), exit_status::kInstalled);
    EXPECT_TRUE(camera.Verified());
    EXPECT_EQ(camera.ReleaseCount(), 1);
}

#ifdef RM525FW_CLI_POSIX
// The program's own signal handling, with real signals: the terminal going
// away (SIGHUP) and a closed pipe (SIGPIPE) in the middle of the transfer
// neither end the process nor stop the transfer.
TEST_F(TerminalUpdate, HangUpAndBrokenPipeSignalsDuringTheTransferLetItRunToItsEnd) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    InstallStopHandlers(stop_);
    class SignallingFrontEnd : public TerminalFrontEnd {
    public:
        using TerminalFrontEnd::TerminalFrontEnd;
        bool ShowProgress(int phase, int percent, const char* text) override {
            if (phase == 1 && percent == 30 && !raised) {
                raised = true;
                raise(SIGHUP);
                raise(SIGHUP);  // a terminal may send it more than once
                raise(SIGPIPE);
            }
            return TerminalFrontEnd::ShowProgress(phase, percent, text);
        }
        bool raised = false;
    };
    TerminalSettings settings = Settings(File());
    settings.port = kCameraPort;
    settings.clock = &clock_;
    SignallingFrontEnd fe(
        in_, out_, err_, settings, stop_, [](const std::string&) { return std::nullopt; },
        [](const OpenFailure&) { return std::string(); });
    UpdateWorkflow workflow(fe, ports_, clock_);
    workflow.Run(ViewRect{});
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        signal(s, SIG_DFL);
    EXPECT_TRUE(fe.raised);
    EXPECT_TRUE(stop_.hungUp.load());
    EXPECT_FALSE(stop_.interrupted.load());
    EXPECT_EQ(ExitStatusFor(workflow.LastOutcome(), stop_.Any()), exit_status::kInstalled);
    EXPECT_TRUE(camera.Verified());
}

// Ctrl+C and a termination request ask to stop and leave the program running;
// a second one ends it at once, saying what that leaves.
TEST(StopHandlers, CtrlCAndTerminationAskToStopAndASecondOneEndsTheProgram) {
    for (const int sig : {SIGINT, SIGTERM}) {
        EXPECT_EXIT(
            {
                StopRequest request;
                InstallStopHandlers(request);
                request.Publish(StopPhase::Transferring);
                raise(sig);
                if (request.interrupted.load() && !request.hungUp.load())
                    std::fputs("asked to stop\n", stderr);
                raise(sig);
                _exit(0);
            },
            ::testing::KilledBySignal(sig),
            "Stopping after the current block(.|\n)*asked to stop\n\nEnded at once: the camera "
            "stays in update mode with an incomplete firmware");
    }
}

// Ctrl+C at each phase of a run, from the program's own handler: what it
// says is what the camera then sees.
TEST_F(TerminalUpdate, EachStopSaysWhatHappensAtItsPhase) {
    class StoppingFrontEnd : public TerminalFrontEnd {
    public:
        using TerminalFrontEnd::TerminalFrontEnd;
        bool ChoosePort(UpdateWorkflow& w, int16_t* port) override {
            Maybe(StopPhase::NoPortOpen);
            return TerminalFrontEnd::ChoosePort(w, port);
        }
        int16_t ChooseFile(const std::string& f, const std::string& n, std::string* p) override {
            Maybe(StopPhase::Connected);
            return TerminalFrontEnd::ChooseFile(f, n, p);
        }
        bool ShowProgress(int phase, int percent, const char* text) override {
            if (percent >= 30)
                Maybe(StopPhase::Transferring);
            return TerminalFrontEnd::ShowProgress(phase, percent, text);
        }
        void Maybe(StopPhase here) {
            if (here == at && !raised) {
                raised = true;
                raise(SIGINT);
            }
        }
        StopPhase at = StopPhase::NoPortOpen;
        bool raised = false;
    };
    // The search is stopped while COM1, which answers nothing, is tried.
    class StopOnOpen : public SerialPortFactory {
    public:
        explicit StopOnOpen(SerialPortFactory& inner) : inner_(inner) {}
        std::unique_ptr<SerialPort> Open(int n, OpenFailure* failure) override {
            if (n == 1 && stopHere)
                raise(SIGINT);
            return inner_.Open(n, failure);
        }
        bool stopHere = false;

    private:
        SerialPortFactory& inner_;
    };
    struct Case {
        StopPhase phase;
        const char* said;
        int releases;
        int exitStatus;
    };
    const Case cases[] = {
        {StopPhase::NoPortOpen, "Stopping: no port is open and the camera is not being addressed.",
         0, exit_status::kQuit},
        {StopPhase::Searching, "Stopping: the search stops at the next port;", 0,
         exit_status::kQuit},
        {StopPhase::Connected, "Stopping: releasing the camera from update mode, then ending.", 1,
         exit_status::kQuit},
        {StopPhase::Transferring,
         "Stopping after the current block. The camera stays in update mode with an incomplete "
         "firmware:\nkeep it connected and switched on",
         0, exit_status::kUpdateFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.phase));
        StopRequest stop;
        InstallStopHandlers(stop);
        sim::VirtualClock clock;
        sim::SimulatedPortFactory ports(clock);
        ports.AttachSilentDevice(1);
        sim::CameraModel& camera = ports.AttachCamera(kCameraPort, sim::Rm525Setup());
        StopOnOpen stopping(ports);
        stopping.stopHere = c.phase == StopPhase::Searching;
        SearchReport search(
            stopping, err_, stop, [](int) { return std::string(); },
            [](const OpenFailure&) { return std::string(); });
        TerminalSettings settings = Settings(File(), false, true);
        if (c.phase != StopPhase::NoPortOpen)
            settings.port = c.phase == StopPhase::Searching ? 0 : kCameraPort;
        settings.clock = &clock;
        settings.search = &search;
        StoppingFrontEnd fe(
            in_, out_, err_, settings, stop, [](const std::string&) { return std::nullopt; },
            [](const OpenFailure&) { return std::string(); });
        fe.at = c.phase;
        UpdateWorkflow workflow(fe, search, clock);
        ::testing::internal::CaptureStderr();
        workflow.Run(ViewRect{});
        const std::string said = ::testing::internal::GetCapturedStderr();
        signal(SIGINT, SIG_DFL);
        EXPECT_EQ(said.find(c.said), 1u) << said;  // after the line break that ends "^C"
        EXPECT_EQ(ExitStatusFor(workflow.LastOutcome(), stop.Any()), c.exitStatus);
        EXPECT_EQ(camera.ReleaseCount(), c.releases);
        EXPECT_FALSE(camera.Verified());
        EXPECT_FALSE(ports.AnyPortOpen());
        if (c.phase == StopPhase::NoPortOpen || c.phase == StopPhase::Searching) {
            EXPECT_EQ(ports.Record(kCameraPort).openAttempts, 0);
        }
        if (c.phase == StopPhase::Transferring) {
            EXPECT_GT(camera.BlocksWritten(), 0);
        }
    }
}
#endif

TEST_F(TerminalUpdate, TheCameraIdReachesTheTerminalEscaped) {
    sim::CameraSetup setup = sim::Rm525Setup();
    setup.cameraId = "EVIL\x1b]0;owned\x07\x1b[2J\\";
    ports_.AttachCamera(kCameraPort, setup);
    EXPECT_EQ(Run(Settings(File(firmware::kHeaderRm525, "0105"))), exit_status::kQuit);
    const std::string err = err_.str();
    EXPECT_EQ(err.find('\x1b'), std::string::npos);
    EXPECT_EQ(err.find('\x07'), std::string::npos);
    EXPECT_NE(err.find("Camera ID: EVIL\\x1b]0;owned\\x07\\x1b[2J\\\\"), std::string::npos) << err;
}

TEST_F(TerminalUpdate, NoCameraNamesEachPortSearchedAndExplainsBelowTheText) {
    // COM1 answers nothing, COM2 is held by another program, COM3..COM9 have
    // no device.
    ports_.AttachSilentDevice(1);
    ports_.AttachSilentDevice(2);
    ports_.SetHeld(2, true);
    SearchReport search(
        ports_, err_, stop_, [](int n) { return "/dev/ttyUSB" + std::to_string(n - 1); },
        [](const OpenFailure& f) { return "error " + std::to_string(f.systemError); });
    factory_ = &search;
    TerminalSettings settings = Settings(File());
    settings.port = 0;
    settings.search = &search;
    EXPECT_EQ(Run(settings), exit_status::kCameraNotFound);
    const std::string err = err_.str();
    // The ReadMe's list of reasons is what the search prints, whatever the
    // device in brackets; "..." stands for the reason.
    const std::vector<std::string> reasons = ReadMeQuoteAfter("The terminal prints one line");
    ASSERT_EQ(reasons.size(), 3u);
    // What follows the port and its device: ": the reason".
    const auto reason = [](const std::string& line) {
        const size_t bracket = line.find("): ");
        return line.substr(bracket != std::string::npos ? bracket + 1 : line.find(": "));
    };
    for (std::string quote : reasons) {
        const bool open = quote.size() > 3 && quote.substr(quote.size() - 3) == "...";
        quote.resize(quote.size() - (open ? 3 : 0));
        const std::string port = quote.substr(0, quote.find_first_of(" :")), said = reason(quote);
        bool printed = false;
        std::istringstream lines(err);
        for (std::string line; std::getline(lines, line);) {
            printed =
                printed || (line.rfind(port, 0) == 0 && line.find(": ") != std::string::npos &&
                            (open ? reason(line).rfind(said, 0) == 0 : reason(line) == said));
        }
        EXPECT_TRUE(printed) << quote << "\n" << err;
    }
    const size_t com1 = err.find("COM1 (/dev/ttyUSB0): opened, no camera answered\n");
    const size_t com2 = err.find("COM2");
    const size_t com3 = err.find("COM3: no device mapped\n");
    const size_t com9 = err.find("COM9: no device mapped\n");
    ASSERT_NE(com1, std::string::npos) << err;
    ASSERT_NE(com2, std::string::npos) << err;
    EXPECT_NE(err.find(": could not be opened: error ", com2), std::string::npos) << err;
    EXPECT_LT(com1, com2);
    EXPECT_LT(com2, com3);
    EXPECT_LT(com3, com9);
    // The explanation applies to COM2 only and follows the text.
    EXPECT_EQ(out_.str().rfind("Camera can not be found.", 0), 0u);
    EXPECT_EQ(err.substr(com9 + 23), "port 2\n") << err;
}

// The console window closed during the search: Windows ends the program a
// few seconds later.
TEST_F(TerminalUpdate, AStopDuringTheSearchEndsItAtTheNextPortWithThePortClosed) {
    ports_.AttachSilentDevice(1);
    ports_.AttachCamera(2, sim::Rm525Setup());
    // The window is closed while COM1 is being tried.
    class StopOnOpen : public SerialPortFactory {
    public:
        StopOnOpen(SerialPortFactory& inner, StopRequest& stop) : inner_(inner), stop_(stop) {}
        std::unique_ptr<SerialPort> Open(int n, OpenFailure* failure) override {
            opened.push_back(n);
            auto port = inner_.Open(n, failure);
            stop_.hungUp = true;
            stop_.endingSoon = true;
            return port;
        }
        std::vector<int> opened;

    private:
        SerialPortFactory& inner_;
        StopRequest& stop_;
    } stopping(ports_, stop_);
    SearchReport search(
        stopping, err_, stop_, [](int) { return std::string(); },
        [](const OpenFailure&) { return std::string(); });
    factory_ = &search;
    TerminalSettings settings = Settings(File());
    settings.port = 0;
    settings.search = &search;
    const uint32_t start = clock_.NowMs();
    EXPECT_EQ(Run(settings), exit_status::kQuit);
    // One unanswered exchange (2.3 s), within the seconds left, not the
    // silent port's retries and recovery (15 s).
    EXPECT_LT(clock_.NowMs() - start, 3000u);
    EXPECT_EQ(stopping.opened, std::vector<int>{1});  // COM2 is never tried
    EXPECT_EQ(ports_.Camera(2)->ReleaseCount(), 0);
    EXPECT_TRUE(out_.str().empty()) << out_.str();  // no "Camera can not be found."
    EXPECT_NE(err_.str().find("COM1: opened, no camera answered\nSearch stopped before COM2.\n"),
              std::string::npos)
        << err_.str();
}

TEST_F(TerminalUpdate, NoCameraOnAFixedPortExplainsIt) {
    EXPECT_EQ(Run(Settings(File())), exit_status::kCameraNotFound);
    EXPECT_EQ(err_.str(),
              "Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...\nport 2\n");
    EXPECT_NE(out_.str().find("Camera can not be found."), std::string::npos);
}

TEST_F(TerminalUpdate, AFileThatCannotBeReadGivesUpAfterTheErrorMessageNamingFileAndReason) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    EXPECT_EQ(Run(Settings(dir_.File("missing.fw"))), exit_status::kFileError);
    EXPECT_EQ(err_.str().substr(err_.str().find("File open")),
              "File open or read error!\n" + dir_.File("missing.fw") + ": no such file\n");
    EXPECT_EQ(err_.str().find('\a'), std::string::npos);  // no bell where no terminal listens
    EXPECT_EQ(camera.ReleaseCount(), 1);
}

TEST_F(TerminalUpdate, AtATerminalTheEndOfInputCancelsTheChoiceAndQuits) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    TerminalSettings settings;
    settings.interactive = true;
    EXPECT_EQ(Run(settings), exit_status::kQuit);
    EXPECT_NE(err_.str().find("Firmware file (*.fw; empty to cancel): \nFile selection was "
                              "canceled !\n[C]ontinue or [Q]uit? \n"),
              std::string::npos);
    EXPECT_EQ(camera.ReleaseCount(), 1);
}

TEST_F(TerminalUpdate, CtrlDCancelsOneQuestionOnlyAndAnswersAreNotCaseSensitive) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    // A terminal gives end-of-input for Ctrl+D and reads on afterwards: the
    // chooser is cancelled, then "CONTINUE" and the right file follow.
    class CtrlDBuffer : public std::stringbuf {
    public:
        explicit CtrlDBuffer(std::string after) : after_(std::move(after)) {}

    protected:
        int_type underflow() override {
            if (!eofGiven_) {
                eofGiven_ = true;
                return traits_type::eof();
            }
            if (!filled_) {
                filled_ = true;
                str(after_);
            }
            return std::stringbuf::underflow();
        }

    private:
        std::string after_;
        bool eofGiven_ = false;
        bool filled_ = false;
    } buffer("CONTINUE\n" + File() + "\n");
    in_.basic_ios::rdbuf(&buffer);
    TerminalSettings settings;
    settings.interactive = true;
    EXPECT_EQ(Run(settings), exit_status::kInstalled) << err_.str();
    EXPECT_TRUE(camera.Verified());
}

// The right one pasted as a file manager copies a path: in quotes.
TEST_F(TerminalUpdate, AtATerminalAWrongFileCanBeFollowedByTheRightOne) {
    sim::CameraModel& camera = ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    const std::string good = File();
    const std::string bad =
        testing::WriteFile(dir_.File("bad.fw"), testing::FirmwareBytes("Other header"));
    // Wrong answers are told what is accepted, and asked again.
    in_.str("x\nyes\nn\n\nc\n" + dir_.File("nowhere.fw") + "\n\"" + good + "\"\n");
    EXPECT_EQ(Run(Settings(bad, false, true)), exit_status::kInstalled);
    const std::string accepted = ": type c (or continue) to go on, q (or quit) to stop.\n";
    EXPECT_NE(err_.str().find("? 'x' is not an answer" + accepted +
                              "[C]ontinue or [Q]uit? 'yes' "
                              "is not an answer" +
                              accepted +
                              "[C]ontinue or [Q]uit? 'n' is not "
                              "an answer" +
                              accepted + "[C]ontinue or [Q]uit? No answer given" + accepted +
                              "[C]ontinue or [Q]uit? Firmware file"),
              std::string::npos)
        << err_.str();
    EXPECT_NE(err_.str().find(dir_.File("nowhere.fw") + ": no such file\n"), std::string::npos);
    EXPECT_TRUE(camera.Verified());
}

TEST(ProgressPrinter, ShowsElapsedAndTimeLeftAndEndsWithBytesTimeAndRate) {
    sim::VirtualClock clock;
    std::ostringstream out;
    ProgressPrinter progress(out, false, clock, 524288);
    progress.Show(0, 0, "Downloading firmware ...");
    clock.Advance(50000);  // a slow preparation is not the pace of the blocks
    progress.Show(1, 25, "Downloading firmware ...");
    clock.Advance(150000);
    progress.Show(2, 100, "Downloading firmware completed.");
    progress.Close();
    // 1536 blocks to go at 169.8 ms each (4:21); the line's pace is known.
    EXPECT_EQ(out.str(),
              "0% Downloading firmware ... (0:00 elapsed)\n"
              "25% Downloading firmware ... (0:50 elapsed, 4:21 left)\n"
              "100% Downloading firmware completed.\n"
              "Wrote 524288 bytes in 200.0 s (2621 bytes/s).\n");

    // The bar at 60 % after the blocks from 50 % took `tenPercentMs`.
    auto barAt60 = [&clock](uint32_t tenPercentMs) {
        std::ostringstream bar;
        ProgressPrinter drawn(bar, true, clock, 524288);
        drawn.Show(0, 0, "Downloading firmware ...");
        drawn.Show(1, 50, "Downloading firmware ...");
        clock.Advance(tenPercentMs);
        drawn.Show(1, 60, "Downloading firmware ...");
        return bar.str();
    };
    // A line slower than the protocol's pace: 6 s a percent measured.
    const std::string slow = barAt60(60000);
    EXPECT_NE(slow.find("60% Downloading firmware ...  1:00 elapsed, 4:00 left\x1b[K"),
              std::string::npos)
        << slow;
    // A pseudo-terminal hands the host's bytes over at once, so its blocks
    // go faster than the line's: once measured, their pace counts too.
    const std::string quick = barAt60(10000);
    EXPECT_NE(quick.find("60% Downloading firmware ...  0:10 elapsed, 0:40 left\x1b[K"),
              std::string::npos)
        << quick;

    // A console that shows the sequences as text: blanks over the longer line.
    std::ostringstream plain;
    ProgressPrinter padded(plain, true, clock, 524288, false);
    padded.Show(1, 60, "Downloading firmware ...");
    const size_t longer = plain.str().size();
    padded.Show(3, 60, "failed.");
    const std::string last = plain.str().substr(longer);
    EXPECT_EQ(last.size(), longer) << "the end of the longer line is left: " << plain.str();
    EXPECT_EQ(last.substr(last.find("failed.")).find_first_not_of(" ", 7), std::string::npos);
    EXPECT_EQ(plain.str().find('\x1b'), std::string::npos);
}

// The first estimates come from the protocol's time per block, so that they
// are right from the first percent on; the truth is the virtual clock's.
TEST_F(TerminalUpdate, TheTimeLeftIsWithinAFifthOfTheTruthFromTheFirstPercent) {
    ports_.AttachCamera(kCameraPort, sim::Rm525Setup());
    struct Estimate {
        int percent;
        uint32_t atMs;
        double leftSeconds;
    };
    std::vector<Estimate> estimates;
    uint32_t endMs = 0;
    class TimingFrontEnd : public TerminalFrontEnd {
    public:
        using TerminalFrontEnd::TerminalFrontEnd;
        bool ShowProgress(int phase, int percent, const char* text) override {
            const bool result = TerminalFrontEnd::ShowProgress(phase, percent, text);
            onShown(phase, percent);
            return result;
        }
        std::function<void(int, int)> onShown;
    };
    TerminalSettings settings = Settings(File());
    settings.port = kCameraPort;
    settings.clock = &clock_;
    settings.progressBar = true;
    TimingFrontEnd fe(
        in_, out_, err_, settings, stop_, [](const std::string&) { return std::nullopt; },
        [](const OpenFailure&) { return std::string(); });
    fe.onShown = [&](int phase, int percent) {
        const std::string shown = err_.str();
        const size_t left = shown.rfind(" left");
        if (phase == 1 && percent >= 1 && left != std::string::npos && left > shown.rfind('\r')) {
            const size_t from = shown.rfind(' ', left - 1) + 1;
            int minutes = 0, seconds = 0;
            ASSERT_EQ(std::sscanf(shown.c_str() + from, "%d:%d", &minutes, &seconds), 2);
            estimates.push_back({percent, clock_.NowMs(), minutes * 60.0 + seconds});
        }
        if (phase == 2)
            endMs = clock_.NowMs();
    };
    UpdateWorkflow workflow(fe, ports_, clock_);
    workflow.Run(ViewRect{});
    ASSERT_GT(endMs, 0u);
    ASSERT_GT(estimates.size(), 1000u);
    EXPECT_EQ(estimates.front().percent, 1);
    for (const Estimate& e : estimates) {
        const double truth = (endMs - e.atMs) / 1000.0;
        // A second for the display's rounding to whole seconds.
        EXPECT_NEAR(e.leftSeconds, truth, truth * 0.2 + 1) << e.percent << " %";
    }
}

// FIPS 180-2 examples, and a length whose padding needs a block of its own.
TEST(Sha256, TheStandardTestVectors) {
    const auto hex = [](std::string_view text) {
        return Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    };
    EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(TerminalText, EscapesEverythingButPrintableAscii) {
    EXPECT_EQ(EscapeForTerminal("AB 9~"), "AB 9~");
    EXPECT_EQ(EscapeForTerminal(std::string("\x1b[31m\x00\x7f\x9b\xfc\\", 10)),
              "\\x1b[31m\\x00\\x7f\\x9b\\xfc\\\\");
    EXPECT_EQ(EscapeControls("/home/j\xc3\xbcrgen/new\x1b[2J.fw"),
              "/home/j\xc3\xbcrgen/new\\x1b[2J.fw");
    EXPECT_EQ(ModelName(106), "RM525 Zoom (model code 106)");
    EXPECT_EQ(ModelName(105), "RM520 (model code 105)");
    EXPECT_EQ(VersionText({'0', '1', '0', '\x1b'}), "1.0\\x1b");
    EXPECT_EQ(Duration(59.4), "0:59");
    EXPECT_EQ(Duration(3725), "1:02:05");
}

TEST(CliOptions, ParsesEachCommandAndRefusesWhatDoesNotFit) {
    const ParseResult update =
        ParseArguments({"update", "--port", "com3", "--file", "a.fw", "--yes", "--trace", "t"});
    ASSERT_EQ(update.request, Request::Run);
    EXPECT_EQ(update.options->verb, Verb::Update);
    EXPECT_EQ(*update.options->port, "com3");
    EXPECT_TRUE(update.options->yes);
    EXPECT_EQ(*update.options->trace, "t");
    EXPECT_EQ(ParseArguments({"inspect", "x.fw"}).options->file, "x.fw");

    // --opt=value is --opt value; "--" ends the options.
    const ParseResult joined = ParseArguments({"update", "--port=COM2", "--file=-odd.fw"});
    ASSERT_EQ(joined.request, Request::Run) << joined.error;
    EXPECT_EQ(*joined.options->port, "COM2");
    EXPECT_EQ(*joined.options->file, "-odd.fw");
    EXPECT_EQ(ParseArguments({"inspect", "--", "--help"}).options->file, "--help");

    const auto error = [](std::vector<std::string> args) {
        const ParseResult r = ParseArguments(args);
        EXPECT_EQ(r.request, Request::UsageError);
        return r.error;
    };
    EXPECT_EQ(error({}), "no command given");
    EXPECT_EQ(error({"flash"}), "unknown command 'flash'");
    EXPECT_EQ(error({"update", "--colour"}), "unknown option '--colour'");
    EXPECT_EQ(error({"update", "-x"}), "unknown option '-x'");
    EXPECT_EQ(error({"ports", "--port", "AUTO"}), "option --port does not fit the ports command");
    EXPECT_EQ(error({"info", "--yes"}), "option --yes does not fit the info command");
    // A missing value is an error; the next option is never taken as one.
    EXPECT_EQ(error({"update", "--file", "--yes"}), "option --file needs a value (PATH)");
    EXPECT_EQ(error({"update", "--port"}), "option --port needs a value (PORT)");
    EXPECT_EQ(error({"update", "--file="}), "option --file needs a value (PATH)");
    EXPECT_EQ(error({"update", "--yes=no"}), "option --yes takes no value");
    EXPECT_EQ(error({"update", "--port", "COM0"}),
              "port 'COM0' is not " + std::string(PortGrammarText()));
    EXPECT_EQ(error({"inspect"}), "inspect needs PATH");
    EXPECT_EQ(error({"inspect", "a.fw", "b.fw"}), "unexpected argument 'b.fw'");
}

TEST(CliOptions, HelpAnywhereVersionAndTheCompletionTable) {
    EXPECT_EQ(ParseArguments({"--help"}).request, Request::Help);
    EXPECT_FALSE(ParseArguments({"-h"}).helpVerb);
    const ParseResult verbHelp = ParseArguments({"update", "--port", "COM1", "--help"});
    EXPECT_EQ(verbHelp.request, Request::Help);
    EXPECT_EQ(verbHelp.helpVerb, Verb::Update);
    EXPECT_EQ(ParseArguments({"update", "--file", "-h"}).request, Request::Help);
    EXPECT_EQ(ParseArguments({"help", "inspect"}).helpVerb, Verb::Inspect);
    EXPECT_EQ(ParseArguments({"--version"}).request, Request::Version);
    EXPECT_EQ(ParseArguments({"--completion-table"}).request, Request::CompletionTable);

    // Help, parsing and completion read one table: every option of every
    // verb is in the verb's help and in the completion table, and parses.
    const std::string table = CompletionTable();
    for (const VerbSpec& verb : Verbs()) {
        const std::string help = VerbHelpText(verb.verb);
        EXPECT_NE(HelpText().find("  " + std::string(verb.name) + " "), std::string::npos);
        for (const OptionSpec& option : verb.options) {
            EXPECT_NE(help.find("  " + std::string(option.name)), std::string::npos);
            EXPECT_NE(table.find(std::string(verb.name) + " " + std::string(option.name) + " "),
                      std::string::npos);
            std::vector<std::string> args = {std::string(verb.name), std::string(option.name)};
            if (option.value != ValueKind::None)
                args.push_back("COM1");
            if (verb.operand != ValueKind::None)
                args.push_back("x.fw");
            EXPECT_EQ(ParseArguments(args).request, Request::Run) << option.name;
        }
    }
    EXPECT_NE(table.find("\nupdate --port port\n"), std::string::npos);
    EXPECT_NE(table.find("\nupdate --file firmware\n"), std::string::npos);
    EXPECT_NE(table.find("\ninspect - firmware\n"), std::string::npos);
    EXPECT_NE(HelpText().find("  7  quit by the user"), std::string::npos);
    // A verb's help lists only the statuses it can end with.
    EXPECT_NE(VerbHelpText(Verb::Update).find("  6  camera memory error"), std::string::npos);
    EXPECT_EQ(VerbHelpText(Verb::Ports).find("camera memory error"), std::string::npos);
    EXPECT_EQ(VerbHelpText(Verb::Ports).find("  3  "), std::string::npos);
    EXPECT_NE(VerbHelpText(Verb::Inspect).find("  4  wrong file"), std::string::npos);
    EXPECT_EQ(VerbHelpText(Verb::Info).find("  4  "), std::string::npos);
    EXPECT_EQ(HelpText().find("completion"), std::string::npos);  // the hidden option stays hidden
}

// One grammar, read for each system.
TEST(CliOptions, PortArgumentsOnEachSystem) {
    struct Case {
        const char* text;
        std::optional<int> posixPort, windowsPort;  // empty: refused
        const char* posixDevice;
        const char* windowsDevice;
    };
    const Case cases[] = {
        {"AUTO", 0, 0, "", ""},
        {"auto", 0, 0, "", ""},
        {"COM1", 1, 1, "", ""},
        {"com9", 9, 9, "", ""},
        {"COM12", {}, 0, "", "COM12"},
        {"COM123456", {}, 0, "", "COM123456"},
        {"\\\\.\\COM3", {}, 0, "", "\\\\.\\COM3"},
        {"\\\\.\\com12", {}, 0, "", "\\\\.\\com12"},
        {"/dev/ttyUSB0", 0, {}, "/dev/ttyUSB0", ""},
        {"./camera", 0, {}, "./camera", ""},
        {"COM0", {}, {}, "", ""},
        {"COM01", {}, {}, "", ""},
        {"COM1x", {}, {}, "", ""},
        {"COM", {}, {}, "", ""},
        {"ttyUSB0", {}, {}, "", ""},
        {"\\\\.\\CNCB0", {}, {}, "", ""},
    };
    for (const Case& c : cases) {
        const auto posix = ParsePortArgument(c.text, PortSystem::Posix);
        const auto windows = ParsePortArgument(c.text, PortSystem::Windows);
        ASSERT_EQ(posix.has_value(), c.posixPort.has_value()) << c.text;
        ASSERT_EQ(windows.has_value(), c.windowsPort.has_value()) << c.text;
        if (posix) {
            EXPECT_EQ(posix->port, *c.posixPort) << c.text;
            EXPECT_EQ(posix->device, c.posixDevice) << c.text;
        }
        if (windows) {
            EXPECT_EQ(windows->port, *c.windowsPort) << c.text;
            EXPECT_EQ(windows->device, c.windowsDevice) << c.text;
        }
    }
    EXPECT_EQ(ParseArguments({"info", "--port", "/dev/ttyUSB0"}, PortSystem::Windows).error,
              "port '/dev/ttyUSB0' is not " + std::string(PortGrammarText(PortSystem::Windows)));
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
