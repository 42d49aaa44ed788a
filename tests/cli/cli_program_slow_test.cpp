// rm525fw-cli end to end: the real program over a pseudo-terminal against the
// camera simulator program, checked by its output and exit status: the
// roads that take the camera protocol's own time.

#include <cstring>

#include "tests/cli/cli_program_support.h"

namespace rm525::testing {
namespace {

TEST_F(CliProgram, UpdateInstallsTheFirmwareAndExitsZero) {
    StartSimulator();
    const std::string file = Firmware(firmware::kHeaderRm525);
    const CliRun run = RunCli(
        {"update", "--port", "COM1", "--file", file, "--yes", "--trace", dir_.File("wire.trace")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // The search says what it does on the port before the camera is found.
    const std::string port = "COM1 (" + Camera() + ")";
    EXPECT_NE(
        run.err.find("Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...\n" + port +
                     ": no answer in update mode at 9600 bit/s; reading the camera's "
                     "status\n" +
                     port + ": camera read; switching it into update mode\nCamera found on " +
                     port + ".\nCamera ID: "),
        std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Firmware Version: 1.05\n"), std::string::npos);
    EXPECT_EQ(run.out.rfind("Firmware 1.06 was successfully installed", 0), 0u) << run.out;
    EXPECT_NE(run.err.find("100% Downloading firmware completed.\nWrote 524288 bytes in "),
              std::string::npos)
        << run.err;

    ASSERT_EQ(SimulatorExit(), 0);
    const std::string flash = ReadFile(dir_.File("flash.bin"));
    ASSERT_EQ(flash.size(), static_cast<size_t>(firmware::kBodySize));
    EXPECT_EQ(std::memcmp(flash.data(), body_.data() + firmware::kBodyOffset, flash.size()), 0);

    const std::string trace = ReadFile(dir_.File("wire.trace"));
    EXPECT_NE(trace.find(" COM1 - opened\n"), std::string::npos);
    EXPECT_NE(trace.find(" COM1 > 57 51 4D 5A 45 41 56 48 52 59 43 53\n"), std::string::npos);
    EXPECT_NE(trace.find(" COM1 < 53 43 59 52 48 56 41 45 5A 4D 51 57"), std::string::npos);
}

TEST_F(CliProgram, NoCameraOnTheLineExitsThree) {
    // A terminal nobody answers on.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    const CliRun run =
        RunCli({"update", "--port", "COM1", "--file", Firmware(firmware::kHeaderRm525)}, slave);
    close(master);
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("Camera can not be found.\nPlease exit"), std::string::npos);
}

TEST_F(CliProgram, TheSearchNamesEachPortAndWhatBecameOfIt) {
    const SilentTerminal silent;
    ASSERT_FALSE(silent.path().empty());
    const CliRun run =
        RunCli({"update", "--port", "AUTO", "--file", Firmware(firmware::kHeaderRm525)},
               silent.path(), {"RM525FW_COM2=" + dir_.File("no-such-tty")});
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.err.find("COM1 (" + silent.path() +
                           "): opened, no camera answered\n"
                           "COM2 (" +
                           dir_.File("no-such-tty") +
                           "): could not be opened: no such file or directory\n"
                           "COM3: no device mapped\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("COM9: no device mapped\n"), std::string::npos);
    // Below the text: why COM2 could not be used; nothing for the numbers
    // without a device, which the search lines named already.
    EXPECT_EQ(run.out.rfind("Camera can not be found.\n", 0), 0u) << run.out;
    const std::string after = run.err.substr(run.err.find("COM9: no device mapped\n") + 23);
    EXPECT_EQ(after.rfind("COM2 (" + dir_.File("no-such-tty") + "): there is no such device", 0),
              0u)
        << after;
    EXPECT_EQ(after.find("COM3"), std::string::npos) << after;
}

TEST_F(CliProgram, CtrlCDuringTheSearchStopsAtTheNextPortWithThePortClosed) {
    const SilentTerminal first;
    const SilentTerminal second;
    const auto cli =
        StartCli({"update", "--port", "AUTO", "--file", Firmware(firmware::kHeaderRm525), "--trace",
                  dir_.File("wire.trace")},
                 first.path(), {"RM525FW_COM2=" + second.path()});
    ASSERT_TRUE(WaitForText("wire.trace", "COM1 - opened"));
    kill(cli->pid(), SIGINT);
    EXPECT_EQ(cli->Wait(), 7);
    const std::string err = ReadFile(dir_.File("cli.err"));
    EXPECT_NE(err.find("COM1 (" + first.path() +
                       "): opened, no camera answered\nSearch stopped before COM2.\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(ReadFile(dir_.File("cli.out")), "");  // not "Camera can not be found."
    const std::string trace = ReadFile(dir_.File("wire.trace"));
    EXPECT_NE(trace.find(" COM1 - closed\n"), std::string::npos);
    EXPECT_EQ(trace.find("COM2"), std::string::npos) << trace;  // never opened
}

TEST_F(CliProgram, SigtermDuringTheTransferStopsItAndExitsOne) {
    // Run as installed: the ReadMe beside the program is the one named.
    const std::string prefix = dir_.File("prefix");
    std::filesystem::create_directories(prefix + "/bin");
    std::filesystem::create_directories(prefix + "/share/doc/rm525fw");
    std::ofstream(prefix + "/share/doc/rm525fw/ReadMe") << "RETRY PROCEDURE\n";
    program_ = prefix + "/bin/rm525fw-cli";
    std::filesystem::copy_file(RM525FW_CLI, program_);
    StartSimulator();
    const std::string file = Firmware(firmware::kHeaderRm525);
    const auto cli = StartCli({"update", "--port", "COM1", "--file", file, "--yes"}, Camera());
    // The transfer has begun: phase 0 is reported before anything is sent.
    ASSERT_TRUE(WaitFor(
        [&] {
            return ReadFile(dir_.File("cli.err")).find("0% Downloading firmware ...") !=
                   std::string::npos;
        },
        60s));
    std::this_thread::sleep_for(1s);
    kill(cli->pid(), SIGTERM);
    EXPECT_EQ(cli->Wait(), 1);
    const std::string out = ReadFile(dir_.File("cli.out"));
    EXPECT_NE(out.find("Camera update failed."), std::string::npos) << out;
    EXPECT_NE(out.find("Camera update failed. Quit and follow the\nRETRY PROCEDURE in the ReadMe "
                       "file. \nNext: keep the camera connected and switched on, and run the same "
                       "rm525fw-cli update command again.\nThe ReadMe file is at " +
                       prefix + "/share/doc/rm525fw/ReadMe\n"),
              std::string::npos)
        << out;
    EXPECT_NE(ReadFile(dir_.File("cli.err")).find("Downloading firmware failed."),
              std::string::npos);
}

}  // namespace
}  // namespace rm525::testing
