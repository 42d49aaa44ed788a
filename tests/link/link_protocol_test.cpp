#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "link/camera_protocol.h"
#include "link/camera_records.h"
#include "link/protocol.h"
#include "tests/link/scripted_port.h"

namespace rm525 {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FakeClock;
using testing::ScriptedFactory;
using testing::ScriptedLine;
using testing::WireEvent;

Bytes Packet(const Bytes& data, bool goodCheck = true) {
    Bytes p(data);
    p.resize(256, 0);
    p.push_back(uint8_t(protocol::XorCheck(p.data(), 256) ^ (goodCheck ? 0 : 0xFF)));
    return p;
}

// Answers each write in turn with the next entry of a script.
void Script(ScriptedLine& line, std::vector<Bytes> answers) {
    auto queue = std::make_shared<std::deque<Bytes>>(answers.begin(), answers.end());
    line.onWrite = [queue](ScriptedLine& l, const Bytes&) {
        if (queue->empty())
            return;
        l.Answer(queue->front());
        queue->pop_front();
    };
}

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        line = factory.Attach(1);
        ASSERT_EQ(link.OpenPort(1), 0u);
        line->events.clear();
    }
    std::vector<uint32_t> WriteTimes() const {
        std::vector<uint32_t> t;
        for (const auto& e : line->events)
            if (e.kind == WireEvent::Write)
                t.push_back(e.time);
        return t;
    }
    FakeClock clock;
    ScriptedFactory factory{clock};
    std::shared_ptr<ScriptedLine> line;
    CameraProtocol link{factory, clock};
};

TEST_F(ProtocolTest, WriteBlockPutsTheExampleExchangeOnTheWire) {
    Bytes data(256);
    for (int i = 0; i < 256; ++i)
        data[size_t(i)] = uint8_t(i * 7);
    Script(*line, {{0xF0, 0xD1}, {0xD2, 0xF0, 0xF0, 0x00}});
    link.WriteBlock(data.data(), 0x0102);
    EXPECT_EQ(link.status(), 0u);
    const auto writes = line->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], (Bytes{0x1D, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x1A}));
    EXPECT_EQ(writes[1], Packet(data));
}

TEST_F(ProtocolTest, CommandAnswers) {
    link.ResetFrame();
    Script(*line, {{0xF0, 0xF0, 0xD1}});
    EXPECT_EQ(link.SendCommand(), 0u);

    line->events.clear();
    Script(*line, {{0xE1}, {0xD1}});
    EXPECT_EQ(link.SendCommand(), 3u);  // a refusal is never sent again
    EXPECT_EQ(line->Writes().size(), 1u);

    line->events.clear();
    Script(*line, {{0x77}, {0x77}, {0x77}});
    EXPECT_EQ(link.SendCommand(), 7u);  // stray answers use up the three attempts
    EXPECT_EQ(line->Writes().size(), 3u);

    // A port that failed is final too: sending the frame again cannot help.
    line->events.clear();
    line->failReads = true;
    Script(*line, {{0x77}, {0x77}, {0x77}});
    EXPECT_EQ(link.SendCommand(), 8u);
    EXPECT_EQ(line->Writes().size(), 1u);
}

TEST_F(ProtocolTest, BusyAnswersPauseHalfASecondAndRunOutOfAttempts) {
    link.ResetFrame();
    Script(*line, {{0x10}, {0x10}, {0x10}});
    EXPECT_EQ(link.SendCommand(), 7u);
    const auto t = WriteTimes();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_GE(t[1] - t[0], 501u);
    EXPECT_GE(t[2] - t[1], 501u);
}

TEST_F(ProtocolTest, NoAttemptsLeftMeansOneSending) {
    link.setCommandAttempts(0);
    link.ResetFrame();
    const uint32_t start = clock.NowMs();
    EXPECT_EQ(link.SendCommand(), 7u);
    EXPECT_EQ(line->Writes().size(), 1u);
    EXPECT_GE(clock.NowMs() - start, 3000u);
}

TEST_F(ProtocolTest, CompletionBytes) {
    line->Answer({0x05});
    EXPECT_EQ(link.WaitCompletion(3000), 4u);
    line->Answer({0xF0, 0xF0, 0x00});
    EXPECT_EQ(link.WaitCompletion(3000), 0u);
    EXPECT_EQ(link.lastActivity(), clock.NowMs());
    // Keep-alives restart the wait: each one may come almost 3 s after the last.
    line->Answer({0xF0});
    line->Answer({0xF0}, 2900);
    line->Answer({0x00}, 2900);
    EXPECT_EQ(link.WaitCompletion(3000), 0u);
    // Silence ends the wait, and the next frame is still held back 100 ms.
    EXPECT_EQ(link.WaitCompletion(3000), 7u);
    EXPECT_EQ(link.lastActivity(), clock.NowMs());
}

TEST_F(ProtocolTest, TheNextFrameLeavesAtLeast100MsAfterACompletion) {
    link.ResetFrame();
    Script(*line, {{0xD1, 0x00}, {0xD1, 0x00}});
    link.EnterUpdateMode();
    ASSERT_EQ(link.status(), 0u);
    const uint32_t done = clock.NowMs();
    link.EnterUpdateMode();
    ASSERT_EQ(link.status(), 0u);
    const auto t = WriteTimes();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_GE(t[1] - done, 100u);
}

TEST_F(ProtocolTest, PacketRefusedFiveTimesOrBusy) {
    Bytes data(256, 0x3C);
    Script(*line, {{0xE3}, {0xE3}, {0xE3}, {0xE3}, {0xE3}, {0xD2}});
    EXPECT_EQ(link.SendPacket(data.data(), 257), 3u);
    EXPECT_EQ(line->Writes().size(), 5u);

    line->events.clear();
    Script(*line, {{0x10}, {0xD2}});
    EXPECT_EQ(link.SendPacket(data.data(), 257), 12u);
    EXPECT_EQ(line->Writes().size(), 1u);

    line->events.clear();
    Script(*line, {{0xE3}, {0xF0, 0xD2}});
    EXPECT_EQ(link.SendPacket(data.data(), 257), 0u);
    EXPECT_EQ(line->Writes().size(), 2u);
}

TEST_F(ProtocolTest, BadCameraPacketsAreAskedAgainFourTimes) {
    Bytes bad = Packet(Bytes(256, 0x11), false);
    line->Answer(bad);
    Script(*line, {bad, bad, bad, bad, bad});
    Bytes dst(256);
    EXPECT_EQ(link.ReceiveData(dst.data(), 256, 257), 7u);
    EXPECT_EQ(line->AllWritten(), Bytes(4, 0xE3));  // none after the fifth
}

TEST_F(ProtocolTest, ABadPacketFollowedByAGoodOneIsAccepted) {
    Bytes good = Packet(Bytes(256, 0x22));
    line->Answer(Packet(Bytes(256, 0x21), false));
    Script(*line, {good});
    Bytes dst(256);
    EXPECT_EQ(link.ReceiveData(dst.data(), 256, 257), 0u);
    EXPECT_EQ(dst, Bytes(256, 0x22));
    EXPECT_EQ(line->AllWritten(), (Bytes{0xE3, 0xD2}));
}

TEST_F(ProtocolTest, ALoneE2IsTheCameraSayingNo) {
    line->Answer({0xE2});
    Bytes dst(256);
    EXPECT_EQ(link.ReceiveData(dst.data(), 256, 257), 4u);
    EXPECT_TRUE(line->AllWritten().empty());
}

TEST_F(ProtocolTest, ALoneNoiseByteIsReadAgainOnceTheLineIsQuiet) {
    // Noise, then the packet well after the half-second drain: no E3 is sent,
    // the packet is simply read again.
    line->Answer({0x5A});
    line->Answer(Packet(Bytes(256, 0x09)), 1000);
    Bytes dst(256);
    EXPECT_EQ(link.ReceiveData(dst.data(), 256, 257), 0u);
    EXPECT_EQ(dst, Bytes(256, 0x09));
    EXPECT_EQ(line->AllWritten(), Bytes{0xD2});
}

TEST_F(ProtocolTest, NoiseStillComingAfterTheDrainEndsTheRead) {
    line->Answer({0x5A});
    line->Answer({0x5B}, 300);
    Bytes dst(256);
    EXPECT_EQ(link.ReceiveData(dst.data(), 256, 257), 7u);
    EXPECT_TRUE(line->AllWritten().empty());
}

TEST_F(ProtocolTest, ReceiveDataOf300BytesReadsTwoWholePackets) {
    Bytes first(256), second(256);
    for (int i = 0; i < 256; ++i) {
        first[size_t(i)] = uint8_t(i);
        second[size_t(i)] = uint8_t(255 - i);
    }
    line->Answer(Packet(first));
    Script(*line, {Packet(second)});
    Bytes dst(300, 0xEE);
    EXPECT_EQ(link.ReceiveData(dst.data(), 300, 257), 0u);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), dst.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.begin() + 44, dst.begin() + 256));
    EXPECT_EQ(line->AllWritten(), (Bytes{0xD2, 0xD2}));
}

TEST_F(ProtocolTest, QueryStatusSkipsKeepAlivesBeforeTheStartByte) {
    Bytes block(256);
    block[1] = 4;
    Bytes answer = {0xD1, 0xF0, 0x01};
    Bytes p = Packet(block);
    answer.insert(answer.end(), p.begin(), p.end());
    Script(*line, {answer, {0xF0, 0x00}});
    link.QueryStatus();
    EXPECT_EQ(link.status(), 0u);
    EXPECT_EQ(link.statusBlock()[1], 4);
    EXPECT_EQ(line->Writes()[0], (Bytes{0x7F, 0, 0, 0, 0, 0, 0, 0x1A}));

    Script(*line, {{0xD1, 0x02}});
    link.QueryStatus();
    EXPECT_EQ(link.status(), 3u);
}

TEST_F(ProtocolTest, Handshake) {
    Script(*line, {Bytes(protocol::kHandshakeReply.begin(), protocol::kHandshakeReply.end())});
    link.Handshake();
    EXPECT_EQ(link.status(), 0u);
    auto writes = line->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0],
              Bytes(protocol::kHandshakeRequest.begin(), protocol::kHandshakeRequest.end()));
    EXPECT_EQ(writes[1], Bytes{0xD1});

    line->events.clear();
    Bytes wrong(protocol::kHandshakeReply.begin(), protocol::kHandshakeReply.end());
    wrong[5] = 'X';
    Script(*line, {wrong});
    link.Handshake();
    EXPECT_EQ(link.status(), 3u);
    EXPECT_EQ(line->Writes().size(), 1u);  // no closing D1
}

TEST_F(ProtocolTest, ChangeRateMovesCameraThenHost) {
    Script(*line, {{0xD1}});
    link.ChangeRate(3);
    EXPECT_EQ(link.status(), 0u);
    EXPECT_EQ(line->Writes()[0], (Bytes{0x41, 0x00, 0x38, 0x40, 0x00, 0x00, 0x00, 0x1A}));
    EXPECT_EQ(line->line.baudRate, 38400u);
    EXPECT_EQ(link.currentCameraRateIndex(), 3);
    EXPECT_EQ(link.hostRateIndex(), 3);
}

TEST_F(ProtocolTest, ARefusedRateChangeLeavesTheHostWhereItWas) {
    Script(*line, {{0xE1}});
    link.ChangeRate(5);
    EXPECT_EQ(link.status(), 14u);
    EXPECT_EQ(line->line.baudRate, 9600u);
    EXPECT_EQ(link.currentCameraRateIndex(), 1);
    link.FinishOperation();  // as every camera operation ends
    link.ChangeRate(9);
    EXPECT_EQ(link.status(), 1u);
}

TEST_F(ProtocolTest, AStoredCodeStopsTheRateCommand) {
    link.QueryStatus();  // unanswered: the time-out stays stored
    ASSERT_EQ(link.status(), 7u);
    line->events.clear();
    link.SendRateCommand(3);
    EXPECT_EQ(link.status(), 7u);
    EXPECT_TRUE(line->Writes().empty());
}

TEST_F(ProtocolTest, ReadWordsAsksForTheRangeAndTakesTwoPackets) {
    Bytes words(512);
    words[91] = 3;
    Script(*line, {{0xD1}, {}});
    line->onWrite = [&, step = 0](ScriptedLine& l, const Bytes&) mutable {
        if (step == 0) {
            l.Answer({0xD1});
            l.Answer(Packet(Bytes(words.begin(), words.begin() + 256)));
        } else if (step == 1) {
            l.Answer(Packet(Bytes(words.begin() + 256, words.end())));
        } else if (step == 2) {
            l.Answer({0x00});
        }
        ++step;
    };
    Bytes dst(512);
    link.ReadWords(0, 255, dst.data());
    EXPECT_EQ(link.status(), 0u);
    EXPECT_EQ(dst, words);
    EXPECT_EQ(line->Writes()[0], (Bytes{0x22, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x1A}));
}

TEST(CameraTime, CountsHalfSecondsFrom1997LocalTime) {
    for (const char* zone : {"UTC0", "EST5EDT", "CET-1CEST"}) {
        setenv("TZ", zone, 1);
        tzset();
        CameraTime t;
        DecodeCameraTime(0, &t);
        EXPECT_EQ(t.yearsSince1900(), 97) << zone;
        EXPECT_EQ(t.month(), 0);
        EXPECT_EQ(t.day(), 1);
        EXPECT_EQ(t.hours(), 0);
        EXPECT_EQ(t.minutes(), 0);
        EXPECT_EQ(t.fields[6], 3);  // a Wednesday
        DecodeCameraTime(7200, &t);
        EXPECT_EQ(t.hours(), 1) << zone;
        EXPECT_EQ(t.minutes(), 0);
        EXPECT_EQ(t.day(), 1);
        DecodeCameraTime(0xFFFFFFFFu, &t);  // far ahead, still a date
        EXPECT_GT(t.yearsSince1900(), 160);
    }
    unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace rm525
