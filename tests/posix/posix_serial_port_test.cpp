#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

#include <gtest/gtest.h>

#include "link/posix/posix_serial_port_factory.h"
#include "tests/posix/test_support.h"

namespace rm525 {
namespace {

using test::Pattern;
using test::PtyPair;
using test::ScopedEnv;
using test::TempDir;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The link's receive: 30 ms inter-byte gap, a total limit, nothing per byte.
CommTimeouts ReadTimeouts(uint32_t totalMs) {
    CommTimeouts t;
    t.readInterval = 30;
    t.readTotalConstant = totalMs;
    return t;
}

class PtyPortTest : public ::testing::Test {
protected:
    std::unique_ptr<SerialPort> OpenPort1(OpenFailure* failure = nullptr) {
        return factory_.Open(1, failure);
    }

    void OpenRaw(uint32_t baud = 9600) {
        port_ = OpenPort1();
        ASSERT_NE(port_, nullptr);
        LineSettings s;
        s.baudRate = baud;
        s.abortOnError = true;
        ASSERT_TRUE(port_->SetLineSettings(s));
    }

    uint32_t InQueue() {
        ErrorState st;
        EXPECT_TRUE(port_->ClearError(&st));
        return st.inQueue;
    }

    PtyPair pty_;
    ScopedEnv noDefaults_{"RM525FW_NO_DEFAULT_PORTS", "1"};
    ScopedEnv com1_{"RM525FW_COM1", pty_.slavePath()};
    PosixSerialPortFactory factory_;
    std::unique_ptr<SerialPort> port_;
};

TEST_F(PtyPortTest, RefusesWhatIsNoUsablePort) {
    TempDir dir;
    OpenFailure failure;
    {
        ScopedEnv missing("RM525FW_COM2", dir.path() + "/ttyUSB7");
        EXPECT_EQ(factory_.Open(2, &failure), nullptr);
        EXPECT_EQ(failure.portNumber, 2);
        EXPECT_EQ(failure.device, dir.path() + "/ttyUSB7");
        EXPECT_EQ(failure.systemError, ENOENT);
    }
    {
        ScopedEnv notTty("RM525FW_COM3", "/dev/null");
        EXPECT_EQ(factory_.Open(3, &failure), nullptr);
        EXPECT_EQ(failure.device, "/dev/null");
        EXPECT_EQ(failure.systemError, ENOTTY);
    }
    // A number that maps to nothing names no device at all.
    EXPECT_EQ(factory_.Open(4, &failure), nullptr);
    EXPECT_EQ(failure.portNumber, 4);
    EXPECT_EQ(failure.device, "");
    EXPECT_EQ(failure.systemError, ENOENT);
}

TEST_F(PtyPortTest, OpensExclusivelyUntilClosed) {
    auto first = OpenPort1();
    ASSERT_NE(first, nullptr);
    OpenFailure failure;
    EXPECT_EQ(OpenPort1(&failure), nullptr);
    EXPECT_EQ(failure.systemError, EBUSY);
    EXPECT_EQ(failure.device, pty_.slavePath());

    first->Close();
    first->Close();  // a second close does nothing
    auto second = OpenPort1();
    ASSERT_NE(second, nullptr);
    second.reset();  // the destructor lets go of the port too
    EXPECT_NE(OpenPort1(), nullptr);
}

TEST_F(PtyPortTest, ClosedPortRefusesEverything) {
    OpenRaw();
    port_->Close();
    uint8_t b = 0;
    uint32_t moved = 7;
    EXPECT_FALSE(port_->Read(&b, 1, &moved));
    EXPECT_EQ(moved, 0u);
    EXPECT_FALSE(port_->Write(&b, 1, &moved));
    EXPECT_FALSE(port_->ClearError(nullptr));
    EXPECT_FALSE(port_->SetBreak());
}

// The permission check needs a user without rights to the device; as root
// (which may open anything) the attempt runs in a child that drops to
// "nobody" first.
TEST_F(PtyPortTest, PermissionDeniedIsReported) {
    ASSERT_EQ(chmod(pty_.slavePath().c_str(), 0), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(100);
        }
        int error = 0;
        const bool opened = OpenSerialDevice(pty_.slavePath(), &error) != nullptr;
        _exit(opened ? 101 : error);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EACCES);
}

#ifdef __linux__
// The master side of a pty reports the slave's line settings.
TEST_F(PtyPortTest, SetsEveryRateForBothDirections) {
    OpenRaw();
    for (uint32_t rate : {9600u, 19200u, 38400u, 56000u, 115200u}) {
        LineSettings s;
        ASSERT_TRUE(port_->GetLineSettings(s));
        s.baudRate = rate;
        ASSERT_TRUE(port_->SetLineSettings(s));
        termios2 t{};
        ASSERT_EQ(ioctl(pty_.master(), TCGETS2, &t), 0);
        EXPECT_EQ(t.c_ospeed, rate);
        EXPECT_EQ(t.c_ispeed, rate);  // a stale input rate would garble every answer
        LineSettings back;
        ASSERT_TRUE(port_->GetLineSettings(back));
        EXPECT_EQ(back.baudRate, rate);
        EXPECT_TRUE(back.abortOnError);
    }
}

TEST_F(PtyPortTest, LineIsRawAndFramedAsAsked) {
    OpenRaw();
    termios2 t{};
    ASSERT_EQ(ioctl(pty_.master(), TCGETS2, &t), 0);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), CS8);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    // A pty keeps 8 data bits without parity whatever it is told, so only
    // the stop bits and the parity check show what the port asked for.
    LineSettings s;
    s.stopBits = StopBits::Two;
    s.parityCheck = true;
    ASSERT_TRUE(port_->SetLineSettings(s));
    ASSERT_EQ(ioctl(pty_.master(), TCGETS2, &t), 0);
    EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    EXPECT_EQ(t.c_iflag & INPCK, static_cast<tcflag_t>(INPCK));
    LineSettings back;
    ASSERT_TRUE(port_->GetLineSettings(back));
    EXPECT_EQ(back.stopBits, StopBits::Two);
    EXPECT_TRUE(back.parityCheck);
}
#endif

TEST_F(PtyPortTest, ReadEndsOnTotalTimeOutWithNothing) {
    OpenRaw();
    ASSERT_TRUE(port_->SetTimeouts(ReadTimeouts(100)));
    uint8_t buf[16];
    uint32_t moved = 99;
    const auto start = Clock::now();
    EXPECT_TRUE(port_->Read(buf, sizeof buf, &moved));
    EXPECT_EQ(moved, 0u);
    EXPECT_GE(MsSince(start), 99);
    EXPECT_LT(MsSince(start), 2000);
}

TEST_F(PtyPortTest, ReadEndsWhenTheSenderPausesAndNotBefore) {
    OpenRaw();
    ASSERT_TRUE(port_->SetTimeouts(ReadTimeouts(3000)));
    // A slow first byte does not end the read (the gap counts only between
    // bytes); the pause after the first burst does. The second burst waits
    // until the first read has returned, so a reader the machine stalls
    // cannot take both bursts at once.
    std::promise<void> firstReadReturned;
    std::thread sender([&, returned = firstReadReturned.get_future()] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty_.WriteMaster(Pattern(12, 0));
        returned.wait_for(std::chrono::seconds(10));
        pty_.WriteMaster({0xAA, 0xBB});
    });
    uint8_t buf[20] = {};
    uint32_t moved = 0;
    const auto start = Clock::now();
    EXPECT_TRUE(port_->Read(buf, sizeof buf, &moved));
    const int64_t took = MsSince(start);
    firstReadReturned.set_value();
    EXPECT_EQ(moved, 12u);
    EXPECT_EQ(buf[11], Pattern(12, 0)[11]);
    EXPECT_LT(took, 2900);  // short of the 3000 ms total: the gap ended it

    EXPECT_TRUE(port_->Read(buf, sizeof buf, &moved));
    sender.join();
    EXPECT_EQ(moved, 2u);
    EXPECT_EQ(buf[0], 0xAA);
}

TEST_F(PtyPortTest, ReadTakesTheFullCountAndLeavesTheRestQueued) {
    OpenRaw(38400);
    ASSERT_TRUE(port_->SetTimeouts(ReadTimeouts(2000)));
    const auto sent = Pattern(300, 3);
    pty_.WriteMaster(sent);
    std::vector<uint8_t> got(257);
    uint32_t moved = 0;
    EXPECT_TRUE(port_->Read(got.data(), 257, &moved));
    EXPECT_EQ(moved, 257u);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), sent.begin()));

    EXPECT_TRUE(test::WaitFor([&] { return InQueue() == 43; }));
    ASSERT_TRUE(port_->Purge(kPurgeInput));
    EXPECT_EQ(InQueue(), 0u);
    ASSERT_TRUE(port_->SetTimeouts(ReadTimeouts(50)));
    EXPECT_TRUE(port_->Read(got.data(), 10, &moved));
    EXPECT_EQ(moved, 0u);
}

TEST_F(PtyPortTest, WriteDeliversEveryByteAndReportsNoErrors) {
    OpenRaw();
    CommTimeouts t;
    t.writeTotalMultiplier = 50;
    ASSERT_TRUE(port_->SetTimeouts(t));
    const auto bytes = Pattern(257, 9);
    uint32_t moved = 0;
    EXPECT_TRUE(port_->Write(bytes.data(), 257, &moved));
    EXPECT_EQ(moved, 257u);
    EXPECT_EQ(pty_.ReadMaster(1000, 200), bytes);

    ErrorState st{1, 1, 1};
    EXPECT_TRUE(port_->ClearError(&st));
    EXPECT_EQ(st.errors, 0u);
    EXPECT_EQ(st.outQueue, 0u);
    EXPECT_TRUE(port_->SetBreak());
    EXPECT_TRUE(port_->ClearBreak());
    EXPECT_TRUE(port_->Purge(kPurgeInput | kPurgeOutput));
}

TEST_F(PtyPortTest, WriteStopsWhenItsAllowanceIsUsed) {
    OpenRaw();
    CommTimeouts t;
    t.writeTotalConstant = 100;  // nobody reads the master: the queue fills up
    ASSERT_TRUE(port_->SetTimeouts(t));
    const std::vector<uint8_t> lots(1 << 20, 0x55);
    uint32_t moved = 0;
    const auto start = Clock::now();
    EXPECT_TRUE(port_->Write(lots.data(), static_cast<uint32_t>(lots.size()), &moved));
    EXPECT_LT(moved, lots.size());
    EXPECT_GE(MsSince(start), 99);
    EXPECT_LT(MsSince(start), 2000);
}

// The other end goes away (adapter unplugged, camera program ended) while a
// read waits: the read fails at once instead of waiting out its time limit,
// and it sleeps rather than spins until then. The port stays failed.
TEST_F(PtyPortTest, AHungUpLineFailsTheWaitingReadAtOnce) {
    OpenRaw();
    ASSERT_TRUE(port_->SetTimeouts(ReadTimeouts(3000)));
    std::thread hangUp([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty_.CloseMaster();
    });
    uint8_t buf[16];
    uint32_t moved = 99;
    const auto start = Clock::now();
    const double cpu = test::CpuSeconds();
    EXPECT_FALSE(port_->Read(buf, sizeof buf, &moved));
    const double used = test::CpuSeconds() - cpu;
    const int64_t took = MsSince(start);
    hangUp.join();
    EXPECT_EQ(moved, 0u);
    EXPECT_GE(took, 150);
    EXPECT_LT(took, 1500);  // not the 3000 ms limit
    EXPECT_LT(used, 0.2);

    EXPECT_FALSE(port_->Read(buf, 1, &moved));
    EXPECT_FALSE(port_->Write(buf, 1, &moved));
    EXPECT_FALSE(port_->ClearError(nullptr));
}

TEST_F(PtyPortTest, AHungUpLineFailsTheWaitingWriteAtOnce) {
    OpenRaw();
    CommTimeouts t;
    t.writeTotalConstant = 3000;  // nobody reads the master: the write waits for room
    t.readTotalConstant = 500;
    ASSERT_TRUE(port_->SetTimeouts(t));
    std::thread hangUp([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty_.CloseMaster();
    });
    const std::vector<uint8_t> lots(1 << 20, 0x55);
    uint32_t moved = 0;
    const auto start = Clock::now();
    const double cpu = test::CpuSeconds();
    EXPECT_FALSE(port_->Write(lots.data(), static_cast<uint32_t>(lots.size()), &moved));
    const double used = test::CpuSeconds() - cpu;
    const int64_t took = MsSince(start);
    hangUp.join();
    EXPECT_LT(moved, lots.size());
    EXPECT_LT(took, 1500);
    EXPECT_LT(used, 0.2);
    uint8_t b = 0;
    EXPECT_FALSE(port_->Read(&b, 1, &moved));
    EXPECT_FALSE(port_->ClearError(nullptr));
}

// Once a call has seen the hang-up, every later call fails, even a read that
// is to return at once: the terminal would answer it with no bytes, as a
// quiet line does.
TEST_F(PtyPortTest, AHangUpOnceSeenFailsEvenAReadThatReturnsAtOnce) {
    OpenRaw();
    pty_.CloseMaster();
    uint8_t b = 0;
    uint32_t moved = 0;
    EXPECT_FALSE(port_->Write(&b, 1, &moved));
    CommTimeouts atOnce;
    atOnce.readInterval = 0xFFFF'FFFFu;
    ASSERT_TRUE(port_->SetTimeouts(atOnce));
    EXPECT_FALSE(port_->Read(&b, 1, &moved));
}

// A read that is to return at once is the first call to meet the hang-up:
// the empty terminal must not pass for a quiet line.
TEST_F(PtyPortTest, AReadThatReturnsAtOnceSeesAHangUpFirst) {
    OpenRaw();
    CommTimeouts atOnce;
    atOnce.readInterval = 0xFFFF'FFFFu;
    ASSERT_TRUE(port_->SetTimeouts(atOnce));
    uint8_t b = 0;
    uint32_t moved = 0;
    EXPECT_TRUE(port_->Read(&b, 1, &moved));  // a quiet line: nothing, at once
    pty_.CloseMaster();
    EXPECT_FALSE(port_->Read(&b, 1, &moved));
    EXPECT_FALSE(port_->Read(&b, 1, &moved));
}

}  // namespace
}  // namespace rm525
