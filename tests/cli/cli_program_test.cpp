// rm525fw-cli end to end: the real program over a pseudo-terminal against the
// camera simulator program, checked by its output and exit status.

#include "tests/cli/cli_program_support.h"

namespace rm525::testing {
namespace {

TEST_F(CliProgram, WrongFileIsAnsweredQuitReleasesTheCameraAndExitsFour) {
    StartSimulator();
    const std::string file = Firmware("Not the header of either camera");
    const CliRun run = RunCli({"update", "--port", "COM1", "--file", file});
    EXPECT_EQ(run.status, 4) << run.out << run.err;
    EXPECT_NE(run.out.find("\nSelected file is wrong.\nTo select correct file, click Continue "
                           "button.\nQuit\n"),
              std::string::npos);
    EXPECT_EQ(SimulatorExit(), 0);  // it leaves once the camera has been released
}

TEST_F(CliProgram, APortThatCannotBeOpenedIsExplainedBeforeTheNoCameraText) {
    const CliRun run = RunCli(
        {"update", "--port", dir_.File("no-such-tty"), "--file", Firmware(firmware::kHeaderRm525)});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find(dir_.File("no-such-tty")), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Camera can not be found."), std::string::npos);
}

TEST_F(CliProgram, UsageErrorsAndInspect) {
    EXPECT_EQ(RunCli({"update", "--file", "x.fw"}).status, 2);  // no --port, no terminal
    EXPECT_EQ(RunCli({"frobnicate"}).status, 2);

    const CliRun good = RunCli({"inspect", Firmware(firmware::kHeaderRm520, "0107")});
    EXPECT_EQ(good.status, 0);
    EXPECT_NE(good.out.find("RM520"), std::string::npos);
    EXPECT_NE(good.out.find("Version:       1.07\n"), std::string::npos);
    const CliRun wrong = RunCli({"inspect", Firmware("Another text")});
    EXPECT_EQ(wrong.status, 4);
    EXPECT_EQ(RunCli({"inspect", dir_.File("missing.fw")}).status, 5);
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
    const CliRun run = RunCli({"ports"}, "/dev/rm525-test-device");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("COM1  /dev/rm525-test-device  [RM525FW_COM]\nCOM2  (no device)\n", 0),
              0u)
        << run.out;
}

}  // namespace
}  // namespace rm525::testing
