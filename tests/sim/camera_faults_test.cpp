// Injected faults fire on the frame they name, as often as they say, and in
// the form the link has to cope with.
#include <gtest/gtest.h>

#include "sim/camera_model.h"
#include "sim/fault.h"
#include "sim/line.h"
#include "sim/simulated_port.h"
#include "tests/sim/wire_host.h"

namespace rm525::sim {
namespace {

namespace p = protocol;
using testing::WireHost;
using Bytes = std::vector<uint8_t>;

class CameraFaultsTest : public ::testing::Test {
protected:
    CameraModel& Attach(std::initializer_list<const char*> specs) {
        CameraSetup s;
        s.mode = CameraMode::Update;
        camera_ = &ports_.AttachCamera(1, s);
        for (const char* spec : specs) {
            std::string error;
            auto rule = ParseFaultSpec(spec, &error);
            EXPECT_TRUE(rule) << spec << ": " << error;
            if (rule)
                camera_->AddFault(*rule);
        }
        host_ = std::make_unique<WireHost>(ports_, 1);
        return *camera_;
    }
    // Sends a write of block n and returns every camera byte up to the end
    // of the exchange (a completion byte, a refusal, or silence).
    Bytes WriteBlock(int n) {
        Bytes seen;
        host_->SendFrame(p::kCmdWriteBlock, static_cast<uint16_t>(n));
        uint8_t b = host_->ReadAnswer();
        seen.push_back(b);
        if (b != p::kAck)
            return seen;
        Bytes data(p::kBlockSize, static_cast<uint8_t>(n));
        for (int attempt = 0; attempt < 5; ++attempt) {
            host_->SendPacket(data);
            b = host_->ReadAnswer();
            seen.push_back(b);
            if (b != p::kPacketBad)
                break;
        }
        if (b == p::kPacketOk)
            seen.push_back(host_->ReadAnswer());
        host_->Wait(100);
        return seen;
    }

    VirtualClock clock_;
    SimulatedPortFactory ports_{clock_};
    CameraModel* camera_ = nullptr;
    std::unique_ptr<WireHost> host_;
};

const Bytes kGoodWrite = {p::kAck, p::kPacketOk, p::kDone};

TEST(FaultSpecTest, ParsesTheCompactForm) {
    std::string error;
    auto r = ParseFaultSpec("busy@0x1D:1000x2", &error);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->kind, FaultKind::Busy);
    EXPECT_EQ(r->command, 0x1D);
    EXPECT_EQ(r->param1, 1000);
    EXPECT_EQ(r->count, 2);
    EXPECT_EQ(r->occurrence, 1);

    r = ParseFaultSpec("storm-done@30:1#2=40", &error);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->kind, FaultKind::KeepAlives);
    EXPECT_EQ(r->stage, FaultStage::Completion);
    EXPECT_EQ(r->keepAlives, 40);
    EXPECT_EQ(r->occurrence, 2);
    EXPECT_EQ(r->keepAliveGapMs, 0u);
    r = ParseFaultSpec("storm-done@0x1D:10=50/100", &error);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->keepAlives, 50);
    EXPECT_EQ(r->keepAliveGapMs, 100u);

    r = ParseFaultSpec("fail@0x21:19=0x07", &error);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->completionByte, 0x07);
    r = ParseFaultSpec("silence-until-break@0x7F", &error);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->untilBreak);
    r = ParseFaultSpec("line-error@0x22x3", &error);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->kind, FaultKind::LineError);
    EXPECT_EQ(r->count, 3);
    EXPECT_EQ(r->errorByte, 256);  // the check byte
    r = ParseFaultSpec("line-error@0x7F=0", &error);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->errorByte, 0);

    for (const char* bad :
         {"busy", "nope@0x1D", "busy@", "busy@0x1D:", "storm@0x7F", "fail@0x21=0", "busy@0x1D=3",
          "busy@0x1Dq", "busy@0x100", "line-error@0x7F=257", "storm@0x1D=5/"}) {
        EXPECT_FALSE(ParseFaultSpec(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(CameraFaultsTest, BusyAndRefusalHitOnlyTheNamedBlockAndOccurrence) {
    CameraModel& camera = Attach({"busy@0x1D:3x2", "refuse@0x1D:4#2"});
    EXPECT_EQ(WriteBlock(1), kGoodWrite);
    EXPECT_EQ(WriteBlock(2), kGoodWrite);
    EXPECT_EQ(WriteBlock(3), Bytes{p::kBusy});
    EXPECT_EQ(WriteBlock(3), Bytes{p::kBusy});  // second of two
    EXPECT_EQ(WriteBlock(3), kGoodWrite);
    EXPECT_EQ(WriteBlock(4), kGoodWrite);
    EXPECT_EQ(WriteBlock(4), Bytes{p::kNak});  // the second frame for block 4
    EXPECT_EQ(WriteBlock(4), kGoodWrite);
    EXPECT_EQ(camera.BlocksWritten(), 5);
}

TEST_F(CameraFaultsTest, KeepAliveStormsComeBeforeTheirByte) {
    Attach({"storm@0x7F=5", "storm-start@0x7F=3", "storm-done@0x7F=4"});
    host_->SendFrame(p::kCmdQueryStatus);
    Bytes head = host_->Read(10);
    EXPECT_EQ(head,
              (Bytes{0xF0, 0xF0, 0xF0, 0xF0, 0xF0, p::kAck, 0xF0, 0xF0, 0xF0, p::kStartOfData}));
    host_->Read(p::kPacketSize);
    host_->SendByte(p::kPacketOk);
    EXPECT_EQ(host_->Read(5), (Bytes{0xF0, 0xF0, 0xF0, 0xF0, p::kDone}));
}

TEST_F(CameraFaultsTest, BadCheckBytesAndMissingPackets) {
    Attach({"badcheck@0x7Fx2", "no-packet@0x22"});
    host_->SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host_->Read(2), (Bytes{p::kAck, p::kStartOfData}));
    for (int i = 0; i < 3; ++i) {
        const Bytes packet = host_->Read(p::kPacketSize);
        ASSERT_EQ(packet.size(), size_t{p::kPacketSize});
        const bool good = packet[256] == p::XorCheck(packet.data(), 256);
        EXPECT_EQ(good, i == 2) << "packet " << i;
        host_->SendByte(good ? p::kPacketOk : p::kPacketBad);
    }
    EXPECT_EQ(host_->ReadAnswer(), p::kDone);

    host_->Wait(100);
    host_->SendFrame(p::kCmdReadWords, 0, 255);
    EXPECT_EQ(host_->Read(3, 1000), (Bytes{p::kAck, p::kNoPacket}));
}

// The damaged byte ends the host's read just before it with a framing error,
// as a serial driver with abort-on-error does; the port stays refused until
// the error is read. The packet sent again arrives whole.
TEST_F(CameraFaultsTest, ALineErrorEndsTheReadAtTheDamagedByte) {
    Attach({"line-error@0x7F=100"});
    host_->SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host_->Read(2), (Bytes{p::kAck, p::kStartOfData}));
    uint8_t buffer[p::kPacketSize];
    uint32_t moved = 0;
    EXPECT_FALSE(host_->Port().Read(buffer, p::kPacketSize, &moved));
    EXPECT_EQ(moved, 100u);
    EXPECT_FALSE(host_->Port().Read(buffer, 1, &moved));
    ErrorState state;
    ASSERT_TRUE(host_->Port().ClearError(&state));
    EXPECT_EQ(state.errors, line::kFramingError);
    const Bytes rest = host_->Read(p::kPacketSize);
    ASSERT_EQ(rest.size(), size_t{p::kPacketSize - 100});
    EXPECT_NE(rest[0], camera_->StatusBlock()[100]);  // garbled
    EXPECT_EQ(rest[1], camera_->StatusBlock()[101]);

    host_->SendByte(p::kPacketBad);
    const Bytes again = host_->Read(p::kPacketSize);
    ASSERT_EQ(again.size(), size_t{p::kPacketSize});
    EXPECT_TRUE(std::equal(again.begin(), again.end() - 1, camera_->StatusBlock().begin()));
    EXPECT_EQ(again.back(), p::XorCheck(again.data(), p::kPacketData));
    host_->SendByte(p::kPacketOk);
    EXPECT_EQ(host_->ReadAnswer(), p::kDone);
}

TEST_F(CameraFaultsTest, RejectedPacketsAndFailedCompletions) {
    CameraModel& camera = Attach({"nak-packet@0x1D:7x5", "fail@0x1D:8=0x09", "fail@0x8D"});
    EXPECT_EQ(WriteBlock(7), (Bytes{p::kAck, 0xE3, 0xE3, 0xE3, 0xE3, 0xE3}));
    EXPECT_FALSE(camera.BlockWritten(7));
    EXPECT_EQ(WriteBlock(7), kGoodWrite);  // the five are used up
    EXPECT_EQ(WriteBlock(8), (Bytes{p::kAck, p::kPacketOk, 0x09}));
    EXPECT_FALSE(camera.BlockWritten(8));

    camera.SetMode(CameraMode::Normal);
    host_->SendFrame(p::kCmdEnterUpdateMode);
    EXPECT_EQ(host_->ReadAnswer(), p::kAck);
    EXPECT_EQ(host_->ReadAnswer(), 0x05);
    EXPECT_EQ(camera.Mode(), CameraMode::Normal);
}

TEST_F(CameraFaultsTest, SilenceLastsUntilABreakWhenAskedTo) {
    CameraModel& camera = Attach({"silence-until-break@0x1D:2"});
    EXPECT_EQ(WriteBlock(1), kGoodWrite);
    EXPECT_EQ(WriteBlock(2), Bytes{0xEE});  // nothing came
    EXPECT_EQ(WriteBlock(3), Bytes{0xEE});
    EXPECT_TRUE(camera.Silent());
    host_->Port().SetBreak();
    host_->Wait(350);
    host_->Port().ClearBreak();
    EXPECT_FALSE(camera.Silent());
    EXPECT_EQ(WriteBlock(3), kGoodWrite);

    camera.AddFault(*ParseFaultSpec("silence@0x7F", nullptr));
    host_->SendFrame(p::kCmdQueryStatus);
    EXPECT_EQ(host_->ReadByte(), 0xEE);
    host_->Port().SetBreak();
    host_->Wait(350);
    host_->Port().ClearBreak();
    EXPECT_EQ(WriteBlock(4), Bytes{0xEE});  // plain silence survives a break
}

}  // namespace
}  // namespace rm525::sim
