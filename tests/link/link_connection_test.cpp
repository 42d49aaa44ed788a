#include <gtest/gtest.h>

#include "tests/link/camera_fixture.h"

namespace rm525 {
namespace {

using sim::CameraMode;
using testing::CameraFixture;

class ConnectionTest : public CameraFixture {};

TEST_F(ConnectionTest, AutoStopsAtTheFirstPortWithACamera) {
    ports.AttachSilentDevice(1);
    ports.AttachSilentDevice(2);
    sim::CameraModel& camera = Camera(3);
    ConnectOn(CameraLink::kAutoPort);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    for (int n : {1, 2}) {
        EXPECT_EQ(ports.Record(n).opens, 1) << n;
        EXPECT_EQ(ports.Record(n).closes, 1) << n;
    }
    EXPECT_TRUE(ports.Record(3).open);
    for (int n = 4; n <= 9; ++n)
        EXPECT_EQ(ports.Record(n).openAttempts, 0) << n;
    EXPECT_EQ(camera.RateIndex(), 3);
    EXPECT_EQ(ports.Record(3).hostBaud, protocol::kHostBaud[3]);
    EXPECT_EQ(camera.Mode(), CameraMode::Update);
}

TEST_F(ConnectionTest, AutoWithNoCameraFailsWithEveryPortClosed) {
    ports.AttachSilentDevice(5);
    ports.SetHeld(7, true);
    ConnectOn(CameraLink::kAutoPort);
    EXPECT_EQ(link.GetErrorNumber(), error_number::kCommunication);
    EXPECT_FALSE(ports.AnyPortOpen());
    EXPECT_EQ(ports.Record(5).closes, 1);
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(ports.Record(n).openAttempts, 1) << n;
    // Every port that could not be opened is reported with its reason.
    EXPECT_EQ(link.openFailures().size(), 8u);
}

TEST_F(ConnectionTest, ACameraAlreadyInUpdateModeIsNotRead) {
    sim::CameraSetup setup = sim::Rm525Setup();
    setup.mode = CameraMode::Update;
    sim::CameraModel& camera = Camera(2, setup);
    status.versionDigits = 0xDEADBEEF;
    std::strcpy(idText, "untouched");
    ConnectOn(2);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(already, 1);
    EXPECT_EQ(status.versionDigits, 0xDEADBEEFu);
    EXPECT_STREQ(idText, "untouched");
    EXPECT_TRUE(FramesOf(camera, protocol::kCmdQueryStatus).empty());
    EXPECT_EQ(ports.Record(2).hostBaud, protocol::kHostBaud[3]);
    EXPECT_EQ(camera.RateIndex(), 3);
}

TEST_F(ConnectionTest, ACameraInNormalModeIsReadThenSwitched) {
    sim::CameraSetup setup = sim::Rm520Setup();
    setup.cameraId = "CAMERA-0042";
    setup.versionHigh = 0x00;
    setup.versionLow = 0x0F;
    setup.clockHalfSeconds = 7200;
    sim::CameraModel& camera = Camera(1, setup);
    ConnectOn(1);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(already, 0);
    EXPECT_EQ(status.versionDigits, 0x00000105u);
    EXPECT_STREQ(idText, "CAMERA-0042");
    EXPECT_EQ(identity.clock.hours(), 1);
    EXPECT_EQ(status.clock.hours(), 1);
    EXPECT_EQ(link.cameraModelCode(), protocol::kModelRm520);
    ASSERT_EQ(FramesOf(camera, protocol::kCmdEnterUpdateMode).size(), 1u);
    EXPECT_EQ(camera.Mode(), CameraMode::Update);

    // The second handshake leaves half a second after the switch completed.
    const auto& log = ports.Record(1).log;
    uint32_t completed = 0, handshake = 0;
    bool afterSwitch = false;
    for (size_t i = 0; i + 1 < log.size(); ++i) {
        if (log[i].direction == sim::WireDirection::HostToCamera && log[i].value == 0x8D)
            afterSwitch = true;
        if (afterSwitch && !completed && log[i].direction == sim::WireDirection::CameraToHost &&
            log[i].value == 0x00)
            completed = log[i].timeMs;
        if (completed && log[i].direction == sim::WireDirection::HostToCamera &&
            log[i].value == 'W') {
            handshake = log[i].timeMs;
            break;
        }
    }
    ASSERT_NE(handshake, 0u);
    EXPECT_GE(handshake - completed, 500u);
}

TEST_F(ConnectionTest, VersionDigitsAndCounts) {
    struct Case {
        uint8_t high, low;
        uint32_t digits;
    } cases[] = {{0x00, 0x0F, 0x00000105}, {0x01, 0x15, 0x00010105}, {0x00, 0xA5, 0x00000A05}};
    for (const Case& c : cases) {
        sim::VirtualClock clock2;
        sim::SimulatedPortFactory ports2(clock2);
        sim::CameraSetup setup = sim::Rm525Setup();
        setup.versionHigh = c.high;
        setup.versionLow = c.low;
        setup.countsValid = false;
        ports2.AttachCamera(1, setup);
        CameraLink link2(ports2, clock2);
        CameraStatusRecord record{};
        char id2[33] = {};
        CameraIdentityRecord identity2{};
        identity2.idText = id2;
        int32_t already2 = -1;
        link2.Connect(1, 3, &record, &identity2, &already2);  // reads the status block
        EXPECT_EQ(link2.GetErrorNumber(), 0);
        EXPECT_EQ(already2, 0);
        EXPECT_EQ(record.versionDigits, c.digits) << int(c.high) << " " << int(c.low);
        EXPECT_EQ(record.countA, -1);
        EXPECT_EQ(record.countBCopy, -1);
        EXPECT_EQ(record.imageSize[0], 640);
    }
}

TEST_F(ConnectionTest, AnUnknownCameraTypeIsNotUsable) {
    sim::CameraModel& camera = Camera(1);
    camera.StatusBlock()[protocol::status_block::kCameraType] = 9;
    // The status read inside Connect fails, which Connect reports as a
    // port failure; read on its own the same camera is not usable.
    ConnectOn(1);
    EXPECT_EQ(link.GetErrorNumber(), error_number::kCommunication);
    EXPECT_FALSE(ports.AnyPortOpen());
    // Read on its own, once the camera has been found, the same type makes
    // the camera not usable.
    camera.StatusBlock()[protocol::status_block::kCameraType] = protocol::status_block::kTypeRm525;
    PowerCycle(camera, clock);
    ConnectOn(1);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    camera.StatusBlock()[protocol::status_block::kCameraType] = 9;
    link.ReadCameraStatus(&status);
    EXPECT_EQ(link.GetErrorNumber(), error_number::kNotUsable);
}

TEST_F(ConnectionTest, ARefusedRateChangeClosesThePort) {
    sim::CameraModel& camera = Camera(1);
    sim::FaultRule refuse;
    refuse.kind = sim::FaultKind::Refuse;
    refuse.command = protocol::kCmdChangeRate;
    refuse.param1 = 0x3840;
    camera.AddFault(refuse);
    ConnectOn(1);
    EXPECT_EQ(link.GetErrorNumber(), error_number::kNotUsable);
    EXPECT_FALSE(ports.AnyPortOpen());
}

class MemoryCheckTest : public CameraFixture {
protected:
    int CheckWith(uint16_t word45, int model) {
        sim::VirtualClock clock2;
        sim::SimulatedPortFactory ports2(clock2);
        ports2.AttachCamera(1).Memory()[protocol::kModelWord] = word45;
        CameraLink link2(ports2, clock2);
        link2.Connect(1, 3, &status, &identity, &already);
        EXPECT_EQ(link2.GetErrorNumber(), 0);
        return link2.CheckCameraMemory(model);
    }
};

TEST_F(MemoryCheckTest, OnlyTheLowByteOfWord45Counts) {
    identity.idText = idText;
    EXPECT_EQ(CheckWith(0x1200, protocol::kModelRm520), 1);
    EXPECT_EQ(CheckWith(0x1200, protocol::kModelRm525), 0);
    EXPECT_EQ(CheckWith(0x0003, protocol::kModelRm520), 0);
    EXPECT_EQ(CheckWith(0x0003, protocol::kModelRm525), 1);
    for (uint16_t bad : {0x0008, 0x0080}) {
        EXPECT_EQ(CheckWith(bad, protocol::kModelRm520), -1);
        EXPECT_EQ(CheckWith(bad, protocol::kModelRm525), -1);
    }
    EXPECT_EQ(CheckWith(0x0003, 42), 1);
}

TEST_F(MemoryCheckTest, AFailedReadIsAMemoryErrorNotAPass) {
    for (sim::FaultKind kind :
         {sim::FaultKind::Refuse, sim::FaultKind::NoPacket, sim::FaultKind::FailCompletion}) {
        sim::VirtualClock clock2;
        sim::SimulatedPortFactory ports2(clock2);
        sim::CameraModel& camera = ports2.AttachCamera(1, sim::Rm520Setup());
        CameraLink link2(ports2, clock2);
        identity.idText = idText;
        link2.Connect(1, 3, &status, &identity, &already);
        ASSERT_EQ(link2.GetErrorNumber(), 0);
        sim::FaultRule fault;
        fault.kind = kind;
        fault.command = protocol::kCmdReadWords;
        camera.AddFault(fault);
        // Unfilled memory would read as an RM520 and let its firmware in.
        EXPECT_EQ(link2.CheckCameraMemory(protocol::kModelRm520), -1) << int(kind);
    }
}

TEST_F(ConnectionTest, CloseConnectionReleasesTheCamera) {
    sim::CameraModel& camera = Camera(1);
    ConnectOn(1);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    link.CloseConnection();
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_FALSE(ports.AnyPortOpen());
    EXPECT_EQ(camera.ReleaseCount(), 1);
    EXPECT_EQ(camera.Mode(), CameraMode::Normal);
    EXPECT_EQ(camera.RateIndex(), 1);
}

TEST_F(ConnectionTest, ALineThatFellSilentComesBackAfterTheBreak) {
    sim::CameraModel& camera = Camera(1);
    ConnectOn(1);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    camera.SetSilent(true, /*untilBreak=*/true);
    link.ReadCameraStatus(&status);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(camera.BreakCount(), 1);
    // Back at the rate the link last asked for: the one it found the camera
    // at, both sides, and the link knows it: the next read moves no rate.
    EXPECT_EQ(camera.RateIndex(), 1);
    EXPECT_EQ(ports.Record(1).hostBaud, protocol::kHostBaud[1]);
    const size_t rateFrames = FramesOf(camera, protocol::kCmdChangeRate).size();
    link.ReadCameraStatus(&status);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(FramesOf(camera, protocol::kCmdChangeRate).size(), rateFrames);
}

TEST_F(ConnectionTest, ALineThatStaysSilentGivesUpAt9600) {
    sim::CameraModel& camera = Camera(1);
    ConnectOn(1);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    camera.SetSilent(true);
    link.ReadCameraStatus(&status);
    EXPECT_EQ(link.GetErrorNumber(), error_number::kNotUsable);
    EXPECT_EQ(ports.Record(1).hostBaud, protocol::kHostBaud[1]);
    // The link takes the camera to be at 9600 bit/s too: once it answers
    // again, no rate change is sent.
    const size_t rateFrames = FramesOf(camera, protocol::kCmdChangeRate).size();
    camera.SetSilent(false);
    link.ReadCameraStatus(&status);
    EXPECT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(FramesOf(camera, protocol::kCmdChangeRate).size(), rateFrames);
}

}  // namespace
}  // namespace rm525
