#include <random>

#include <gtest/gtest.h>

#include "tests/link/camera_fixture.h"

namespace rm525 {
namespace {

using sim::CameraMode;
using sim::FaultKind;
using testing::CameraFixture;
using testing::RandomBody;

struct Report {
    int phase, percent;
    bool operator==(const Report&) const = default;
};

class TransferTest : public CameraFixture {
protected:
    void SetUp() override {
        camera = &Camera(1);
        ConnectOn(1);
        ASSERT_EQ(link.GetErrorNumber(), 0);
    }
    // Runs a transfer; the callback stops it at `stopPhase` (-1: never), at
    // the `stopAt`-th call of that phase.
    void Transfer(const std::vector<uint8_t>& body, int stopPhase = -1, int stopAt = 1) {
        int seen = 0;
        link.TransferFirmware(body.data(), [&](int phase, int percent, int reserved) {
            EXPECT_EQ(reserved, 0);
            reports.push_back({phase, percent});
            return phase == stopPhase && ++seen == stopAt ? 0 : 1;
        });
    }
    void AddFault(FaultKind kind, uint8_t command, std::optional<uint16_t> param1 = {}) {
        sim::FaultRule rule;
        rule.kind = kind;
        rule.command = command;
        rule.param1 = param1;
        rule.count = 100;
        camera->AddFault(rule);
    }
    bool FlashEquals(const std::vector<uint8_t>& body) const { return camera->Flash() == body; }
    int Phase1Count() const {
        int n = 0;
        for (const auto& r : reports)
            n += r.phase == 1;
        return n;
    }

    sim::CameraModel* camera = nullptr;
    std::vector<Report> reports;
};

TEST_F(TransferTest, AWholeBodyReachesTheFlashAndBothCheckValuesAreAccepted) {
    const auto body = RandomBody(7);
    Transfer(body);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_TRUE(FlashEquals(body));
    EXPECT_TRUE(camera->Verified());
    EXPECT_EQ(camera->Mode(), CameraMode::Normal);
    EXPECT_EQ(camera->RateIndex(), 1);
    EXPECT_FALSE(ports.AnyPortOpen());
    EXPECT_EQ(reports.size(), 2050u);
    EXPECT_EQ(reports.back(), (Report{2, 100}));
}

TEST_F(TransferTest, ProgressCountsBlocksInWholePercents) {
    Transfer(RandomBody(1));
    ASSERT_EQ(reports.size(), 2050u);
    EXPECT_EQ(reports[0], (Report{0, 0}));
    for (int n = 0; n < 2048; ++n) {
        ASSERT_EQ(reports[size_t(n) + 1], (Report{1, (n + 1) * 100 / 2048})) << n;
    }
    EXPECT_EQ(reports[20].percent, 0);  // the twentieth block still shows 0
    EXPECT_EQ(reports[21].percent, 1);  // block 21 reaches 1 %
    EXPECT_EQ(reports[2047].percent, 99);
    EXPECT_EQ(reports[2048].percent, 100);
    EXPECT_EQ(reports[2049], (Report{2, 100}));
}

TEST_F(TransferTest, CheckValuesTravelLowByteFirst) {
    std::vector<uint8_t> body(protocol::kBodySize, 0);
    body[0] = 0x34;
    body[1] = 0x12;
    link.TransferFirmware(body.data(), nullptr);  // no callback: only the error number tells
    ASSERT_EQ(link.GetErrorNumber(), 0);
    const auto values = FramesOf(*camera, protocol::kCmdSetValue);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].bytes, (std::array<uint8_t, 8>{0x21, 0, 0, 19, 0x34, 0x12, 0, 0x1A}));
    EXPECT_EQ(values[1].bytes, (std::array<uint8_t, 8>{0x21, 0, 0, 18, 0, 0, 0, 0x1A}));
    EXPECT_EQ(camera->ReceivedValue(19), camera->ExpectedValue(19));
    // The check values go at 9600 bit/s, after the line came back down.
    const auto rates = FramesOf(*camera, protocol::kCmdChangeRate);
    ASSERT_GE(rates.size(), 2u);
    EXPECT_LT(rates.back().timeUs, values[0].timeUs);
    EXPECT_EQ(rates.back().Param1(), 0x9600);
}

TEST_F(TransferTest, AFailedPreparationSendsNoBlock) {
    AddFault(FaultKind::FailCompletion, protocol::kCmdPrepareArea, 1);
    Transfer(RandomBody(2));
    EXPECT_EQ(link.GetErrorNumber(), error_number::kCommunication);
    EXPECT_EQ(reports, (std::vector<Report>{{0, 0}, {3, 0}}));
    EXPECT_TRUE(FramesOf(*camera, protocol::kCmdWriteBlock).empty());
    EXPECT_FALSE(ports.AnyPortOpen());
}

TEST_F(TransferTest, Block1000FailingStopsAt48Percent) {
    AddFault(FaultKind::Refuse, protocol::kCmdWriteBlock, 999);
    Transfer(RandomBody(3));
    EXPECT_EQ(link.GetErrorNumber(), error_number::kCommunication);
    ASSERT_EQ(Phase1Count(), 1000);
    EXPECT_EQ(reports[reports.size() - 2], (Report{1, 48}));
    EXPECT_EQ(reports.back(), (Report{3, 48}));
    EXPECT_EQ(FramesOf(*camera, protocol::kCmdWriteBlock).size(), 1000u);  // none after it
    EXPECT_TRUE(FramesOf(*camera, protocol::kCmdSetValue).empty());
    EXPECT_FALSE(ports.AnyPortOpen());
}

// A transfer on a camera of its own, stopped by the callback at the
// `stopAt`-th call of `stopPhase`, optionally with one fault on the camera.
struct StoppedRun {
    int16_t error = 0;
    std::vector<Report> reports;
    size_t blocksSent = 0;
    size_t valuesSent = 0;
    bool verified = false;
    bool portLeftOpen = true;
};

StoppedRun RunStopped(int stopPhase, int stopAt, std::optional<sim::FaultRule> fault = {}) {
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports(clock);
    sim::CameraModel& camera = ports.AttachCamera(1);
    CameraLink link(ports, clock);
    CameraStatusRecord status{};
    char id[33] = {};
    CameraIdentityRecord identity{};
    identity.idText = id;
    int32_t already = -1;
    link.Connect(1, 3, &status, &identity, &already);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    if (fault)
        camera.AddFault(*fault);
    StoppedRun run;
    int seen = 0;
    link.TransferFirmware(RandomBody(4).data(), [&](int phase, int percent, int) {
        run.reports.push_back({phase, percent});
        return phase == stopPhase && ++seen == stopAt ? 0 : 1;
    });
    run.error = link.GetErrorNumber();
    for (const auto& f : camera.Frames()) {
        run.blocksSent += f.Command() == protocol::kCmdWriteBlock;
        run.valuesSent += f.Command() == protocol::kCmdSetValue;
    }
    run.verified = camera.Verified();
    run.portLeftOpen = ports.AnyPortOpen();
    return run;
}

sim::FaultRule FailingCompletion(uint8_t command, uint16_t param1) {
    sim::FaultRule rule;
    rule.kind = FaultKind::FailCompletion;
    rule.command = command;
    rule.param1 = param1;
    return rule;
}

TEST(TransferStop, TheCallbackCanStopAtEveryPhase) {
    // Phase 0: nothing reaches the camera and there is no failure report.
    StoppedRun run = RunStopped(0, 1);
    EXPECT_EQ(run.error, error_number::kCancelled);
    EXPECT_EQ(run.reports, (std::vector<Report>{{0, 0}}));
    EXPECT_EQ(run.blocksSent, 0u);
    EXPECT_FALSE(run.portLeftOpen);

    // Phase 1, at the first block and at the last: no block after it, no
    // check values, and the failure report with the percent reached.
    for (int stopAt : {1, 2048}) {
        run = RunStopped(1, stopAt);
        EXPECT_EQ(run.error, error_number::kCancelled) << stopAt;
        EXPECT_EQ(run.blocksSent, size_t(stopAt));
        EXPECT_EQ(run.valuesSent, 0u) << stopAt;
        EXPECT_EQ(run.reports.back(), (Report{3, stopAt * 100 / 2048})) << stopAt;
        EXPECT_FALSE(run.portLeftOpen);
    }

    // Phase 2 and phase 3: see below; both end as a cancel too.
    run = RunStopped(2, 1);
    EXPECT_EQ(run.error, error_number::kCancelled);
    EXPECT_EQ(run.reports.back(), (Report{2, 100}));
    EXPECT_FALSE(run.portLeftOpen);
    run = RunStopped(3, 1, FailingCompletion(protocol::kCmdPrepareArea, 2));
    EXPECT_EQ(run.error, error_number::kCancelled);
    EXPECT_EQ(run.reports, (std::vector<Report>{{0, 0}, {3, 0}}));
    EXPECT_FALSE(run.portLeftOpen);
}

TEST_F(TransferTest, StoppingAfterABlockReportsTheFailure) {
    Transfer(RandomBody(5), 1, 300);
    EXPECT_EQ(link.GetErrorNumber(), error_number::kCancelled);
    EXPECT_EQ(Phase1Count(), 300);
    EXPECT_EQ(reports.back(), (Report{3, 300 * 100 / 2048}));
    EXPECT_EQ(FramesOf(*camera, protocol::kCmdWriteBlock).size(), 300u);
    EXPECT_FALSE(ports.AnyPortOpen());
}

TEST(TransferStop, StoppingAtTheEndOrAtTheFailureReportIsACancel) {
    // At the end: the camera itself has finished, yet the run is cancelled.
    StoppedRun run = RunStopped(2, 1);
    EXPECT_EQ(run.error, error_number::kCancelled);
    EXPECT_TRUE(run.verified);
    EXPECT_EQ(run.valuesSent, 2u);
    EXPECT_FALSE(run.portLeftOpen);

    // At the failure report: the 0 replaces the failure's own status, which
    // without it gives -1006. Block 10 fails; the report carries its percent.
    const sim::FaultRule block10 = FailingCompletion(protocol::kCmdWriteBlock, 9);
    run = RunStopped(-1, 1, block10);
    EXPECT_EQ(run.error, error_number::kCommunication);
    run = RunStopped(3, 1, block10);
    EXPECT_EQ(run.error, error_number::kCancelled);
    EXPECT_EQ(run.blocksSent, 10u);
    EXPECT_EQ(run.reports.back(), (Report{3, 10 * 100 / 2048}));
    EXPECT_EQ(run.reports.size(), 12u);  // phase 0, ten blocks, the failure report
    EXPECT_FALSE(run.portLeftOpen);
}

TEST_F(TransferTest, ARejectedCheckValueFailsTheTransfer) {
    for (uint16_t value : {19, 18}) {
        sim::VirtualClock clock2;
        sim::SimulatedPortFactory ports2(clock2);
        sim::CameraModel& cam = ports2.AttachCamera(1);
        CameraLink link2(ports2, clock2);
        identity.idText = idText;
        link2.Connect(1, 3, &status, &identity, &already);
        ASSERT_EQ(link2.GetErrorNumber(), 0);
        sim::FaultRule rule;
        rule.kind = FaultKind::FailCompletion;
        rule.command = protocol::kCmdSetValue;
        rule.param1 = value;
        cam.AddFault(rule);
        std::vector<Report> seen;
        link2.TransferFirmware(RandomBody(8).data(), [&](int phase, int percent, int) {
            seen.push_back({phase, percent});
            return 1;
        });
        EXPECT_EQ(link2.GetErrorNumber(), error_number::kCommunication) << value;
        EXPECT_EQ(seen.back(), (Report{3, 100})) << value;
        EXPECT_FALSE(ports2.AnyPortOpen());
        EXPECT_FALSE(cam.Verified());
    }
}

TEST_F(TransferTest, ARefusedReturnTo9600AloneIsLetPass) {
    AddFault(FaultKind::Refuse, protocol::kCmdChangeRate, 0x9600);
    const auto body = RandomBody(9);
    Transfer(body);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_TRUE(FlashEquals(body));
    EXPECT_TRUE(camera->Verified());
}

TEST_F(TransferTest, TheRetryProcedureFinishesAnInterruptedUpdate) {
    std::mt19937 rng(20261208);
    const int cut = int(rng() % 2048);
    AddFault(FaultKind::Silence, protocol::kCmdWriteBlock, uint16_t(cut));
    const auto body = RandomBody(10);
    Transfer(body);
    ASSERT_NE(link.GetErrorNumber(), 0);
    EXPECT_FALSE(ports.AnyPortOpen());
    EXPECT_TRUE(camera->NeedsFirmware());

    PowerCycle(*camera, clock);
    CameraLink retry(ports, clock);
    identity.idText = idText;
    retry.Connect(1, 3, &status, &identity, &already);
    ASSERT_EQ(retry.GetErrorNumber(), 0) << "cut at block " << cut;
    EXPECT_EQ(already, 1);  // the camera waits in update mode
    retry.TransferFirmware(body.data(), nullptr);
    EXPECT_EQ(retry.GetErrorNumber(), 0);
    EXPECT_TRUE(FlashEquals(body));
    EXPECT_TRUE(camera->Verified());
    EXPECT_EQ(camera->Mode(), CameraMode::Normal);
}

}  // namespace
}  // namespace rm525
