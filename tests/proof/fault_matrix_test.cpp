// Every fault the simulated camera can show, at every stage of an update:
// Connect (status and identity reads, entering update mode, the rate change),
// the memory check, both preparations, the first, a middle and the last block,
// the return to 9600 bit/s, both check values and the release. Each case
// checks the outcome, that the port ends closed, the failure report, that
// success is claimed only for a flash that holds the body and whose check
// values the camera accepted, and that the retry procedure then finishes the
// update.
#include <cctype>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/camera_link.h"
#include "link/link_status.h"
#include "link/protocol.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/link/camera_fixture.h"
#include "tests/proof/line_reset_port.h"

namespace rm525 {
namespace {

namespace p = protocol;
using sim::FaultKind;
using sim::FaultRule;
using sim::FaultStage;

constexpr int kPort = 1;
constexpr int kUpdateRate = 3;
constexpr int kMemoryError = -1;
constexpr int kSuits = 1;

enum class Where { Connect, Memory, Transfer };

struct Stage {
    const char* name;
    Where where;
    FrameMatch frame;
};

// In the order an update meets them; the outcome strings below follow it.
const Stage kStages[] = {
    {"status read", Where::Connect, {p::kCmdQueryStatus, {}, 1}},
    {"identity read", Where::Connect, {p::kCmdQueryStatus, {}, 2}},
    {"enter update mode", Where::Connect, {p::kCmdEnterUpdateMode, {}, 1}},
    {"rate to 38400", Where::Connect, {p::kCmdChangeRate, 0x3840, 1}},
    {"memory check", Where::Memory, {p::kCmdReadWords, {}, 1}},
    {"prepare area 1", Where::Transfer, {p::kCmdPrepareArea, 1, 1}},
    {"prepare area 2", Where::Transfer, {p::kCmdPrepareArea, 2, 1}},
    {"block 0", Where::Transfer, {p::kCmdWriteBlock, 0, 1}},
    {"block 1000", Where::Transfer, {p::kCmdWriteBlock, 1000, 1}},
    {"block 2047", Where::Transfer, {p::kCmdWriteBlock, 2047, 1}},
    {"rate back to 9600", Where::Transfer, {p::kCmdChangeRate, 0x9600, 1}},
    {"check value A (19)", Where::Transfer, {p::kCmdSetValue, 19, 1}},
    {"check value B (18)", Where::Transfer, {p::kCmdSetValue, 18, 1}},
    {"release", Where::Transfer, {p::kCmdReleaseCamera, {}, 1}},
};
constexpr size_t kStageCount = std::size(kStages);

// What a fault at a stage leads to, one letter per stage in kStages order:
//   o  the update succeeds: the fault is within what the link retries, or the
//      re-synchronisation of a connection read (fresh probes, then a line
//      break) gets contact back
//   x  it fails: Connect and the transfer with -1006, the memory check with -1
//   r  Connect fails with -1002: the camera did not take the new rate
//   -  the fault has nothing to act on there; not run
struct Fault {
    const char* name;
    FaultKind kind;
    int count;
    int keepAlives;
    FaultStage keepAliveStage;
    bool untilBreak;
    bool lineReset;  // instead of a rule: the camera falls back to 9600 bit/s
    const char* outcomes;
};

// clang-format off
const Fault kFaults[] = {
    // name                   kind                       count  F0  stage               break  reset  outcomes
    {"one busy answer",       FaultKind::Busy,           1,     0,  FaultStage::Answer, false, false, "oooooooooooooo"},
    {"busy three times",      FaultKind::Busy,           3,     0,  FaultStage::Answer, false, false, "xxxrxxxxxxoxxx"},
    {"refused (E1)",          FaultKind::Refuse,         1,     0,  FaultStage::Answer, false, false, "ooxrxxxxxxoxxx"},
    {"F0 run before answer",  FaultKind::KeepAlives,     1,     25, FaultStage::Answer, false, false, "oooooooooooooo"},
    {"F0 run before start",   FaultKind::KeepAlives,     1,     25, FaultStage::Start,  false, false, "oo------------"},
    {"F0 run before done",    FaultKind::KeepAlives,     1,     25, FaultStage::Completion, false, false, "ooo-oooooo-ooo"},
    {"4 bad check bytes",     FaultKind::BadCheckByte,   4,     0,  FaultStage::Answer, false, false, "oo--o---------"},
    {"5 bad check bytes",     FaultKind::BadCheckByte,   5,     0,  FaultStage::Answer, false, false, "oo--x---------"},
    {"4 line errors",         FaultKind::LineError,      4,     0,  FaultStage::Answer, false, false, "oo--o---------"},
    {"5 line errors",         FaultKind::LineError,      5,     0,  FaultStage::Answer, false, false, "oo--x---------"},
    {"4 packets refused (E3)", FaultKind::RejectPacket,  4,     0,  FaultStage::Answer, false, false, "-------ooo----"},
    {"5 packets refused (E3)", FaultKind::RejectPacket,  5,     0,  FaultStage::Answer, false, false, "-------xxx----"},
    {"no packet (E2)",        FaultKind::NoPacket,       1,     0,  FaultStage::Answer, false, false, "oo--x---------"},
    {"completion 05",         FaultKind::FailCompletion, 1,     0,  FaultStage::Answer, false, false, "oox-xxxxxx-xxx"},
    {"silence",               FaultKind::Silence,        1,     0,  FaultStage::Answer, false, false, "xxxrxxxxxxxxxx"},
    {"silence until a break", FaultKind::Silence,        1,     0,  FaultStage::Answer, true,  false, "ooxrxxxxxxxxxx"},
    {"camera back at 9600",   FaultKind::Silence,        1,     0,  FaultStage::Answer, false, true,  "----xxxxxxx---"},
};
// clang-format on

struct Case {
    const Fault* fault;
    const Stage* stage;
    char outcome;
};

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (const Fault& f : kFaults) {
        EXPECT_EQ(std::strlen(f.outcomes), kStageCount) << f.name;
        for (size_t s = 0; s < kStageCount && f.outcomes[s] != '\0'; ++s) {
            if (f.outcomes[s] != '-')
                cases.push_back({&f, &kStages[s], f.outcomes[s]});
        }
    }
    return cases;
}

class FaultMatrixTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        camera = &ports.AttachCamera(kPort, sim::Rm525Setup());
        ports.MutableRecord(kPort).logging = false;  // a whole update is half a million bytes
        identity.idText = idText;
    }

    void Arm(const Case& c) {
        if (c.fault->lineReset) {
            resets.Arm(c.stage->frame, [this] { camera->LineBreak(clock.NowUs(), clock.NowUs()); });
            return;
        }
        FaultRule rule;
        rule.kind = c.fault->kind;
        rule.command = c.stage->frame.command;
        rule.param1 = c.stage->frame.param1;
        rule.occurrence = c.stage->frame.occurrence;
        rule.count = c.fault->count;
        rule.keepAlives = c.fault->keepAlives;
        rule.stage = c.fault->keepAliveStage;
        rule.untilBreak = c.fault->untilBreak;
        camera->AddFault(rule);
    }

    // Runs the update as the workflow does; returns the error number of the
    // step that ended it (the memory check's result when that ended it).
    void Update(CameraLink& link) {
        link.Connect(kPort, kUpdateRate, &status, &identity, &already);
        connectError = link.GetErrorNumber();
        if (connectError != 0)
            return;
        memory = link.CheckCameraMemory(p::kModelRm525);
        if (memory != kSuits)
            return;
        reports.clear();
        link.TransferFirmware(body.data(), [this](int phase, int percent, int) {
            reports.push_back({phase, percent});
            return 1;
        });
        transferError = link.GetErrorNumber();
    }

    // Frames of this command (and parameter) that the camera understood.
    int Sent(const FrameMatch& m) const {
        int n = 0;
        for (const auto& f : camera->Frames())
            n += f.Command() == m.command && (!m.param1 || *m.param1 == f.Param1());
        return n;
    }

    bool Installed() const { return camera->Flash() == body && camera->Verified(); }

    // The retry procedure: the camera is switched off and on, then a new run.
    void Retry() {
        camera->ClearFaults();
        camera->SetSilent(false);
        camera->LineBreak(clock.NowUs(), clock.NowUs() + 1000);  // back at 9600 bit/s
        clock.Advance(2000);
        resets.Disarm();
        CameraLink again(factory, clock);
        connectError = memory = transferError = 99;
        Update(again);
        EXPECT_EQ(connectError, 0) << "retry: connect";
        EXPECT_EQ(memory, kSuits) << "retry: memory check";
        EXPECT_EQ(transferError, 0) << "retry: transfer";
        EXPECT_TRUE(Installed()) << "retry: flash or check values";
        EXPECT_FALSE(ports.AnyPortOpen());
    }

    sim::VirtualClock clock{5000};
    sim::SimulatedPortFactory ports{clock};
    LineResetFactory factory{ports};
    LineResetTrigger& resets = factory.trigger();
    sim::CameraModel* camera = nullptr;
    const std::vector<uint8_t> body = testing::RandomBody(0x525);

    CameraStatusRecord status{};
    char idText[33] = {};
    CameraIdentityRecord identity{};
    int32_t already = -1;
    std::vector<std::pair<int, int>> reports;
    int connectError = 99, memory = 99, transferError = 99;
};

TEST_P(FaultMatrixTest, OutcomePortAndRetry) {
    const Case& c = GetParam();
    Arm(c);
    CameraLink link(factory, clock);
    Update(link);
    const bool fails = c.outcome != 'o';

    switch (c.stage->where) {
        case Where::Connect:
            if (fails) {
                EXPECT_EQ(connectError, c.outcome == 'r' ? error_number::kNotUsable
                                                         : error_number::kCommunication);
                EXPECT_FALSE(ports.AnyPortOpen()) << "a failed Connect leaves no port open";
                Retry();
                return;
            }
            break;
        case Where::Memory:
            if (fails) {
                ASSERT_EQ(connectError, 0);
                EXPECT_EQ(memory, kMemoryError);
                EXPECT_TRUE(ports.AnyPortOpen());  // the caller gives up with CloseConnection
                link.CloseConnection();
                EXPECT_FALSE(ports.AnyPortOpen());
                Retry();
                return;
            }
            break;
        case Where::Transfer:
            if (fails) {
                ASSERT_EQ(connectError, 0);
                ASSERT_EQ(memory, kSuits);
                EXPECT_EQ(transferError, error_number::kCommunication);
                EXPECT_FALSE(ports.AnyPortOpen()) << "the transfer closes the port";
                ASSERT_FALSE(reports.empty());
                EXPECT_EQ(reports.back().first, 3) << "failure report";
                Retry();
                return;
            }
            break;
    }
    if (c.fault->kind == FaultKind::Busy && !c.fault->lineReset) {
        EXPECT_GT(Sent(c.stage->frame), c.stage->frame.occurrence)
            << "the busy frame was sent again";
    }
    // Success: only with the body in the flash and both check values accepted.
    EXPECT_EQ(connectError, 0);
    EXPECT_EQ(memory, kSuits);
    EXPECT_EQ(transferError, 0);
    EXPECT_TRUE(Installed());
    EXPECT_FALSE(ports.AnyPortOpen());
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), (std::pair<int, int>{2, 100}));
}

// A camera that an earlier, broken-off run left in update mode at 38400 bit/s
// hears nothing of the host at 9600: the status read fails, the line break of
// the re-synchronisation brings the camera back to 9600, and the update goes
// through.
TEST_F(FaultMatrixTest, ACameraLeftAt38400IsBroughtBackByTheLineBreak) {
    camera->SetMode(sim::CameraMode::Update);
    const uint8_t toFast[] = {p::kCmdChangeRate, 0, 0x38, 0x40, 0, 0, 0, p::kFrameEnd};
    uint64_t t = clock.NowUs();
    for (uint8_t b : toFast)
        camera->Receive(t += 1042, b, 9600);
    clock.AdvanceToUs(t + 10000);
    camera->DropOutputUntil(clock.NowUs());
    ASSERT_EQ(camera->RateIndex(), kUpdateRate);

    CameraLink link(factory, clock);
    Update(link);
    EXPECT_EQ(connectError, 0);
    EXPECT_EQ(camera->BreakCount(), 1);
    EXPECT_EQ(already, 0);  // the handshake went unheard, so the camera was read first
    EXPECT_EQ(transferError, 0);
    EXPECT_TRUE(Installed());
    EXPECT_FALSE(ports.AnyPortOpen());
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = std::string(info.param.fault->name) + "_at_" + info.param.stage->name;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryFaultAtEveryStage, FaultMatrixTest, ::testing::ValuesIn(AllCases()),
                         CaseName);

}  // namespace
}  // namespace rm525
