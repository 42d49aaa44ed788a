// The simulated port behaves as the platform driver does, as the link sees
// it: time-outs, queues, purges, open and close records, open failures.
#include <gtest/gtest.h>

#include <cerrno>

#include "sim/line.h"
#include "sim/simulated_port.h"
#include "tests/sim/wire_host.h"

namespace rm525::sim {
namespace {

namespace p = protocol;
using testing::WireHost;
using Bytes = std::vector<uint8_t>;

TEST(VirtualClockTest, WrapsAndJumpsOnlyForward) {
    VirtualClock clock(0xFFFFFF00u);
    EXPECT_EQ(clock.NowMs(), 0xFFFFFF00u);
    clock.SleepUntil(0x100);  // across the wrap: 512 ms ahead
    EXPECT_EQ(clock.NowMs(), 0x100u);
    EXPECT_EQ(clock.ElapsedMs(), 512u);
    clock.SleepUntil(0x80);  // behind: nothing happens
    EXPECT_EQ(clock.NowMs(), 0x100u);
    clock.Advance(5);
    EXPECT_EQ(clock.NowMs(), 0x105u);
    clock.AdvanceUs(1500);
    EXPECT_EQ(clock.NowMs(), 0x106u);
    clock.SleepUntil(0x107);
    EXPECT_EQ(clock.NowUs(), (512u + 7) * 1000);
}

TEST(SimulatedPortFactoryTest, OpenFailuresAndRecords) {
    VirtualClock clock;
    SimulatedPortFactory ports(clock);
    ports.AttachCamera(3);
    ports.AttachSilentDevice(5);
    ports.AttachSilentDevice(6);
    ports.SetHeld(6, true);

    OpenFailure failure;
    EXPECT_EQ(ports.Open(1, &failure), nullptr);
    EXPECT_EQ(failure.portNumber, 1);
    EXPECT_EQ(failure.systemError, ENOENT);
    EXPECT_TRUE(failure.device.empty());
    EXPECT_EQ(ports.Open(6, &failure), nullptr);
    EXPECT_EQ(failure.systemError, EBUSY);
    EXPECT_EQ(ports.Open(10, &failure), nullptr);
    EXPECT_EQ(failure.systemError, ENOENT);

    {
        auto port = ports.Open(3, &failure);
        ASSERT_NE(port, nullptr);
        EXPECT_TRUE(ports.Record(3).open);
        EXPECT_EQ(ports.Open(3, &failure), nullptr);  // exclusive
        EXPECT_EQ(failure.systemError, EBUSY);
        EXPECT_TRUE(ports.AnyPortOpen());
        port->Close();
        EXPECT_FALSE(port->Read(nullptr, 0, nullptr));  // unusable once closed
    }
    auto silent = ports.Open(5, &failure);
    ASSERT_NE(silent, nullptr);
    silent.reset();  // the destructor closes too

    EXPECT_FALSE(ports.AnyPortOpen());
    EXPECT_EQ(ports.Record(1).openAttempts, 1);
    EXPECT_EQ(ports.Record(1).opens, 0);
    EXPECT_EQ(ports.Record(3).openAttempts, 2);
    EXPECT_EQ(ports.Record(3).opens, 1);
    EXPECT_EQ(ports.Record(3).closes, 1);
    EXPECT_EQ(ports.Record(5).closes, 1);
    EXPECT_EQ(ports.Record(6).opens, 0);
    EXPECT_EQ(ports.Record(9).openAttempts, 0);
}

class SimulatedPortTest : public ::testing::Test {
protected:
    SimulatedPortTest() {
        CameraSetup s;
        s.mode = CameraMode::Update;
        camera_ = &ports_.AttachCamera(2, s);
        ports_.AttachSilentDevice(4);
    }
    VirtualClock clock_{5000};
    SimulatedPortFactory ports_{clock_};
    CameraModel* camera_;
};

TEST_F(SimulatedPortTest, ReadEndsOnTheTotalTimeOutWhenNothingComes) {
    WireHost host(ports_, 4);
    host.SendFrame(p::kCmdQueryStatus);
    const uint32_t start = clock_.NowMs();
    EXPECT_TRUE(host.Read(1, 3000).empty());
    EXPECT_EQ(clock_.NowMs() - start, 3000u);
}

TEST_F(SimulatedPortTest, ReadEndsAtAGapOfMoreThanTheIntervalAfterTheFirstByte) {
    // A storm of keep-alives 40 ms apart: the 30 ms interval ends the read
    // after the first one; with 50 ms the read collects all of them.
    FaultRule storm;
    storm.kind = FaultKind::KeepAlives;
    storm.command = p::kCmdQueryStatus;
    storm.keepAlives = 3;
    storm.keepAliveGapMs = 40;
    storm.count = 2;
    camera_->AddFault(storm);
    WireHost host(ports_, 2);

    host.SendFrame(p::kCmdQueryStatus);
    const uint64_t before = clock_.NowUs();
    EXPECT_EQ(host.Read(10, 3000, 30), Bytes{p::kKeepAlive});
    // The read stopped 30 ms after the first byte, not at the total time-out.
    EXPECT_NEAR(static_cast<double>(clock_.NowUs() - before), 1000 + 1042 + 30000, 2.0);

    host.Wait(1000);
    host.Port().Purge(kPurgeInput);
    host.Wait(2000);  // the camera gives up waiting for the status packet answer
    host.SendFrame(p::kCmdQueryStatus);
    const Bytes all = host.Read(5, 3000, 50);
    EXPECT_EQ(all, (Bytes{0xF0, 0xF0, 0xF0, p::kAck, p::kStartOfData}));
}

TEST_F(SimulatedPortTest, QueueCountsAndPurgeTouchOnlyWhatHasArrived) {
    WireHost host(ports_, 2);
    host.SendFrame(p::kCmdQueryStatus);
    ErrorState state;
    ASSERT_TRUE(host.Port().ClearError(&state));
    EXPECT_EQ(state.inQueue, 0u);  // the answer is still on its way
    EXPECT_EQ(state.outQueue, 0u);

    host.Wait(100);  // D1, 01 and about 95 bytes of the packet have arrived
    ASSERT_TRUE(host.Port().ClearError(&state));
    EXPECT_GT(state.inQueue, 90u);
    EXPECT_LT(state.inQueue, 100u);
    const uint32_t arrived = state.inQueue;
    host.Port().Purge(kPurgeInput);
    ASSERT_TRUE(host.Port().ClearError(&state));
    EXPECT_EQ(state.inQueue, 0u);
    // The rest of the packet still comes.
    EXPECT_EQ(host.Read(300, 2000).size(), size_t{2 + p::kPacketSize} - arrived);
}

TEST_F(SimulatedPortTest, WriteTakesTheWireTimeOfItsBytes) {
    WireHost host(ports_, 4);
    const uint64_t t0 = clock_.NowUs();
    host.Send(Bytes(96, 0x55));
    EXPECT_NEAR(static_cast<double>(clock_.NowUs() - t0), 100000.0, 100.0);  // 96 bytes at 9600
    host.SetBaud(38400);
    const uint64_t t1 = clock_.NowUs();
    host.Send(Bytes(p::kPacketSize, 0x55));
    EXPECT_NEAR(static_cast<double>(clock_.NowUs() - t1), 66900.0, 200.0);
    ErrorState state;
    ASSERT_TRUE(host.Port().ClearError(&state));
    EXPECT_EQ(state.outQueue, 0u);
}

TEST_F(SimulatedPortTest, LineErrorsRefuseReadsUntilCleared) {
    WireHost host(ports_, 2);
    host.SendFrame(p::kCmdQueryStatus);
    host.SetBaud(19200);  // listens at the wrong rate from now on
    host.Wait(500);
    uint8_t b[4];
    uint32_t moved = 9;
    EXPECT_FALSE(host.Port().Read(b, 4, &moved));
    EXPECT_EQ(moved, 0u);
    ErrorState state;
    ASSERT_TRUE(host.Port().ClearError(&state));
    EXPECT_NE(state.errors & line::kFramingError, 0u);
    // Once cleared, what has arrived can be read: garbage.
    EXPECT_TRUE(host.Port().Read(b, 4, &moved));
    EXPECT_EQ(moved, 4u);
    EXPECT_EQ(b[0], line::Garble(p::kAck));

    // A garbled byte arriving during a read aborts it there.
    host.Port().Purge(kPurgeInput);
    host.Wait(3000);  // the camera stops waiting for the packet answer
    host.SetBaud(9600);
    host.SendFrame(p::kCmdQueryStatus);
    host.SetBaud(19200);
    EXPECT_FALSE(host.Port().Read(b, 4, &moved));
    EXPECT_EQ(moved, 0u);
}

// The virtual line charges every byte its time at the line rate: a whole
// transfer at 38400 bit/s costs, per block, the 100 ms gap and 268 bytes of
// ten bits each (frame 8, acceptance 1, packet 257, packet answer 1,
// completion 1), 69.8 ms. How fast this runs in real time is the bench's
// business (bench/), not a test's.
TEST_F(SimulatedPortTest, AWholeTransferCostsTheLineTimeOfEveryByte) {
    WireHost host(ports_, 2);
    host.SendFrame(p::kCmdChangeRate, 0x3840);
    ASSERT_EQ(host.ReadByte(), p::kAck);
    host.SetBaud(38400);
    const uint64_t start = clock_.ElapsedMs();
    Bytes data(p::kBlockSize);
    for (int n = 0; n < p::kBlockCount; ++n) {
        data[0] = static_cast<uint8_t>(n);
        host.Wait(100);
        host.SendFrame(p::kCmdWriteBlock, static_cast<uint16_t>(n));
        ASSERT_EQ(host.ReadAnswer(), p::kAck);
        host.SendPacket(data);
        ASSERT_EQ(host.ReadAnswer(), p::kPacketOk);
        ASSERT_EQ(host.ReadAnswer(), p::kDone);
    }
    EXPECT_EQ(camera_->BlocksWritten(), p::kBlockCount);
    const double perBlockMs = double(clock_.ElapsedMs() - start) / p::kBlockCount;
    const double lineMs = 268 * 10 * 1000.0 / 38400;
    EXPECT_GE(perBlockMs, 100 + lineMs);
    // On top: the host's reads end on whole milliseconds, three per block.
    EXPECT_LE(perBlockMs, 100 + lineMs + 4);
}

}  // namespace
}  // namespace rm525::sim
