// The simulated camera at byte level, through a simulated port: what it
// answers to each command, and how its state follows.
#include <gtest/gtest.h>

#include <numeric>

#include "sim/camera_model.h"
#include "sim/line.h"
#include "sim/simulated_port.h"
#include "tests/sim/wire_host.h"

namespace rm525::sim {
namespace {

namespace p = protocol;
using testing::WireHost;
using Bytes = std::vector<uint8_t>;

constexpr int kCom = 3;

class CameraModelTest : public ::testing::Test {
protected:
    CameraModel& Attach(CameraSetup setup = CameraSetup{}) {
        camera_ = &ports_.AttachCamera(kCom, setup);
        host_ = std::make_unique<WireHost>(ports_, kCom);
        return *camera_;
    }
    CameraModel& AttachInUpdateMode() {
        CameraSetup s;
        s.mode = CameraMode::Update;
        return Attach(s);
    }
    Bytes HostBytes() { return WireBytes(ports_.Record(kCom).log, WireDirection::HostToCamera); }
    Bytes CameraBytes() { return WireBytes(ports_.Record(kCom).log, WireDirection::CameraToHost); }

    // One block write as the link does it; returns the answer to the packet.
    uint8_t WriteBlock(int n, const Bytes& data, uint8_t* completion = nullptr) {
        host_->SendFrame(p::kCmdWriteBlock, static_cast<uint16_t>(n));
        EXPECT_EQ(host_->ReadAnswer(), p::kAck);
        host_->SendPacket(data);
        const uint8_t answer = host_->ReadAnswer();
        const uint8_t done = answer == p::kPacketOk ? host_->ReadAnswer() : 0xEE;
        if (completion)
            *completion = done;
        return answer;
    }
    uint8_t SetValue(uint16_t number, uint16_t checkValue) {
        // Low byte of the check value first, as the link sends it.
        host_->SendFrame(p::kCmdSetValue, number,
                         static_cast<uint16_t>(checkValue << 8 | checkValue >> 8));
        EXPECT_EQ(host_->ReadAnswer(), p::kAck);
        return host_->ReadAnswer();
    }
    uint8_t Simple(uint8_t command, uint16_t p1 = 0, uint32_t completionMs = 3000) {
        host_->SendFrame(command, p1);
        const uint8_t a = host_->ReadAnswer();
        return a == p::kAck ? host_->ReadAnswer(completionMs) : a;
    }

    VirtualClock clock_{1000};
    SimulatedPortFactory ports_{clock_};
    CameraModel* camera_ = nullptr;
    std::unique_ptr<WireHost> host_;
};

Bytes Pattern(int seed) {
    Bytes b(p::kBlockSize);
    for (int i = 0; i < p::kBlockSize; ++i)
        b[i] = static_cast<uint8_t>(seed * 31 + i * 7);
    return b;
}

TEST_F(CameraModelTest, QueryStatusExchangeHasExactBytesAndTiming) {
    CameraSetup s;
    s.versionHigh = 0x01;
    s.versionLow = 0x15;
    s.cameraId = "CAM-0042";
    s.clockHalfSeconds = 0x01020304;
    CameraModel& camera = Attach(s);

    host_->SendFrame(p::kCmdQueryStatus);
    const uint32_t frameSentMs = clock_.NowMs();
    const Bytes head = host_->Read(2);
    const Bytes packet = host_->Read(p::kPacketSize, 2000);
    host_->SendByte(p::kPacketOk);
    EXPECT_EQ(host_->ReadByte(), p::kDone);

    const auto& block = camera.StatusBlock();
    EXPECT_EQ(head, (Bytes{p::kAck, p::kStartOfData}));
    ASSERT_EQ(packet.size(), size_t{p::kPacketSize});
    EXPECT_TRUE(std::equal(block.begin(), block.end(), packet.begin()));
    EXPECT_EQ(packet[256], p::XorCheck(block.data(), 256));
    EXPECT_EQ(block[p::status_block::kCameraType], p::status_block::kTypeRm525);
    EXPECT_EQ(block[p::status_block::kVersionLow], 0x15);
    EXPECT_EQ(block[p::status_block::kClock], 0x01);
    EXPECT_EQ(block[p::status_block::kClock + 3], 0x04);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[p::status_block::kCameraId])),
              "CAM-0042");

    Bytes expectedHost = WireHost::Frame(p::kCmdQueryStatus);
    expectedHost.push_back(p::kPacketOk);
    EXPECT_EQ(HostBytes(), expectedHost);
    Bytes expectedCamera = {p::kAck, p::kStartOfData};
    expectedCamera.insert(expectedCamera.end(), packet.begin(), packet.end());
    expectedCamera.push_back(p::kDone);
    EXPECT_EQ(CameraBytes(), expectedCamera);

    // 259 bytes at 960 bytes/s: the answer takes about 270 ms of line time.
    const auto& log = ports_.Record(kCom).log;
    EXPECT_EQ(log[8].timeMs - frameSentMs, 2u);  // 1 ms to think, ~1 ms for the D1 itself
    EXPECT_NEAR(static_cast<double>(log[8 + 258].timeUs - log[8].timeUs), 258 * 1041.7, 300.0);
}

TEST_F(CameraModelTest, HandshakeIsAnsweredOnlyInUpdateMode) {
    const Bytes request(p::kHandshakeRequest.begin(), p::kHandshakeRequest.end());
    const Bytes reply(p::kHandshakeReply.begin(), p::kHandshakeReply.end());
    CameraModel& camera = Attach();

    host_->Send(request);
    EXPECT_TRUE(host_->Read(12, 2000).empty());

    // The connection's way in: status, then update mode, then the handshake.
    host_->Wait(200);
    EXPECT_EQ(Simple(p::kCmdEnterUpdateMode), p::kDone);
    EXPECT_EQ(camera.Mode(), CameraMode::Update);
    host_->Wait(500);
    host_->Send(request);
    EXPECT_EQ(host_->Read(12, 2000), reply);
    host_->SendByte(p::kAck);
    // The closing D1 leaves no trace: the next frame is understood.
    host_->Wait(20);
    host_->SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host_->ReadByte(), p::kAck);
    EXPECT_EQ(camera.HandshakeReplies(), 1);
}

TEST_F(CameraModelTest, RateChangeTakesEffectAfterTheAcceptance) {
    CameraModel& camera = AttachInUpdateMode();
    host_->SendFrame(p::kCmdChangeRate, 0x3840);
    EXPECT_EQ(host_->ReadByte(), p::kAck);  // at the old rate: readable at 9600
    EXPECT_EQ(camera.RateIndex(), 3);
    EXPECT_EQ(camera.Baud(), 38400u);
    EXPECT_TRUE(host_->Read(1, 500).empty());  // no completion byte

    // Still at 9600, the host garbles the camera and the camera garbles it.
    host_->SendFrame(p::kCmdQueryStatus);
    EXPECT_TRUE(host_->Read(1, 500).empty());

    host_->SetBaud(38400);
    host_->Wait(200);
    host_->SendFrame(p::kCmdQueryStatus);
    const uint64_t t0 = clock_.NowUs();
    EXPECT_EQ(host_->Read(2), (Bytes{p::kAck, p::kStartOfData}));
    EXPECT_EQ(host_->Read(p::kPacketSize).size(), size_t{p::kPacketSize});
    // A 257-byte packet takes about 67 ms at 38400 bit/s.
    EXPECT_NEAR(static_cast<double>(clock_.NowUs() - t0), 1000 + 259 * 260.4, 500.0);
    host_->SendByte(p::kPacketOk);
    EXPECT_EQ(host_->ReadByte(), p::kDone);

    // An unknown rate code is refused and changes nothing.
    host_->SendFrame(p::kCmdChangeRate, 0x1234);
    EXPECT_EQ(host_->ReadByte(), p::kNak);
    EXPECT_EQ(camera.RateIndex(), 3);

    // A line break sends the camera back to 9600 bit/s.
    host_->Port().SetBreak();
    host_->Wait(350);
    host_->Port().ClearBreak();
    host_->SetBaud(9600);
    host_->Wait(2000);
    EXPECT_EQ(camera.RateIndex(), 1);
    host_->SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host_->ReadByte(), p::kAck);
}

TEST_F(CameraModelTest, MismatchedRatesGiveGarbageAndFramingErrors) {
    AttachInUpdateMode();
    host_->SendFrame(p::kCmdChangeRate, 0x3840);
    EXPECT_EQ(host_->ReadByte(), p::kAck);
    host_->SetBaud(38400);
    host_->SendFrame(p::kCmdChangeRate, 0x9600);
    host_->Wait(10);                       // the D1 comes back at 38400, the camera now talks 9600
    host_->SendFrame(p::kCmdQueryStatus);  // sent at 38400 to a camera at 9600
    host_->Wait(1000);
    ErrorState state;
    ASSERT_TRUE(host_->Port().ClearError(&state));
    EXPECT_EQ(state.inQueue, 1u);  // only the D1 of the rate change
    EXPECT_EQ(state.errors, 0u);

    host_->Port().Purge(kPurgeInput);
    host_->SetBaud(9600);
    host_->SendFrame(p::kCmdQueryStatus);
    host_->SetBaud(38400);  // listens at the wrong rate
    host_->Wait(1000);
    ASSERT_TRUE(host_->Port().ClearError(&state));
    EXPECT_EQ(state.inQueue, 2u + 257u);
    EXPECT_EQ(state.errors & line::kFramingError, line::kFramingError);
    uint8_t b[2];
    uint32_t moved = 0;
    ASSERT_TRUE(host_->Port().Read(b, 2, &moved));
    EXPECT_EQ(b[0], line::Garble(p::kAck));
    EXPECT_NE(b[0], p::kAck);
}

TEST_F(CameraModelTest, WriteBlockStoresGoodPacketsAndAsksAgainForBadOnes) {
    CameraModel& camera = AttachInUpdateMode();
    const Bytes data = Pattern(7);
    uint8_t done = 0;
    EXPECT_EQ(WriteBlock(0x0102, data, &done), p::kPacketOk);
    EXPECT_EQ(done, p::kDone);
    const auto stored = camera.FlashBlock(0x0102);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), stored.begin()));
    EXPECT_EQ(camera.BlocksWritten(), 1);
    EXPECT_TRUE(camera.BlockWritten(0x0102));

    Bytes expectedHost = WireHost::Frame(p::kCmdWriteBlock, 0x0102);
    EXPECT_TRUE(std::equal(expectedHost.begin(), expectedHost.end(), HostBytes().begin()));
    EXPECT_EQ(CameraBytes(), (Bytes{p::kAck, p::kPacketOk, p::kDone}));

    // A wrong check byte: E3, and the camera waits for the packet again.
    host_->SendFrame(p::kCmdWriteBlock, 5);
    EXPECT_EQ(host_->ReadAnswer(), p::kAck);
    host_->SendPacket(Pattern(5), /*spoilCheck=*/true);
    EXPECT_EQ(host_->ReadAnswer(), p::kPacketBad);
    EXPECT_FALSE(camera.BlockWritten(5));
    host_->SendPacket(Pattern(5));
    EXPECT_EQ(host_->ReadAnswer(), p::kPacketOk);
    EXPECT_EQ(host_->ReadAnswer(), p::kDone);
    EXPECT_TRUE(camera.BlockWritten(5));
    EXPECT_EQ(camera.BlocksWritten(), 2);

    // Block numbers past the flash are refused.
    host_->SendFrame(p::kCmdWriteBlock, p::kBlockCount);
    EXPECT_EQ(host_->ReadAnswer(), p::kNak);

    // Flash programming only clears bits: the block written again over an
    // area not prepared holds the AND of both, as a real camera's would.
    const Bytes second = Pattern(9);
    EXPECT_EQ(WriteBlock(0x0102, second, &done), p::kPacketOk);
    const auto anded = camera.FlashBlock(0x0102);
    int differs = 0;
    for (size_t i = 0; i < second.size(); ++i) {
        ASSERT_EQ(anded[i], data[i] & second[i]) << "byte " << i;
        differs += anded[i] != second[i];
    }
    EXPECT_GT(differs, 0);
}

TEST_F(CameraModelTest, FlashCommandsNeedUpdateMode) {
    CameraModel& camera = Attach();
    EXPECT_EQ(Simple(p::kCmdWriteBlock, 0), p::kNak);
    EXPECT_EQ(Simple(p::kCmdPrepareArea, 1), p::kNak);
    EXPECT_EQ(Simple(p::kCmdSetValue, p::kValueCheckA), p::kNak);
    EXPECT_EQ(Simple(0x55), p::kNak);  // unknown command
    EXPECT_EQ(camera.BlocksWritten(), 0);
    EXPECT_EQ(camera.Frames().size(), 4u);
}

TEST_F(CameraModelTest, PrepareAreaKeepsAliveThenErasesItsArea) {
    CameraModel& camera = AttachInUpdateMode();
    WriteBlock(0, Pattern(1));
    WriteBlock(1600, Pattern(2));
    host_->SendFrame(p::kCmdPrepareArea, 1);
    EXPECT_EQ(host_->ReadAnswer(), p::kAck);
    const uint64_t accepted = clock_.ElapsedMs();
    int keepAlives = 0;
    EXPECT_EQ(host_->ReadAnswer(30000, &keepAlives), p::kDone);
    EXPECT_EQ(keepAlives, 3);  // every 500 ms of the 2 s
    EXPECT_NEAR(static_cast<double>(clock_.ElapsedMs() - accepted), 2001.0, 2.0);
    EXPECT_EQ(camera.FlashBlock(0)[0], 0xFF);
    EXPECT_EQ(camera.FlashBlock(1600)[0], Pattern(2)[0]);  // area 2 untouched
    EXPECT_EQ(Simple(p::kCmdPrepareArea, 3), p::kNak);
}

TEST_F(CameraModelTest, ReadWordsSendsBigEndianWordsInPaddedPackets) {
    CameraSetup s;
    s.word45 = 0x0203;
    Attach(s);
    host_->SendFrame(p::kCmdReadWords, 0, 255);
    EXPECT_EQ(host_->ReadAnswer(), p::kAck);
    Bytes words;
    for (int i = 0; i < 2; ++i) {
        const Bytes packet = host_->Read(p::kPacketSize, 2000);
        ASSERT_EQ(packet.size(), size_t{p::kPacketSize});
        EXPECT_EQ(packet[256], p::XorCheck(packet.data(), 256));
        words.insert(words.end(), packet.begin(), packet.end() - 1);
        host_->SendByte(p::kPacketOk);
    }
    EXPECT_EQ(host_->ReadAnswer(), p::kDone);
    EXPECT_EQ(words[90], 0x02);
    EXPECT_EQ(words[91], 0x03);

    // 150 words: 300 bytes in two packets, the second padded with zeros.
    host_->Wait(100);
    host_->SendFrame(p::kCmdReadWords, 10, 159);
    EXPECT_EQ(host_->ReadAnswer(), p::kAck);
    host_->Read(p::kPacketSize);
    host_->SendByte(p::kPacketOk);
    const Bytes second = host_->Read(p::kPacketSize);
    EXPECT_EQ(second[43], static_cast<uint8_t>(159));  // low byte of word 159
    EXPECT_TRUE(
        std::all_of(second.begin() + 44, second.end() - 1, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(second[256], p::XorCheck(second.data(), 256));
    host_->SendByte(p::kPacketBad);  // asked again: the same packet comes
    EXPECT_EQ(host_->Read(p::kPacketSize), second);
    host_->SendByte(p::kPacketOk);
    EXPECT_EQ(host_->ReadAnswer(), p::kDone);

    host_->SendFrame(p::kCmdReadWords, 5, 4);  // first after last
    EXPECT_EQ(host_->ReadAnswer(), p::kNak);
}

TEST_F(CameraModelTest, SetValueCompletesOnlyForTheFlashContent) {
    CameraModel& camera = AttachInUpdateMode();
    EXPECT_EQ(Simple(p::kCmdPrepareArea, 1), p::kDone);
    EXPECT_EQ(Simple(p::kCmdPrepareArea, 2), p::kDone);
    Bytes body(p::kBlockSize, 0);
    body[0] = 0x34;
    body[1] = 0x12;
    for (int n = 0; n < p::kBlockCount; ++n) {
        ASSERT_EQ(WriteBlock(n, n == 0 ? body : Bytes(p::kBlockSize, 0)), p::kPacketOk);
    }
    EXPECT_EQ(camera.ExpectedValue(p::kValueCheckA), 0x1234);
    EXPECT_EQ(camera.ExpectedValue(p::kValueCheckB), 0);

    // The frame carries check value A low byte first: 21 00 00 13 34 12 00 1A.
    EXPECT_EQ(SetValue(p::kValueCheckA, 0x1235), CameraModel::kValueMismatch);
    EXPECT_FALSE(camera.Verified());
    EXPECT_EQ(SetValue(p::kValueCheckA, 0x1234), p::kDone);
    EXPECT_EQ(camera.Frames().back().bytes,
              (std::array<uint8_t, 8>{0x21, 0, 0, 0x13, 0x34, 0x12, 0, 0x1A}));
    EXPECT_EQ(SetValue(p::kValueCheckB, 0), p::kDone);
    EXPECT_EQ(camera.ReceivedValue(p::kValueCheckA), 0x1234);
    EXPECT_EQ(camera.ReceivedValue(p::kValueCheckB), 0);
    EXPECT_TRUE(camera.Verified());

    EXPECT_EQ(Simple(p::kCmdReleaseCamera), p::kDone);
    EXPECT_EQ(camera.Mode(), CameraMode::Normal);
    EXPECT_EQ(camera.ReleaseCount(), 1);
}

TEST_F(CameraModelTest, ReleaseAfterAnUnverifiedTransferStaysInUpdateMode) {
    CameraModel& camera = AttachInUpdateMode();
    EXPECT_EQ(Simple(p::kCmdPrepareArea, 1), p::kDone);
    WriteBlock(0, Pattern(0));
    EXPECT_EQ(Simple(p::kCmdReleaseCamera), p::kDone);
    EXPECT_EQ(camera.Mode(), CameraMode::Update);
    EXPECT_TRUE(camera.NeedsFirmware());
    EXPECT_EQ(camera.RateIndex(), 1);

    // The next connection finds the camera answering the handshake at once.
    host_.reset();
    host_ = std::make_unique<WireHost>(ports_, kCom);
    host_->Send(Bytes(p::kHandshakeRequest.begin(), p::kHandshakeRequest.end()));
    EXPECT_EQ(host_->Read(12, 2000), Bytes(p::kHandshakeReply.begin(), p::kHandshakeReply.end()));

    // A release without touching the flash returns to normal mode.
    CameraModel& fresh = ports_.AttachCamera(4, [] {
        CameraSetup s;
        s.mode = CameraMode::Update;
        return s;
    }());
    WireHost other(ports_, 4);
    other.SendFrame(p::kCmdReleaseCamera);
    EXPECT_EQ(other.ReadAnswer(), p::kAck);
    EXPECT_EQ(other.ReadAnswer(), p::kDone);
    EXPECT_EQ(fresh.Mode(), CameraMode::Normal);
}

TEST_F(CameraModelTest, SwitchedOffAndOnTheCameraKeepsItsFlashAndWaitsAtTheStartRate) {
    CameraModel& camera = AttachInUpdateMode();
    EXPECT_EQ(Simple(p::kCmdPrepareArea, 1), p::kDone);
    WriteBlock(0, Pattern(0));
    host_->SendFrame(p::kCmdChangeRate, 0x3840);
    EXPECT_EQ(host_->ReadByte(), p::kAck);
    host_->SetBaud(38400);
    host_->Wait(200);
    ASSERT_EQ(camera.RateIndex(), 3);
    const CameraModel::Block written = camera.FlashBlock(0);

    // Cut off in the middle of the transfer, then switched off and on.
    camera.PowerCycle(clock_.NowUs());
    EXPECT_EQ(camera.PowerCycles(), 1);
    EXPECT_EQ(camera.RateIndex(), 1);
    EXPECT_EQ(camera.Mode(), CameraMode::Update);
    EXPECT_EQ(camera.FlashBlock(0), written);
    host_->SetBaud(9600);
    host_->Send(Bytes(p::kHandshakeRequest.begin(), p::kHandshakeRequest.end()));
    EXPECT_EQ(host_->Read(12, 2000), Bytes(p::kHandshakeReply.begin(), p::kHandshakeReply.end()));

    // A camera whose flash was never touched comes up normal.
    CameraModel& untouched = ports_.AttachCamera(4, [] {
        CameraSetup s;
        s.mode = CameraMode::Update;
        return s;
    }());
    untouched.PowerCycle(clock_.NowUs());
    EXPECT_EQ(untouched.Mode(), CameraMode::Normal);
}

TEST_F(CameraModelTest, PartialFrameIsDroppedAfterAPauseAndJunkIsSkipped) {
    CameraModel& camera = Attach();
    const Bytes frame = WireHost::Frame(p::kCmdQueryStatus);
    host_->Send(Bytes(frame.begin(), frame.begin() + 5));
    host_->Wait(150);
    host_->Send(Bytes(frame.begin() + 5, frame.end()));
    EXPECT_TRUE(host_->Read(1, 500).empty());
    EXPECT_TRUE(camera.Frames().empty());

    Bytes junk = {0x33, 0x1A, 0x00};
    junk.insert(junk.end(), frame.begin(), frame.end());
    host_->Send(junk);
    EXPECT_EQ(host_->ReadByte(), p::kAck);
    EXPECT_EQ(camera.Frames().size(), 1u);
}

TEST_F(CameraModelTest, AbandonedExchangeLetsTheNextFrameThrough) {
    Attach();
    host_->SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host_->Read(2 + p::kPacketSize).size(), size_t{2 + p::kPacketSize});
    // No D2: the host gives up and sends the next frame.
    host_->Wait(100);
    host_->SendFrame(p::kCmdEnterUpdateMode);
    EXPECT_EQ(host_->ReadAnswer(), p::kAck);
    EXPECT_EQ(host_->ReadAnswer(), p::kDone);
}

}  // namespace
}  // namespace rm525::sim
