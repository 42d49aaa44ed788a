// The link's waits, attempts and recoveries on the virtual clock, seen on the
// wire of a scripted port: recovering a line that fell silent, the camera's
// rate lock, the pauses of the bring-up, the long completion wait of an area
// preparation, a packet that does not come whole, and the ways back when the
// host cannot follow a rate change or cannot set its port up.
#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "link/camera_link.h"
#include "tests/link/hand_made_camera.h"
#include "tests/link/scripted_port.h"

namespace rm525 {
namespace {

using testing::Bytes;
using testing::FakeClock;
using testing::HandMadeCamera;
using testing::ScriptedFactory;
using testing::ScriptedLine;
using testing::WireEvent;

constexpr int16_t kCommunication = -1006;
constexpr int16_t kNotUsable = -1002;

Bytes StatusBlock(bool rateLock) {
    Bytes b(256);
    b[1] = 4;
    b[32] = rateLock ? 0x01 : 0x00;
    return b;
}

class TimingTest : public ::testing::Test {
protected:
    void SetUp() override {
        line = factory.Attach(1);
        camera = std::make_unique<HandMadeCamera>(*line, StatusBlock(false));
    }
    void Connect() {
        identity.idText = idText;
        link.Connect(1, 3, &status, &identity, &already);
    }
    // The camera hears nothing from the `from`-th command frame on (counted
    // from 1 at the next frame), up to and including the `to`-th.
    void DeafFor(int from, int to) {
        auto seen = std::make_shared<int>(0);
        camera->interpose = [seen, from, to](ScriptedLine&, const Bytes&) {
            ++*seen;
            return *seen >= from && *seen <= to;
        };
    }
    struct Sent {
        uint32_t time;
        Bytes frame;
    };
    // The command frames written since `since`, with their times.
    std::vector<Sent> FramesSince(size_t since = 0) const {
        std::vector<Sent> out;
        for (size_t i = since; i < line->events.size(); ++i) {
            const WireEvent& e = line->events[i];
            if (e.kind == WireEvent::Write && e.bytes.size() == 8 && e.bytes[7] == 0x1A)
                out.push_back({e.time, e.bytes});
        }
        return out;
    }
    std::vector<WireEvent> EventsOf(WireEvent::Kind kind, size_t since = 0) const {
        std::vector<WireEvent> out;
        for (size_t i = since; i < line->events.size(); ++i)
            if (line->events[i].kind == kind)
                out.push_back(line->events[i]);
        return out;
    }

    FakeClock clock;
    ScriptedFactory factory{clock};
    std::shared_ptr<ScriptedLine> line;
    std::unique_ptr<HandMadeCamera> camera;
    CameraLink link{factory, clock};
    CameraStatusRecord status{};
    char idText[33] = {};
    CameraIdentityRecord identity{};
    int32_t already = -1;
};

const Bytes kQuery = {0x7F, 0, 0, 0, 0, 0, 0, 0x1A};
const Bytes kTo115200 = {0x41, 0, 0x11, 0x52, 0, 0, 0, 0x1A};

// A camera in update mode, reached at 38400 bit/s; the link then wants the
// rate it was built with (115200) whenever it re-synchronises.
class ResyncTest : public TimingTest {
protected:
    void SetUp() override {
        TimingTest::SetUp();
        camera->updateMode = true;
        Connect();
        ASSERT_EQ(link.GetErrorNumber(), 0);
        ASSERT_EQ(line->line.baudRate, 38400u);
        mark = line->events.size();
    }
    size_t mark = 0;
};

TEST_F(ResyncTest, ASilentLineIsWaitedForThenBrokenOnTheSecondPass) {
    // The first query and the one of pass 0 go unheard; pass 1 gets through.
    DeafFor(1, 2);
    line->onBreakOff = [](ScriptedLine& l) {
        // Bytes left in the output queue after the break must be discarded
        // by the purge that follows it; from 1 ms on, so that only that purge
        // and not the host rate change inside the break release sees them.
        l.stuckOutput = 5;
        l.stuckFrom = l.clock.NowMs() + 1;
    };
    link.ReadCameraStatus(&status);
    ASSERT_EQ(link.GetErrorNumber(), 0);

    const auto frames = FramesSince(mark);
    ASSERT_GE(frames.size(), 5u);
    // One sending each while the line is in doubt, 3 s for its answer.
    EXPECT_EQ(frames[0].frame, kQuery);
    EXPECT_EQ(frames[1].frame, kQuery);
    EXPECT_EQ(frames[1].time - frames[0].time, 3000u + 1500u);
    // Pass 1: 100 ms, a 350 ms break, the 2 s settle, 100 ms, the purge.
    const auto on = EventsOf(WireEvent::BreakOn, mark);
    const auto off = EventsOf(WireEvent::BreakOff, mark);
    ASSERT_EQ(on.size(), 1u);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(on[0].time - frames[1].time, 3000u + 100u);
    EXPECT_EQ(off[0].time - on[0].time, 350u);
    // (The host rate reset right after it purges both queues too, in the
    // same millisecond, so this purge cannot be told apart on the wire.)
    std::vector<uint32_t> outputPurges;
    for (const WireEvent& e : EventsOf(WireEvent::Purge, mark))
        if (e.bytes[0] & kPurgeOutput)
            outputPurges.push_back(e.time);
    ASSERT_FALSE(outputPurges.empty());
    EXPECT_EQ(outputPurges[0] - off[0].time, 2000u + 100u);
    // Then 9600 bit/s and 200 ms before the query.
    std::vector<uint32_t> to9600;
    for (const WireEvent& e : EventsOf(WireEvent::Rate, mark))
        if (e.baud == 9600)
            to9600.push_back(e.time);
    ASSERT_EQ(to9600.size(), 2u);  // the break's own and the pass's
    EXPECT_EQ(to9600[1], outputPurges[0]);
    EXPECT_EQ(frames[2].frame, kQuery);
    EXPECT_EQ(frames[2].time - to9600[1], 200u);
    // Contact: the rate change it asked for, and 200 ms later the query.
    EXPECT_EQ(frames[3].frame, kTo115200);
    EXPECT_EQ(frames[4].frame, kQuery);
    const auto rates = EventsOf(WireEvent::Rate, mark);
    ASSERT_FALSE(rates.empty());
    EXPECT_EQ(rates.back().baud, 115200u);
    EXPECT_EQ(frames[4].time - rates.back().time, 200u);
    EXPECT_EQ(frames.size(), 5u);
    // Back to three attempts: a command that goes unanswered is sent thrice.
    DeafFor(1, 100);
    link.CloseConnection();
    EXPECT_EQ(FramesSince(mark).size(), 5u + 3u);
}

TEST_F(ResyncTest, ContactBackEndsTenMillisecondsAfterTheLastCompletion) {
    DeafFor(1, 2);
    link.ReadCameraStatus(&status);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    // The completion byte of the last query arrives 1 ms after the host's D2.
    uint32_t d2 = 0;
    for (const WireEvent& e : line->events)
        if (e.kind == WireEvent::Write && e.bytes == Bytes{0xD2})
            d2 = e.time;
    EXPECT_EQ(clock.NowMs() - (d2 + 1), 10u);
}

TEST_F(ResyncTest, PassZeroSendsNoBreak) {
    DeafFor(1, 1);
    link.ReadCameraStatus(&status);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_TRUE(EventsOf(WireEvent::BreakOn, mark).empty());
    const auto frames = FramesSince(mark);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[1].time - frames[0].time, 3000u + 1500u);
    EXPECT_EQ(frames[2].frame, kTo115200);
    EXPECT_EQ(frames[3].frame, kQuery);
    const auto rates = EventsOf(WireEvent::Rate, mark);
    ASSERT_EQ(rates.size(), 1u);  // the line was never reset to 9600
    EXPECT_EQ(rates[0].baud, 115200u);
    EXPECT_EQ(frames[3].time - rates[0].time, 200u);
}

TEST_F(ResyncTest, GivingUpLeavesTheHostAt9600) {
    // Pass 1 reaches the camera and moves both sides to 115200 bit/s; then
    // the camera falls silent for good.
    auto seen = std::make_shared<int>(0);
    camera->interpose = [seen](ScriptedLine&, const Bytes&) { return ++*seen <= 2 || *seen > 4; };
    link.ReadCameraStatus(&status);
    EXPECT_EQ(link.GetErrorNumber(), kNotUsable);
    const auto rates = EventsOf(WireEvent::Rate, mark);
    ASSERT_GE(rates.size(), 2u);
    EXPECT_EQ(rates[rates.size() - 2].baud, 115200u);
    EXPECT_EQ(rates.back().baud, 9600u);
    EXPECT_EQ(line->line.baudRate, 9600u);
    // The link knows the camera is to be found at 9600 bit/s next time, so
    // once it answers again the rate it wants is asked for anew.
    mark = line->events.size();
    camera->interpose = nullptr;
    link.ReadCameraStatus(&status);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    const auto frames = FramesSince(mark);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].frame, kQuery);
    EXPECT_EQ(frames[1].frame, kTo115200);
}

// The rate lock (status byte 32 non-zero) keeps every branch that reads it
// away from the line rate.
TEST_F(ResyncTest, TheRateLockKeepsTheLineRateOnEveryBranch) {
    // First branch: the camera answers at once. Without the lock the link
    // moves to the rate it wants; with it, it does not.
    camera->StatusBlock()[32] = 1;
    link.ReadCameraStatus(&status);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    auto frames = FramesSince(mark);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frame, kQuery);
    EXPECT_TRUE(EventsOf(WireEvent::Rate, mark).empty());

    // Recovery passes, locked: no break, no host rate reset, and the pass
    // that gets through ends without a rate change.
    mark = line->events.size();
    DeafFor(1, 2);
    link.ReadCameraStatus(&status);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_TRUE(EventsOf(WireEvent::BreakOn, mark).empty());
    EXPECT_TRUE(EventsOf(WireEvent::Rate, mark).empty());
    frames = FramesSince(mark);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].frame, kQuery);

    // Giving up, locked: the host stays where it was.
    mark = line->events.size();
    DeafFor(1, 100);
    link.ReadCameraStatus(&status);
    EXPECT_EQ(link.GetErrorNumber(), kNotUsable);
    EXPECT_TRUE(EventsOf(WireEvent::BreakOn, mark).empty());
    EXPECT_TRUE(EventsOf(WireEvent::Rate, mark).empty());
    EXPECT_EQ(line->line.baudRate, 38400u);

    // And unlocked, the same first branch does change the rate: the link
    // still takes the camera to be at 38400 bit/s.
    mark = line->events.size();
    camera->interpose = nullptr;
    camera->StatusBlock()[32] = 0;
    link.ReadCameraStatus(&status);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    frames = FramesSince(mark);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[1].frame, kTo115200);
}

TEST_F(TimingTest, TheBringUpPausesBetweenItsSteps) {
    Connect();
    ASSERT_EQ(link.GetErrorNumber(), 0);
    ASSERT_EQ(already, 0);
    const auto frames = FramesSince();
    ASSERT_EQ(frames.size(), 4u);  // status, identity, update mode, rate
    // The first handshake waits 2 s for its reply, then 100 ms.
    const auto firstWrite =
        std::find_if(line->events.begin(), line->events.end(),
                     [](const WireEvent& e) { return e.kind == WireEvent::Write; });
    ASSERT_NE(firstWrite, line->events.end());
    const Bytes request = {'W', 'Q', 'M', 'Z', 'E', 'A', 'V', 'H', 'R', 'Y', 'C', 'S'};
    ASSERT_EQ(firstWrite->bytes, request);  // the first handshake
    EXPECT_EQ(frames[0].time - firstWrite->time, 2000u + 100u);
    // Each query's completion, then 10 ms (contact back), then 100 ms.
    std::vector<uint32_t> d2;
    for (const WireEvent& e : line->events)
        if (e.kind == WireEvent::Write && e.bytes == Bytes{0xD2})
            d2.push_back(e.time);
    ASSERT_EQ(d2.size(), 2u);
    EXPECT_EQ(frames[1].time - (d2[0] + 1), 10u + 100u);
    EXPECT_EQ(frames[2].time - (d2[1] + 1), 10u + 100u);
    // The handshake reply, the closing D1, 20 ms, 100 ms, the rate change.
    uint32_t closingAck = 0;
    for (const WireEvent& e : line->events)
        if (e.kind == WireEvent::Write && e.bytes == Bytes{0xD1})
            closingAck = e.time;
    EXPECT_EQ(frames[3].time - closingAck, 20u + 100u);
}

TEST_F(TimingTest, ABringUpThatFailsWaitsItsPauseBeforeClosing) {
    camera->interpose = [](ScriptedLine& l, const Bytes& f) {
        if (f[0] != 0x8D)
            return false;
        l.Answer({0xE1});  // update mode refused
        return true;
    };
    Connect();
    EXPECT_EQ(link.GetErrorNumber(), kCommunication);
    uint32_t refusal = 0;
    for (const WireEvent& e : line->events)
        if (e.kind == WireEvent::Write && e.bytes.size() == 8 && e.bytes[0] == 0x8D)
            refusal = e.time + 1;
    const auto closes = EventsOf(WireEvent::Close);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].time - refusal, 100u);
}

// A transfer whose area preparations take `delayMs` each before the camera
// reports completion, with a keep-alive `keepAliveMs` after the acceptance
// (0: none). Returns the reports.
struct PrepareRun {
    int16_t error;
    std::vector<std::pair<int, int>> reports;
    uint32_t failedAfterMs = 0;  // from the acceptance of area 1 to the failure report
};

PrepareRun PrepareAreasTaking(uint32_t delayMs, uint32_t keepAliveMs) {
    FakeClock clock;
    ScriptedFactory factory(clock);
    auto line = factory.Attach(1);
    HandMadeCamera camera(*line, StatusBlock(false));
    camera.updateMode = true;
    uint32_t accepted = 0;
    camera.interpose = [&](ScriptedLine& l, const Bytes& f) {
        if (f[0] != 0x1E)
            return false;
        accepted = l.clock.NowMs() + 1;
        l.Answer({0xD1});
        if (keepAliveMs != 0)
            l.Answer({0xF0}, keepAliveMs);
        l.incoming.emplace_back(accepted + delayMs, 0x00);
        return true;
    };
    CameraLink link(factory, clock);
    CameraStatusRecord status{};
    CameraIdentityRecord identity{};
    int32_t already = -1;
    link.Connect(1, 3, &status, &identity, &already);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    const Bytes body(0x80000);
    PrepareRun run{};
    link.TransferFirmware(body.data(), [&](int phase, int percent, int) {
        run.reports.push_back({phase, percent});
        if (phase == 3)
            run.failedAfterMs = clock.NowMs() - accepted;
        return 1;
    });
    run.error = link.GetErrorNumber();
    return run;
}

TEST(PrepareAreaTest, TheCameraHasThirtySecondsToPrepareAnArea) {
    // 25 s, with one keep-alive 20 s in: well past the usual 3 s, and fine.
    PrepareRun run = PrepareAreasTaking(25000, 20000);
    EXPECT_EQ(run.error, 0);
    EXPECT_EQ(run.reports.back(), (std::pair<int, int>{2, 100}));
    // 29.9 s of silence is still in time.
    run = PrepareAreasTaking(29900, 0);
    EXPECT_EQ(run.error, 0);
    // 31 s of silence is not: the wait ends at 30 s, and nothing is sent.
    run = PrepareAreasTaking(31000, 0);
    EXPECT_EQ(run.error, kCommunication);
    EXPECT_EQ(run.reports, (std::vector<std::pair<int, int>>{{0, 0}, {3, 0}}));
    EXPECT_EQ(run.failedAfterMs, 30000u);
}

// A packet that does not come whole, after the camera accepted the frame:
// the host asks again with E3, five times in all, each read allowed 2 s.
TEST_F(TimingTest, APacketThatDoesNotComeWholeIsAskedForAgainFiveTimes) {
    camera->updateMode = true;
    Connect();
    ASSERT_EQ(link.GetErrorNumber(), 0);
    for (int partial : {0, 100}) {
        const size_t mark = line->events.size();
        auto e3 = std::make_shared<int>(0);
        camera->interpose = [partial](ScriptedLine& l, const Bytes& f) {
            if (f[0] != 0x22)
                return false;
            l.Answer({0xD1});
            if (partial)
                l.Answer(Bytes(size_t(partial), 0x07));
            return true;
        };
        auto heard = line->onWrite;
        line->onWrite = [heard, partial, e3](ScriptedLine& l, const Bytes& w) {
            if (w == Bytes{0xE3}) {
                ++*e3;
                if (partial)
                    l.Answer(Bytes(size_t(partial), 0x07));
                return;
            }
            heard(l, w);
        };
        EXPECT_EQ(link.CheckCameraMemory(106), -1) << partial;
        EXPECT_EQ(*e3, 5) << partial;
        // Each of the five reads took its 2 s (or ended 30 ms after a
        // partial packet), and no read followed the fifth E3.
        std::vector<uint32_t> e3Times;
        for (size_t i = mark; i < line->events.size(); ++i)
            if (line->events[i].kind == WireEvent::Write && line->events[i].bytes == Bytes{0xE3})
                e3Times.push_back(line->events[i].time);
        ASSERT_EQ(e3Times.size(), 5u);
        const uint32_t perRead = partial ? uint32_t(partial) - 1 + 1 + 30 : 2000;
        for (size_t i = 1; i < e3Times.size(); ++i)
            EXPECT_EQ(e3Times[i] - e3Times[i - 1], perRead) << partial << " " << i;
        line->onWrite = heard;
    }
}

TEST_F(TimingTest, AHostThatCannotFollowARateChangeBringsTheCameraBack) {
    camera->updateMode = true;
    line->refusedBaud = 38400;
    Connect();
    EXPECT_EQ(link.GetErrorNumber(), kCommunication);
    EXPECT_FALSE(line->open);
    // Told 38400; the host cannot follow, so the camera is told 9600 again
    // (it talks faster, it goes first), then the bring-up's own return.
    const auto frames = FramesSince();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].frame, (Bytes{0x41, 0, 0x38, 0x40, 0, 0, 0, 0x1A}));
    EXPECT_EQ(frames[1].frame, (Bytes{0x41, 0, 0x96, 0x00, 0, 0, 0, 0x1A}));
    EXPECT_EQ(frames[2].frame, (Bytes{0x41, 0, 0x96, 0x00, 0, 0, 0, 0x1A}));
    // The host port is set again only after the camera was told.
    for (const WireEvent& e : EventsOf(WireEvent::Rate)) {
        EXPECT_EQ(e.baud, 9600u);
        if (int32_t(e.time - frames[0].time) > 0) {
            EXPECT_GT(e.time, frames[1].time);
        }
    }
    EXPECT_EQ(line->line.baudRate, 9600u);
}

TEST_F(TimingTest, WhenTheHostCannotGoBackTo9600ItReturnsTheCameraToItsRate) {
    camera->updateMode = true;
    Connect();
    ASSERT_EQ(link.GetErrorNumber(), 0);
    const size_t mark = line->events.size();
    line->refusedBaud = 9600;
    const Bytes body(0x80000);
    link.TransferFirmware(body.data(), nullptr);
    // The failed return to 9600 alone does not end the transfer; the host
    // first sets its port back to 38400, then tells the camera 38400.
    const auto frames = FramesSince(mark);
    size_t down = 0;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].frame == Bytes{0x41, 0, 0x96, 0x00, 0, 0, 0, 0x1A})
            down = i;
    ASSERT_NE(down, 0u);
    ASSERT_LT(down + 2, frames.size());
    EXPECT_EQ(frames[down + 1].frame, (Bytes{0x41, 0, 0x38, 0x40, 0, 0, 0, 0x1A}));
    const auto rates = EventsOf(WireEvent::Rate, mark);
    ASSERT_FALSE(rates.empty());
    EXPECT_EQ(rates.back().baud, 38400u);
    EXPECT_LT(rates.back().time, frames[down + 1].time + 1);
    EXPECT_EQ(frames[down + 2].frame[0], 0x21);  // the check values follow
}

TEST(OpenTest, APortThatFailsAfterItOpenedIsClosedAndTheReasonKept) {
    FakeClock clock;
    ScriptedFactory factory(clock);
    auto line = factory.Attach(2);
    line->failQueueSetup = true;
    CameraLink link(factory, clock);
    CameraStatusRecord status{};
    CameraIdentityRecord identity{};
    int32_t already = -1;
    link.Connect(2, 3, &status, &identity, &already);
    EXPECT_EQ(link.GetErrorNumber(), kCommunication);
    EXPECT_FALSE(line->open);
    ASSERT_EQ(line->events.size(), 1u);
    EXPECT_EQ(line->events[0].kind, WireEvent::Close);
    // The front end can say which port failed and why.
    ASSERT_EQ(link.openFailures().size(), 1u);
    EXPECT_EQ(link.openFailures()[0].portNumber, 2);
    EXPECT_NE(link.openFailures()[0].systemError, 0);
}

}  // namespace
}  // namespace rm525
