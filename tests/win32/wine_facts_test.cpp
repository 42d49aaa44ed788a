// What Wine does with a serial port that is a pseudo-terminal, checked on
// this machine: wine_facts.sh maps the port named by RM525FW_FACTS_PORT to
// the simulated camera's terminal and runs this program in the prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "link/camera_link.h"
#include "link/camera_records.h"
#include "link/protocol.h"
#include "link/win32/win32_clock.h"
#include "link/win32/win32_serial_port.h"
#include "link/win32/win32_serial_port_factory.h"

namespace rm525 {
namespace {

int FactsPort() {
    const char* v = std::getenv("RM525FW_FACTS_PORT");
    return v != nullptr ? std::atoi(v) : 0;
}

std::wstring PortPath() {
    return L"\\\\.\\COM" + std::to_wstring(FactsPort());
}

HANDLE OpenPort() {
    return CreateFileW(PortPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

class WineFacts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GE(FactsPort(), 1) << "RM525FW_FACTS_PORT is not set"; }
};

TEST_F(WineFacts, APtyPortTakesTheCallsOfTheLink) {
    const HANDLE h = OpenPort();
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();

    // Windows' serial driver refuses a second opener while the port is
    // held; Wine does not for a terminal (the share mode goes unchecked on
    // devices). Told, not required: the program must not count on it.
    const HANDLE second = OpenPort();
    if (second != INVALID_HANDLE_VALUE) {
        std::cout << "second open: allowed by Wine\n";
        CloseHandle(second);
    } else {
        std::cout << "second open: refused, error " << GetLastError() << '\n';
    }

    EXPECT_TRUE(SetupComm(h, 2048, 2048)) << GetLastError();

    // Wine 8 cannot report the line settings of a terminal without modem
    // lines (error 87): one more reason to write the whole block. A fact of
    // the test platform, told and not required: the program works either way
    // (it takes the driver's settings where it can say, defaults where not),
    // so a Wine that reports them is no fault of ours.
    DCB current{};
    current.DCBlength = sizeof current;
    if (GetCommState(h, &current))
        std::cout << "GetCommState: works on a terminal (this Wine reads its settings)\n";
    else
        std::cout << "GetCommState: fails on a terminal, error " << GetLastError()
                  << " (Wine's own limit; 87 in Wine 8)\n";

    // Writing it works, DTR and RTS held on included, at every rate.
    for (size_t i = 1; i < protocol::kHostBaud.size(); ++i) {
        LineSettings line;
        line.baudRate = protocol::kHostBaud[i];
        line.abortOnError = true;
        DCB dcb = MakeDcb(line);
        EXPECT_TRUE(SetCommState(h, &dcb)) << line.baudRate << ": " << GetLastError();
    }

    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 30;
    t.ReadTotalTimeoutConstant = 200;
    t.WriteTotalTimeoutMultiplier = 50;
    EXPECT_TRUE(SetCommTimeouts(h, &t));
    COMMTIMEOUTS back{};
    EXPECT_TRUE(GetCommTimeouts(h, &back));
    EXPECT_EQ(back.ReadIntervalTimeout, 30u);
    EXPECT_EQ(back.WriteTotalTimeoutMultiplier, 50u);

    DWORD errors = 0;
    COMSTAT status{};
    EXPECT_TRUE(ClearCommError(h, &errors, &status)) << GetLastError();
    EXPECT_TRUE(PurgeComm(h, PURGE_RXCLEAR)) << GetLastError();
    EXPECT_TRUE(PurgeComm(h, PURGE_TXCLEAR)) << GetLastError();
    EXPECT_TRUE(SetCommBreak(h)) << GetLastError();
    EXPECT_TRUE(ClearCommBreak(h)) << GetLastError();

    // Nothing to read from a camera that was not spoken to: the read ends
    // at its total time-out with no byte.
    uint8_t b[4];
    DWORD got = 99;
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    EXPECT_TRUE(ReadFile(h, b, sizeof b, &got, nullptr));
    QueryPerformanceCounter(&end);
    EXPECT_EQ(got, 0u);
    const auto waitedMs = (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
    std::cout << "empty read with a 200 ms time-out: " << waitedMs << " ms\n";
    EXPECT_GE(waitedMs, 150);
    CloseHandle(h);
}

// The link over the backend: the connection reads the camera's status,
// switches it into update mode and both ends to 38400 bit/s, which the
// simulated camera follows only if the rate reached the terminal.
TEST_F(WineFacts, TheLinkConnectsAndChangesTheRate) {
    Win32SerialPortFactory ports;
    Win32Clock clock;
    CameraLink link(ports, clock);
    CameraStatusRecord status{};
    char id[33] = {};
    CameraIdentityRecord identity{};
    identity.idText = id;
    int32_t alreadyInUpdateMode = -1;
    link.Connect(FactsPort(), 3, &status, &identity, &alreadyInUpdateMode);
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(alreadyInUpdateMode, 0);
    EXPECT_EQ(link.cameraModelCode(), protocol::kModelRm525);
    link.CloseConnection();
}

}  // namespace
}  // namespace rm525
