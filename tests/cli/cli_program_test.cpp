// rm525fw-cli end to end: the real program over a pseudo-terminal against the
// camera simulator program, checked by its output and exit status.

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "cli/sha256.h"
#include "tests/cli/cli_program_support.h"

namespace rm525::testing {
namespace {

TEST_F(CliProgram, APortThatCannotBeOpenedIsExplained) {
    const CliRun run = RunCli(
        {"update", "--port", dir_.File("no-such-tty"), "--file", Firmware(firmware::kHeaderRm525)});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find(dir_.File("no-such-tty")), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Camera can not be found."), std::string::npos);
}

TEST_F(CliProgram, HelpVersionAndOptionErrors) {
    CliRun run = RunCli({"update", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: rm525fw-cli update [--port PORT] [--file PATH] [--yes] "
                            "[--trace FILE]\n",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("  7  quit by the user"), std::string::npos);
    run = RunCli({"-h"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\n  inspect "), std::string::npos);
    run = RunCli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "rm525fw-cli 2.0\n");

    const auto usageError = [&](std::vector<std::string> args) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.empty());
        return r.err.substr(0, r.err.find('\n'));
    };
    EXPECT_EQ(usageError({"update", "--file", "x.fw"}),
              "rm525fw-cli: --port and --file are needed when standard input is not a terminal");
    EXPECT_EQ(usageError({"frobnicate"}), "rm525fw-cli: unknown command 'frobnicate'");
    EXPECT_EQ(usageError({"update", "--frobnicate"}), "rm525fw-cli: unknown option '--frobnicate'");
    EXPECT_EQ(usageError({"ports", "--file=x.fw"}),
              "rm525fw-cli: option --file does not fit the ports command");
    EXPECT_EQ(usageError({"update", "--port", "COM1", "--file", "--yes"}),
              "rm525fw-cli: option --file needs a value (PATH)");
}

TEST_F(CliProgram, AFileThatCannotBeReadOrCannotFitEndsTheRunBeforeAnyPortIsTouched) {
    std::filesystem::create_directory(dir_.File("folder.fw"));
    for (const auto& [name, reason] : {std::pair{"missing.fw", "no such file"},
                                       std::pair{"folder.fw", "a directory, not a file"}}) {
        SCOPED_TRACE(name);
        // Every port goes through the trace: no trace file, no port opened.
        const CliRun run = RunCli({"update", "--port", "AUTO", "--file", dir_.File(name), "--trace",
                                   dir_.File("wire.trace")});
        EXPECT_EQ(run.status, 5);
        EXPECT_EQ(run.err, "File open or read error!\n" + dir_.File(name) + ": " + reason + "\n");
        EXPECT_FALSE(std::filesystem::exists(dir_.File("wire.trace")));
    }
    // Header and size are judged there too (the wrong answer at the camera
    // is the in-process tests' business).
    std::vector<uint8_t> shortBytes = FirmwareBytes(firmware::kHeaderRm525);
    shortBytes.resize(1000);
    for (const auto& [file, reason] :
         {std::pair{Firmware("Not the header of either camera"),
                    "the header names neither camera (RM520 nor RM525 Zoom)"},
          std::pair{WriteFile(dir_.File("short.fw"), shortBytes),
                    "1000 bytes where 524416 are needed"}}) {
        const CliRun run = RunCli(
            {"update", "--port", "AUTO", "--file", file, "--trace", dir_.File("wire.trace")});
        EXPECT_EQ(run.status, 4);
        EXPECT_EQ(run.err, "rm525fw-cli: " + file + ": " + reason + "; no port was opened\n");
        EXPECT_FALSE(std::filesystem::exists(dir_.File("wire.trace")));
    }
}

TEST_F(CliProgram, ATraceFileThatIsTheFirmwareFileIsRefusedAndTheFileKept) {
    const std::string file = Firmware(firmware::kHeaderRm525);
    const std::string before = ReadFile(file);
    // The same file by another name: a hard link.
    std::filesystem::create_hard_link(file, dir_.File("same.trace"));
    for (const std::string& trace : {file, dir_.File("./update.fw"), dir_.File("same.trace")}) {
        SCOPED_TRACE(trace);
        const CliRun run = RunCli({"update", "--port", "COM1", "--file", file, "--trace", trace},
                                  "/dev/rm525-no-such-device");
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("is the firmware file"), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(file), before);
    }
    // A trace that cannot be written says why.
    const CliRun run = RunCli(
        {"update", "--port", "COM1", "--file", file, "--trace", dir_.File("none/wire.trace")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "rm525fw-cli: cannot write the trace file " + dir_.File("none/wire.trace") +
                           ": the folder " + dir_.File("none") + " does not exist\n");
}

TEST_F(CliProgram, AClosedPipeOnStandardOutputDoesNotKillTheProgram) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    close(pipeFds[0]);  // nobody reads: every write fails with EPIPE
    const std::string file = Firmware(firmware::kHeaderRm525);
    std::vector<char*> argv = {const_cast<char*>(RM525FW_CLI), const_cast<char*>("inspect"),
                               const_cast<char*>(file.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, RM525FW_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;  // not SIGPIPE
}

TEST_F(CliProgram, AHangUpBeforeTheTransferQuitsWithTheCameraReleased) {
    StartSimulator();
    const std::string file = Firmware(firmware::kHeaderRm525);
    const auto cli = StartCli(
        {"update", "--port", "COM1", "--file", file, "--trace", dir_.File("wire.trace")}, Camera());
    // The terminal goes away while the camera is being brought up.
    ASSERT_TRUE(WaitForText("wire.trace", "COM1 - opened"));
    kill(cli->pid(), SIGHUP);
    EXPECT_EQ(cli->Wait(), 7);
    EXPECT_EQ(SimulatorExit(), 0);  // it leaves once the camera has been released
    EXPECT_EQ(ReadFile(dir_.File("cli.err")).find("Downloading"), std::string::npos);
    const std::string trace = ReadFile(dir_.File("wire.trace"));
    EXPECT_NE(trace.find(" COM1 > AE"), std::string::npos);  // the release command
    EXPECT_NE(trace.find(" COM1 - closed"), std::string::npos);
}

TEST_F(CliProgram, CtrlCDuringInfoReleasesTheCameraAndQuits) {
    StartSimulator();
    const auto cli =
        StartCli({"info", "--port", "COM1", "--trace", dir_.File("wire.trace")}, Camera());
    ASSERT_TRUE(WaitForText("wire.trace", "COM1 - opened"));
    kill(cli->pid(), SIGINT);
    EXPECT_EQ(cli->Wait(), 7);
    EXPECT_EQ(ReadFile(dir_.File("cli.out")), "");  // nothing read out
    EXPECT_EQ(SimulatorExit(), 0);                  // released
    EXPECT_NE(ReadFile(dir_.File("wire.trace")).find(" COM1 - closed"), std::string::npos);
}

// The camera named by a device path relative to the working folder.
TEST_F(CliProgram, TheCameraIdIsShownEscaped) {
    StartSimulator({"--camera-id", "A\x1b[2JB\x07"});
    const std::string relative =
        std::filesystem::relative(Camera(), std::filesystem::current_path()).string();
    ASSERT_NE(relative.front(), '/');
    const CliRun run = RunCli({"info", "--port", relative});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Camera ID:        A\\x1b[2JB\\x07\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(SimulatorExit(), 0);
}

TEST_F(CliProgram, UsageErrorsAndInspect) {
    const CliRun good = RunCli({"inspect", Firmware(firmware::kHeaderRm520, "0107")});
    EXPECT_EQ(good.status, 0);
    EXPECT_NE(good.out.find("RM520"), std::string::npos);
    EXPECT_NE(good.out.find("Version:       1.07\n"), std::string::npos);
    EXPECT_NE(
        good.out.find("Body SHA-256:  " + rm525::cli::Sha256Hex(body_.data() + 128, 524288) + "\n"),
        std::string::npos)
        << good.out;
    EXPECT_NE(good.out.find("Result:        the update would accept this file"), std::string::npos);
    const CliRun wrong = RunCli({"inspect", Firmware("Another text")});
    EXPECT_EQ(wrong.status, 4);
    // A terminal tool: nothing to click.
    EXPECT_EQ(wrong.out.find("click"), std::string::npos) << wrong.out;
    EXPECT_NE(wrong.out.find("the update would refuse this file (the header names neither camera"),
              std::string::npos)
        << wrong.out;
    const CliRun missing = RunCli({"inspect", dir_.File("missing.fw")});
    EXPECT_EQ(missing.status, 5);
    EXPECT_EQ(missing.err, "rm525fw-cli: " + dir_.File("missing.fw") + ": no such file\n");
}

TEST_F(CliProgram, InfoReadsTheCameraAndReleasesIt) {
    StartSimulator({"--camera-id", "STUDIO 4", "--version", "0115", "--clock", "0"});
    const CliRun run = RunCli({"info", "--port", "COM1"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Model:            RM525 Zoom (model code 106)\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Camera ID:        STUDIO 4\n"), std::string::npos);
    EXPECT_NE(run.out.find("Firmware version: 1.15\n"), std::string::npos);
    EXPECT_NE(run.out.find("Camera clock:     1997-01-01 00:00:00\n"), std::string::npos);
    EXPECT_EQ(SimulatorExit(), 0);  // released
}

TEST_F(CliProgram, InfoOnACameraAlreadyInUpdateModeSaysSo) {
    StartSimulator({"--mode", "update"});
    const CliRun run = RunCli({"info", "--port", "COM1"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("already in update mode"), std::string::npos) << run.out;
    EXPECT_EQ(SimulatorExit(), 0);
}

TEST_F(CliProgram, PortsNamesTheDeviceEachNumberResolvesTo) {
    std::filesystem::create_directory(dir_.File("folder"));
    const CliRun run = RunCli({"ports"}, "/dev/rm525-test-device",
                              {"RM525FW_COM3=" + dir_.File("folder"), "RM525FW_COM4=/dev/null"});
    EXPECT_EQ(run.status, 0);
    const std::string passedOver = ": the search passes it over)\n";
    // What follows is the machine's own other devices.
    EXPECT_EQ(
        run.out.rfind("COM1  /dev/rm525-test-device  [RM525FW_COM1]  (no such device" + passedOver +
                          "COM2  (no device)\nCOM3  " + dir_.File("folder") +
                          "  [RM525FW_COM3]  (a folder, not a device" + passedOver +
                          "COM4  /dev/null  [RM525FW_COM4]  (not a serial device" + passedOver +
                          "COM5  (no device)\nCOM6  (no device)\nCOM7  (no device)\n"
                          "COM8  (no device)\nCOM9  (no device)\n"
                          "RM525FW_NO_DEFAULT_PORTS=1: a number without its own RM525FW_COMn "
                          "stands for no device.\n",
                      0),
        0u)
        << run.out;
}

}  // namespace
}  // namespace rm525::testing
