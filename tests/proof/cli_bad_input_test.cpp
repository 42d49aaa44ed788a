// rm525fw-cli given bad firmware files and bad ports: each ends with its own
// explanation and exit status, never a crash or a hang, and a huge file
// costs no more memory than a right one.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace rm525 {
namespace {

constexpr size_t kFileSize = 524416;
constexpr size_t kTextCompared = 48;
constexpr uid_t kNobody = 65534;
constexpr int kWaitMs = 60 * 1000;

constexpr int kExitCameraNotFound = 3;
constexpr int kExitWrongFile = 4;
constexpr int kExitFileError = 5;
constexpr int kExitQuit = 7;

const char kOpenError[] = "File open or read error!";
const char kWrongFile[] = "Selected file is wrong.";
const char kSameVersion[] = "Selected firmware matches camera version.";

using testing::ChildOptions;
using testing::ChildProcess;
using testing::ReadFile;
using testing::SimulatorProcess;
using testing::Sink;
using testing::TempDir;
using testing::WriteFile;

struct Outcome {
    int exitStatus = -1;  // -1: ended after the wait; 128 + n: ended by signal n
    std::string output;   // stdout and stderr together
    long maxRssKb = 0;
};

// Runs a program in an environment of `env` alone (and a plain PATH), its
// output and error into `outPath`; as `nobody` when asked.
Outcome RunProgram(std::vector<std::string> args, const std::vector<std::string>& env,
                   const std::string& outPath, bool asNobody = false) {
    ChildOptions options;
    options.out = Sink::File(outPath);
    options.err = Sink::Stdout();
    options.inheritEnvironment = false;
    options.env = env;
    options.env.emplace_back("RM525FW_NO_DEFAULT_PORTS=1");
    options.env.emplace_back("PATH=/usr/bin:/bin");
    if (asNobody)
        options.user = kNobody;
    ChildProcess program(std::move(args), options);
    Outcome o;
    o.exitStatus = program.WaitOrEnd(kWaitMs);
    o.output = program.started() ? ReadFile(outPath) : program.StartError();
    o.maxRssKb = program.MaxRssKb();
    return o;
}

class CliBadInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunProgram({RM525CAM_SIM_PATH, "make-firmware", "--model", "rm525", "--version", "0105",
                    "--out", Path("rm525.fw")},
                   {}, Path("maker.txt"));
        RunProgram({RM525CAM_SIM_PATH, "make-firmware", "--model", "rm520", "--version", "0105",
                    "--out", Path("rm520.fw")},
                   {}, Path("maker.txt"));
        good525_ = ReadFile(Path("rm525.fw"));
        good520_ = ReadFile(Path("rm520.fw"));
        ASSERT_EQ(good525_.size(), kFileSize);
        ASSERT_EQ(good520_.size(), kFileSize);
    }
    std::string Path(const std::string& name) const { return dir_.File(name); }

    // An update of `file` against a camera that `cameraArgs` describe.
    Outcome Update(const std::string& file, std::vector<std::string> cameraArgs,
                   bool asNobody = false) {
        const std::string terminal = Path("camera" + std::to_string(++runs_));
        cameraArgs.insert(cameraArgs.begin(), {"--quiet", "--link", terminal});
        SimulatorProcess camera(RM525CAM_SIM_PATH, std::move(cameraArgs));
        if (!camera.ready()) {
            ADD_FAILURE() << camera.failure();
            return Outcome{-1, camera.failure(), 0};
        }
        if (asNobody)
            MakeReachableForNobody(terminal);
        return RunProgram({Cli(asNobody), "update", "--port", "COM1", "--file", file},
                          {"RM525FW_COM1=" + terminal}, Path("cli.txt"), asNobody);
    }
    // A camera already in update mode answers the handshake at once: the
    // file is read within a second of the start.
    Outcome UpdateQuickly(const std::string& file) { return Update(file, {"--mode", "update"}); }
    // A camera with firmware 1.05 in normal mode: a right file of version
    // 1.05 gets as far as the question whether to install it again, which
    // without a terminal is answered Quit.
    Outcome UpdateToQuestion(const std::string& file, const std::string& model = "rm525") {
        return Update(file, {"--model", model, "--version", "0105"});
    }
    Outcome UpdateOnPort(const std::string& device, bool asNobody = false) {
        return RunProgram({Cli(asNobody), "update", "--port", "COM1", "--file", Path("rm525.fw")},
                          {"RM525FW_COM1=" + device}, Path("cli.txt"), asNobody);
    }
    // The program to run: for `nobody`, a copy in this test's folder, since
    // the build tree may lie in a folder only its owner can enter.
    std::string Cli(bool asNobody) {
        if (!asNobody)
            return RM525FW_CLI_PATH;
        chmod(dir_.path().c_str(), 0755);
        const std::string copy = Path("rm525fw-cli");
        std::filesystem::copy_file(RM525FW_CLI_PATH, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        chmod(copy.c_str(), 0755);
        return copy;
    }
    void MakeReachableForNobody(const std::string& terminal) {
        chmod(dir_.path().c_str(), 0755);
        std::error_code ec;
        chmod(std::filesystem::canonical(terminal, ec).c_str(), 0666);
    }

    TempDir dir_;
    std::string good525_, good520_;
    int runs_ = 0;
};

TEST_F(CliBadInputTest, FilesThatCannotBeReadAreAnOpenError) {
    std::filesystem::create_directory(Path("a directory.fw"));
    WriteFile(Path("empty.fw"), "");
    // The system's text, then the file and the reason below it.
    for (const auto& [name, reason] : {std::pair{"missing.fw", "no such file"},
                                       std::pair{"a directory.fw", "a directory, not a file"},
                                       std::pair{"empty.fw", "the file is empty"}}) {
        SCOPED_TRACE(name);
        const Outcome o = UpdateQuickly(Path(name));
        EXPECT_EQ(o.exitStatus, kExitFileError) << o.output;
        EXPECT_NE(o.output.find(std::string(kOpenError) + "\n" + Path(name) + ": " + reason + "\n"),
                  std::string::npos)
            << o.output;
    }
}

TEST_F(CliBadInputTest, FilesOfTheWrongSizeOrHeaderAreTheWrongFile) {
    std::string nul = good525_;
    nul[20] = '\0';
    const std::string neither = "the header names neither camera (RM520 nor RM525 Zoom)";
    const std::vector<std::tuple<std::string, std::string, std::string>> files = {
        {"one byte.fw", good525_.substr(0, 1), neither},
        {"a byte short.fw", good525_.substr(0, kFileSize - 1),
         "524415 bytes where 524416 are needed"},
        {"a byte long.fw", good525_ + '\0', "524417 bytes where 524416 are needed"},
        {"nul in header.fw", nul, neither},
    };
    for (const auto& [name, bytes, reason] : files) {
        SCOPED_TRACE(name);
        WriteFile(Path(name), bytes);
        const Outcome o = UpdateQuickly(Path(name));
        EXPECT_EQ(o.exitStatus, kExitWrongFile) << o.output;
        // Judged before any port is opened: the file and the reason.
        EXPECT_NE(
            o.output.find("rm525fw-cli: " + Path(name) + ": " + reason + "; no port was opened\n"),
            std::string::npos)
            << o.output;
    }
}

TEST_F(CliBadInputTest, ATenGigabyteFileIsTheWrongFileAndReadOnlyAsFarAsNeeded) {
    WriteFile(Path("long.fw"), good525_ + '\0');
    const Outcome right = UpdateQuickly(Path("long.fw"));
    const std::string path = Path("huge.fw");
    WriteFile(path, good525_);
    ASSERT_EQ(truncate(path.c_str(), 10LL * 1024 * 1024 * 1024), 0);  // sparse: no disk used
    const Outcome o = UpdateQuickly(path);
    EXPECT_EQ(o.exitStatus, kExitWrongFile) << o.output;
    EXPECT_NE(o.output.find("; no port was opened\n"), std::string::npos) << o.output;
    // No more than a file one byte too long costs (sanitizer builds need
    // more memory of their own, so the comparison is with that run).
    EXPECT_LT(o.maxRssKb, right.maxRssKb + 2048) << "peak memory of rm525fw-cli, kB";
}

TEST_F(CliBadInputTest, AFileTheUserMayNotReadIsAnOpenError) {
    const std::string path = Path("locked.fw");
    WriteFile(path, good525_);
    chmod(path.c_str(), 0);
    // Root reads any file: the updater then runs as nobody.
    const bool root = geteuid() == 0;
    const Outcome o = Update(path, {"--mode", "update"}, root);
    EXPECT_EQ(o.exitStatus, kExitFileError) << o.output;
    EXPECT_NE(o.output.find(std::string(kOpenError) + "\n" + path + ": permission denied\n"),
              std::string::npos)
        << o.output;
}

TEST_F(CliBadInputTest, NamesWithSpacesAndNonAsciiLettersAreRead) {
    for (const std::string name :
         {"my firmware 1.05.fw", "Firmware f\xC3\xBCr Kamera \xE2\x80\x94 1.05.fw"}) {
        SCOPED_TRACE(name);
        WriteFile(Path(name), good525_);
        const Outcome o = UpdateToQuestion(Path(name));
        EXPECT_EQ(o.exitStatus, kExitQuit) << o.output;
        EXPECT_NE(o.output.find(kSameVersion), std::string::npos) << o.output;
    }
}

TEST_F(CliBadInputTest, OnlyTheFirst48CharactersOfTheModelTextCount) {
    for (const auto& [model, good] : {std::pair{"rm525", good525_}, std::pair{"rm520", good520_}}) {
        SCOPED_TRACE(model);
        std::string changed = good;
        changed[kTextCompared] = '#';  // the 49th character
        WriteFile(Path("changed49.fw"), changed);
        Outcome o = UpdateToQuestion(Path("changed49.fw"), model);
        EXPECT_EQ(o.exitStatus, kExitQuit) << o.output;
        EXPECT_NE(o.output.find(kSameVersion), std::string::npos) << o.output;

        changed = good;
        changed[kTextCompared - 1] = '#';  // the 48th character counts
        WriteFile(Path("changed48.fw"), changed);
        o = UpdateQuickly(Path("changed48.fw"));
        EXPECT_EQ(o.exitStatus, kExitWrongFile) << o.output;
    }
}

TEST_F(CliBadInputTest, PortsThatCannotBeUsedAreExplained) {
    Outcome o = UpdateOnPort("/dev/rm525-no-such-device");
    EXPECT_EQ(o.exitStatus, kExitCameraNotFound) << o.output;
    EXPECT_NE(o.output.find("there is no such device"), std::string::npos) << o.output;

    o = UpdateOnPort("/dev/null");
    EXPECT_EQ(o.exitStatus, kExitCameraNotFound) << o.output;
    EXPECT_NE(o.output.find("is not a serial device"), std::string::npos) << o.output;

    // Another program holds the terminal.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    grantpt(master);
    unlockpt(master);
    const std::string slave = ptsname(master);
    const int holder = open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    o = UpdateOnPort(slave);
    EXPECT_EQ(o.exitStatus, kExitCameraNotFound) << o.output;
    EXPECT_NE(o.output.find("is in use by another program"), std::string::npos) << o.output;
    close(holder);

    // A terminal the user has no right to.
    chmod(slave.c_str(), 0);
    o = UpdateOnPort(slave, geteuid() == 0);
    EXPECT_EQ(o.exitStatus, kExitCameraNotFound) << o.output;
    EXPECT_NE(o.output.find("permission denied"), std::string::npos) << o.output;
    close(master);
}

}  // namespace
}  // namespace rm525
