#include <new>

#include <gtest/gtest.h>

#include "link/camera_protocol.h"
#include "tests/link/scripted_port.h"

namespace rm525 {
namespace {

using testing::FakeClock;
using testing::ScriptedFactory;
using testing::ScriptedLine;
using testing::WireEvent;

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        line = factory.Attach(1);
        ASSERT_EQ(link.OpenPort(1), 0u);
        line->events.clear();
    }
    int Count(WireEvent::Kind kind) const {
        int n = 0;
        for (const auto& e : line->events)
            n += e.kind == kind;
        return n;
    }
    FakeClock clock;
    ScriptedFactory factory{clock};
    std::shared_ptr<ScriptedLine> line;
    CameraProtocol link{factory, clock};
};

TEST(TransportOpen, SetsTheLineAndHoldsTheFirstFrameBack) {
    FakeClock clock;
    ScriptedFactory factory(clock);
    auto line = factory.Attach(4);
    CameraProtocol link(factory, clock);
    const uint32_t before = clock.NowMs();
    ASSERT_EQ(link.OpenPort(4), 0u);
    EXPECT_GE(clock.NowMs() - before, 100u);
    EXPECT_EQ(line->line.baudRate, 9600u);
    EXPECT_EQ(line->line.byteSize, 8);
    EXPECT_EQ(line->line.parity, Parity::None);
    EXPECT_EQ(line->line.stopBits, StopBits::One);
    EXPECT_TRUE(line->line.abortOnError);
    EXPECT_EQ(link.hostRateIndex(), 1);
    EXPECT_EQ(link.commandAttempts(), 3);
    EXPECT_EQ(link.lastActivity(), clock.NowMs() + 100);
}

TEST(TransportOpen, FailuresKeepTheSystemErrorAndOpenNothing) {
    FakeClock clock;
    ScriptedFactory factory(clock);
    CameraProtocol link(factory, clock);
    EXPECT_EQ(link.OpenPort(2), 8u);
    EXPECT_EQ(link.OpenPort(10), 8u);
    EXPECT_EQ(link.OpenPort(0), 8u);
    EXPECT_FALSE(link.portOpen());
    EXPECT_EQ(factory.opens.count(10), 0u);  // only COM1..COM9 can be named
    ASSERT_EQ(link.openFailures().size(), 3u);
    EXPECT_EQ(link.openFailures()[0].portNumber, 2);
    EXPECT_EQ(link.openFailures()[0].systemError, 2);
}

TEST_F(TransportTest, ReceiveOfNothingWaitsItsTimeAndPurgesNothing) {
    line->claimedInput = 1;  // a purge asked for would show in the log
    const uint32_t start = clock.NowMs();
    EXPECT_EQ(link.WaitCompletion(3000), 7u);
    EXPECT_EQ(clock.NowMs() - start, 3000u);
    EXPECT_EQ(Count(WireEvent::Purge), 0);
}

TEST_F(TransportTest, AShortReadEndsAfterTheGapAndDropsTheRest) {
    // A packet of which only 100 bytes come, and two stray bytes later.
    line->Answer(std::vector<uint8_t>(100, 0x31));
    const uint32_t last = line->incoming.back().first;
    line->Answer({0xAA, 0xBB}, 200);
    line->claimedInput = 1;
    std::vector<uint8_t> dst(256);
    EXPECT_EQ(link.ReceiveData(dst.data(), 256, 257), 7u);
    // The read ended 30 ms after the last byte, well before its 2 s; then
    // the input queue, and only it, was discarded, before anything was
    // written back to the camera.
    ASSERT_FALSE(line->events.empty());
    const WireEvent& first = line->events.front();
    EXPECT_EQ(first.kind, WireEvent::Purge);
    EXPECT_EQ(first.time, last + 30);
    EXPECT_EQ(first.bytes, std::vector<uint8_t>{kPurgeInput});
}

TEST_F(TransportTest, TransmitWaitsForTheOutputQueueToEmpty) {
    line->outQueueReadings = {4, 4, 3, 2, 0};
    clock.sleeps = 0;
    const uint32_t start = clock.NowMs();
    EXPECT_EQ(link.SendByte(0x42), 0u);
    EXPECT_EQ(line->AllWritten(), std::vector<uint8_t>{0x42});
    // It slept between its polls rather than spinning: four readings showed
    // bytes still queued, and each was followed by a pause of the clock.
    EXPECT_GE(clock.sleeps, 4);
    EXPECT_GE(clock.NowMs() - start, 4u);
    EXPECT_TRUE(line->outQueueReadings.empty());
}

TEST_F(TransportTest, TransmitGivesUpWhenTheQueueDoesNotEmptyAndWritesNothing) {
    line->outQueueReadings.assign(1000, 50);
    const uint32_t start = clock.NowMs();
    EXPECT_EQ(link.SendByte(0x42), 7u);
    EXPECT_TRUE(line->AllWritten().empty());
    // The allowance is the time-out plus a millisecond per queued byte.
    EXPECT_GE(clock.NowMs() - start, 250u);
    EXPECT_LE(clock.NowMs() - start, 252u);
}

TEST_F(TransportTest, AWriteThatMovesFewerBytesIsATimeOut) {
    line->shortWriteBy = 1;
    EXPECT_EQ(link.SendByte(0x42), 7u);
    line->shortWriteBy = 0;
    line->failWrites = true;
    EXPECT_EQ(link.SendByte(0x42), 8u);
}

TEST_F(TransportTest, RateIndexOutOfRangeChangesNothing) {
    ASSERT_EQ(link.SetHostRate(3), 0u);
    EXPECT_EQ(line->line.baudRate, 38400u);
    line->events.clear();
    line->claimedInput = 1;  // a purge asked for would show in the log
    EXPECT_EQ(link.SetHostRate(0), 1u);
    EXPECT_EQ(link.SetHostRate(6), 1u);
    EXPECT_TRUE(line->events.empty());
    EXPECT_EQ(link.hostRateIndex(), 3);
    EXPECT_EQ(line->line.baudRate, 38400u);
    ASSERT_EQ(link.SetHostRate(4), 0u);
    EXPECT_EQ(line->line.baudRate, 56000u);  // not 57600
}

TEST_F(TransportTest, BreakEndsBackAt9600AfterTwoSeconds) {
    ASSERT_EQ(link.SetHostRate(3), 0u);
    EXPECT_EQ(link.SetBreak(2), 1u);
    EXPECT_EQ(link.SetBreak(0), 0u);
    const uint32_t released = clock.NowMs();
    EXPECT_EQ(link.SetBreak(1), 0u);
    EXPECT_GE(clock.NowMs() - released, 2000u);
    EXPECT_EQ(line->line.baudRate, 9600u);
    EXPECT_EQ(link.hostRateIndex(), 1);
    EXPECT_EQ(Count(WireEvent::BreakOn), 1);
    EXPECT_EQ(Count(WireEvent::BreakOff), 1);
}

TEST_F(TransportTest, DrainInputWaitsHalfASecondAndReportsStrayBytes) {
    uint32_t start = clock.NowMs();
    EXPECT_EQ(link.DrainInput(), 0u);
    EXPECT_EQ(clock.NowMs() - start, 500u);
    line->Answer({1, 2, 3});
    start = clock.NowMs();
    EXPECT_EQ(link.DrainInput(), 7u);
    EXPECT_EQ(line->Arrived(), 0u);
}

TEST_F(TransportTest, ClosingTwiceClosesOnce) {
    ASSERT_EQ(link.SetHostRate(5), 0u);
    EXPECT_EQ(link.ClosePort(), 0u);
    EXPECT_FALSE(link.portOpen());
    EXPECT_FALSE(line->open);
    EXPECT_EQ(link.hostRateIndex(), 1);
    EXPECT_EQ(link.ClosePortIfOpen(), 0u);
    EXPECT_EQ(Count(WireEvent::Close), 1);
    // Nothing on a closed port reaches the platform.
    line->events.clear();
    EXPECT_EQ(link.Transmit(200), 8u);
    EXPECT_EQ(link.SendCommand(), 8u);
    EXPECT_EQ(link.Receive(200), 8u);
    EXPECT_EQ(link.SetBreak(0), 8u);
    EXPECT_EQ(link.SetBreak(1), 8u);
    EXPECT_EQ(link.SetHostRate(2), 8u);
    EXPECT_EQ(link.DrainInput(), 8u);
    EXPECT_TRUE(line->events.empty());
}

TEST_F(TransportTest, SendByteWritesBeforeItDiscardsTheOutputQueue) {
    line->outQueueReadings = {0, 1};
    EXPECT_EQ(link.SendByte(0xD2), 0u);
    ASSERT_GE(line->events.size(), 2u);
    EXPECT_EQ(line->events[0].kind, WireEvent::Write);
    EXPECT_EQ(line->events[1].kind, WireEvent::Purge);
    EXPECT_EQ(line->events[1].bytes[0], kPurgeOutput);
}

TEST(Delay, KeepsItsTimeAcrossTheWrapOfTheClock) {
    FakeClock clock(0xFFFFFF00u);
    const uint32_t end = DelayMs(clock, 0x200);
    EXPECT_EQ(end, 0x100u);
    EXPECT_EQ(DelayMs(clock, 0), 0x100u);
    EXPECT_EQ(clock.sleeps, 1);
}

TEST(ErrorNumbers, MapEveryStatus) {
    const std::pair<LinkStatus, int16_t> table[] = {
        {0, 0},      {1, -1000},  {2, -1011},         {3, -1006},  {4, -1006},  {5, -1006},
        {6, -1006},  {7, -1006},  {8, -1006},         {9, -1020},  {10, -1004}, {11, -1006},
        {12, -1006}, {13, -1020}, {14, -1002},        {15, -1022}, {16, -1020}, {17, -1006},
        {18, -1002}, {19, -1020}, {0xFFFFFFFF, -1020}};
    for (const auto& [status, number] : table)
        EXPECT_EQ(ErrorNumberFor(status), number) << status;
}

// A read call that fails is the port's failure, but a packet that came short
// is a time-out first, whatever the call said: the packet layer asks for it
// again.
TEST_F(TransportTest, AFailedReadIsAPortFailureOnlyWhenNothingIsMissing) {
    line->failReads = true;
    line->Answer({0x06});
    EXPECT_EQ(link.WaitCompletion(3000), 8u);
    line->Answer(std::vector<uint8_t>(100, 0x31));
    std::vector<uint8_t> dst(256);
    EXPECT_EQ(link.ReceiveData(dst.data(), 256, 257), 7u);
    ASSERT_FALSE(line->Writes().empty());
    EXPECT_EQ(line->Writes().front(), std::vector<uint8_t>{0xE3});  // asked again
}

TEST_F(TransportTest, DrainInputReadsAtMostItsBuffer) {
    line->Answer(std::vector<uint8_t>(3000, 0x55));
    clock.Advance(3000);
    EXPECT_EQ(link.DrainInput(), 7u);
    EXPECT_EQ(line->Arrived(), 3000u - CameraProtocol::kBufferSize);
}

TEST(TransportOpen, ALinkDroppedWithItsPortOpenClosesIt) {
    FakeClock clock;
    ScriptedFactory factory(clock);
    auto line = factory.Attach(1);
    {
        CameraProtocol link(factory, clock);
        ASSERT_EQ(link.OpenPort(1), 0u);
    }
    EXPECT_FALSE(line->open);
}

// The link's two buffers are the only arrays it asks for without exceptions;
// a test can make the n-th of them from now on fail.
int g_nothrowArrayFailsAt = 0;

TEST(TransportOpen, APortWhoseBuffersCannotBeHadIsClosedAgain) {
    FakeClock clock;
    ScriptedFactory factory(clock);
    auto line = factory.Attach(1);
    CameraProtocol link(factory, clock);
    for (int failing : {1, 2}) {  // the send buffer, then the receive buffer
        g_nothrowArrayFailsAt = failing;
        EXPECT_EQ(link.OpenPort(1), 2u);
        g_nothrowArrayFailsAt = 0;
        EXPECT_FALSE(link.portOpen());
        EXPECT_FALSE(line->open);
    }
}

}  // namespace
}  // namespace rm525

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (rm525::g_nothrowArrayFailsAt > 0 && --rm525::g_nothrowArrayFailsAt == 0)
        return nullptr;
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
