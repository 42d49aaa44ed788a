// The Win32 backend against a scripted driver that fails as Windows' own
// does (abort-on-error, an unplugged USB adapter), over the simulated camera
// on a virtual clock.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

#include "cli/trace_port.h"
#include "link/camera_link.h"
#include "link/link_status.h"
#include "link/win32/win32_serial_port_factory.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/link/camera_fixture.h"
#include "tests/win32/scripted_driver.h"

namespace rm525 {
namespace {

using testing::ScriptedDriver;

constexpr int kPort = 3;

Win32PortNames NoEnvironment() {
    return Win32PortNames([](const char*) -> const char* { return nullptr; });
}

class Win32DriverTest : public ::testing::Test {
protected:
    void SetUp() override { camera_ = &line_.AttachCamera(kPort, sim::Rm525Setup()); }
    int16_t Connect(int port = kPort) { return Connect(link_, port); }
    int16_t Connect(CameraLink& link, int port = kPort) {
        CameraStatusRecord status{};
        CameraIdentityRecord identity{};
        char idText[33] = {};
        identity.idText = idText;
        int32_t already = -1;
        link.Connect(port, 3, &status, &identity, &already);
        return link.GetErrorNumber();
    }
    std::unique_ptr<SerialPort> OpenWithAbortOnError() {
        std::unique_ptr<SerialPort> port = ports_.Open(kPort, nullptr);
        LineSettings line;
        line.abortOnError = true;
        EXPECT_TRUE(port->SetLineSettings(line));
        return port;
    }

    sim::VirtualClock clock_{5000};
    sim::SimulatedPortFactory line_{clock_};
    ScriptedDriver driver_{line_};
    Win32SerialPortFactory ports_{NoEnvironment(), driver_.api(), clock_};
    CameraLink link_{ports_, clock_};
    sim::CameraModel* camera_ = nullptr;
};

// A framing error left from the last read makes the driver refuse the next
// read's time-outs; the port clears it first, so the status costs no more
// time or frames than without it (the refusal went round a resynchronisation).
TEST_F(Win32DriverTest, AFramingErrorPendingBeforeAReceiveCostsNothing) {
    ASSERT_EQ(Connect(), 0);
    auto readStatus = [this] {
        CameraStatusRecord status{};
        const size_t frames = camera_->Frames().size();
        const uint32_t start = clock_.NowMs();
        EXPECT_EQ(link_.ReadCameraStatus(&status), link_status::kOk);
        return std::make_pair(clock_.NowMs() - start, camera_->Frames().size() - frames);
    };
    readStatus();  // the first one after the connection also sets the rate
    const auto clean = readStatus();
    driver_.LineErrorBefore(ScriptedDriver::kGetTimeouts, CE_FRAME);
    EXPECT_EQ(readStatus(), clean);
    link_.CloseConnection();
}

TEST_F(Win32DriverTest, ABreakGoesOutWithErrorsPendingAndTheirBitsAreKept) {
    std::unique_ptr<SerialPort> port = OpenWithAbortOnError();
    driver_.LineErrorBefore(ScriptedDriver::kSetBreak, CE_FRAME | CE_OVERRUN);
    EXPECT_TRUE(port->SetBreak());
    EXPECT_TRUE(driver_.breakOn());
    ErrorState state;
    ASSERT_TRUE(port->ClearError(&state));
    EXPECT_EQ(state.errors, static_cast<uint32_t>(CE_FRAME | CE_OVERRUN));
    // Refused once more in between (an error that came after the read): tried again.
    driver_.LineErrorBefore(ScriptedDriver::kClearBreak, CE_BREAK);
    driver_.Fail(ScriptedDriver::kClearBreak, ERROR_OPERATION_ABORTED);
    EXPECT_TRUE(port->ClearBreak());
    EXPECT_FALSE(driver_.breakOn());
}

TEST_F(Win32DriverTest, ABreakThatWillNotComeOffIsTriedAgainThenThePortIsClosed) {
    std::unique_ptr<SerialPort> port = OpenWithAbortOnError();
    ASSERT_TRUE(port->SetBreak());
    driver_.Fail(ScriptedDriver::kClearBreak, ERROR_NOT_READY);
    EXPECT_TRUE(port->ClearBreak());
    EXPECT_FALSE(driver_.breakOn());
    EXPECT_EQ(driver_.calls(ScriptedDriver::kClearBreak), 2);

    ASSERT_TRUE(port->SetBreak());
    driver_.Fail(ScriptedDriver::kClearBreak, ERROR_NOT_READY, 2);
    EXPECT_FALSE(port->ClearBreak());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_FALSE(driver_.open()) << "closing the port takes the break off";
    EXPECT_FALSE(driver_.breakOn());
    EXPECT_FALSE(port->SetBreak());
}

struct Unplug {
    const char* where;
    ScriptedDriver::Call call;
    int nth;
    DWORD error;
    bool errorQueryAnswers;
};

class Win32Unplug : public Win32DriverTest, public ::testing::WithParamInterface<Unplug> {};

// The adapter pulled out during the transfer: 8 at once, no retries, the
// port closed, the failure reported.
TEST_P(Win32Unplug, EndsTheTransferAtOnce) {
    const Unplug u = GetParam();
    ASSERT_EQ(Connect(), 0);
    driver_.UnplugAt(u.call, u.nth, u.error, u.errorQueryAnswers);
    std::vector<std::pair<int, int>> reports;
    uint32_t failedAtMs = 0;
    link_.TransferFirmware(testing::RandomBody(7).data(), [&](int phase, int percent, int) {
        failedAtMs = clock_.NowMs();
        reports.emplace_back(phase, percent);
        return 1;
    });
    ASSERT_TRUE(driver_.unplugged());
    EXPECT_EQ(reports.back().first, 3) << "phase 3: failed";
    EXPECT_EQ(link_.GetErrorNumber(), error_number::kCommunication);
    EXPECT_LT(driver_.callsSinceUnplug(), 8) << "retries on a gone adapter";
    EXPECT_FALSE(driver_.open());
    EXPECT_EQ(driver_.calls(ScriptedDriver::kClose), 1);
    EXPECT_LE(failedAtMs - driver_.unpluggedAtMs(), 100u) << "time-outs waited out";
}

// Before the transfer, a gone adapter fails the read at once instead of
// answering no more, which would send the link through its recovery (breaks
// and four seconds of waits). The trace tells Windows' reason.
TEST_F(Win32DriverTest, AGoneAdapterSkipsTheRecoveryAndTheTraceSaysWhy) {
    std::ostringstream trace;
    cli::TraceLog log(trace, clock_);
    cli::TracingPortFactory traced(ports_, log);
    CameraLink link(traced, clock_);
    ASSERT_EQ(Connect(link), 0);
    driver_.UnplugAt(ScriptedDriver::kRead, 1, ERROR_GEN_FAILURE, true);
    CameraStatusRecord status{};
    EXPECT_EQ(link.ReadCameraStatus(&status), link_status::kPortFailure);
    EXPECT_LE(clock_.NowMs() - driver_.unpluggedAtMs(), 100u);
    EXPECT_EQ(driver_.calls(ScriptedDriver::kSetBreak), 0);
    link.CloseConnection();
    EXPECT_FALSE(driver_.open());
    EXPECT_NE(trace.str().find("- read FAILED (system error 31)\n"), std::string::npos)
        << trace.str();
}

INSTANTIATE_TEST_SUITE_P(
    Windows, Win32Unplug,
    ::testing::Values(
        Unplug{"MidRead", ScriptedDriver::kRead, 40, ERROR_GEN_FAILURE, false},
        Unplug{"MidWrite", ScriptedDriver::kWrite, 40, ERROR_DEVICE_NOT_CONNECTED, false},
        Unplug{"BetweenFrames", ScriptedDriver::kGetTimeouts, 60, ERROR_BAD_COMMAND, false},
        Unplug{"ErrorQueryStillAnswers", ScriptedDriver::kRead, 40, ERROR_GEN_FAILURE, true},
        Unplug{"AbortedAndQueryFails", ScriptedDriver::kRead, 40, ERROR_OPERATION_ABORTED, false}),
    [](const ::testing::TestParamInfo<Unplug>& info) { return std::string(info.param.where); });

// A Bluetooth port can hold CreateFile for seconds, where Ctrl+C cannot
// reach it: the search does not open it.
TEST_F(Win32DriverTest, TheSearchPassesOverBluetoothPorts) {
    driver_.SetBluetooth(2);
    ASSERT_EQ(Connect(CameraLink::kAutoPort), 0);
    EXPECT_EQ(driver_.created(), (std::vector<int>{1, 3}));
    link_.CloseConnection();
    EXPECT_FALSE(IsBluetoothDevice("\\Device\\Serial0"));
}

// A whole update through the driver, with faults a real line recovers from:
// every byte of the body lands in the camera.
TEST_F(Win32DriverTest, AWholeUpdateWithRecoverableDriverFaultsIsByteExact) {
    ASSERT_EQ(Connect(), 0);
    driver_.LineErrorBefore(ScriptedDriver::kGetTimeouts, CE_FRAME);
    driver_.LineErrorBefore(ScriptedDriver::kPurge, CE_OVERRUN);
    driver_.LineErrorBefore(ScriptedDriver::kSetState, CE_RXPARITY);
    driver_.Fail(ScriptedDriver::kSetTimeouts, ERROR_OPERATION_ABORTED);
    const std::vector<uint8_t> body = testing::RandomBody(11);
    int lastPhase = -1;
    link_.TransferFirmware(body.data(), [&](int phase, int, int) {
        lastPhase = phase;
        if (phase == 1 && driver_.calls(ScriptedDriver::kWrite) % 97 == 0)
            driver_.LineErrorBefore(ScriptedDriver::kSetTimeouts, CE_FRAME);
        return 1;
    });
    EXPECT_EQ(link_.GetErrorNumber(), 0);
    EXPECT_EQ(lastPhase, 2);
    ASSERT_EQ(camera_->Flash().size(), body.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), camera_->Flash().begin()));
    EXPECT_TRUE(camera_->Verified());
    EXPECT_FALSE(driver_.open());
}

}  // namespace
}  // namespace rm525
