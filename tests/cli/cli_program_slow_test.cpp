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
    EXPECT_NE(run.out.find("Searching for Quelm Vivid Imagework RM520/RM525 Zoom Camera ...\n"
                           "Camera ID: "),
              std::string::npos);
    EXPECT_NE(run.out.find("Firmware Version: 1.05\n"), std::string::npos);
    EXPECT_NE(run.out.find("Firmware 1.06 was successfully installed"), std::string::npos);
    EXPECT_NE(run.err.find("100% Downloading firmware completed.\n"), std::string::npos);

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

TEST_F(CliProgram, SigtermDuringTheTransferStopsItAndExitsOne) {
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
    EXPECT_NE(ReadFile(dir_.File("cli.err")).find("Downloading firmware failed."),
              std::string::npos);
}

}  // namespace
}  // namespace rm525::testing
