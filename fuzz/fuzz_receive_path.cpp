// Arbitrary camera bytes fed to the host's receive path: every answer,
// packet and handshake reader must stay memory-safe and end in bounded time.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/camera_protocol.h"
#include "tests/link/scripted_port.h"

using rm525::CameraProtocol;
using rm525::testing::FakeClock;
using rm525::testing::ScriptedFactory;

namespace {

// Input layout: byte 0 picks the operation, byte 1 the packet length's low
// bits; the rest are the camera's bytes, where 0xFE followed by n inserts a
// pause of n * 20 ms before the next byte.
void Feed(rm525::testing::ScriptedLine& line, const uint8_t* data, size_t size) {
    uint32_t t = line.clock.NowMs() + 1;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFE && i + 1 < size) {
            t += uint32_t(data[++i]) * 20;
            continue;
        }
        line.incoming.emplace_back(t++, data[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    FakeClock clock;
    ScriptedFactory factory(clock);
    auto line = factory.Attach(1);
    CameraProtocol link(factory, clock);
    if (link.OpenPort(1) != 0)
        return 0;
    Feed(*line, data + 2, size - 2);

    const uint32_t start = clock.NowMs();
    std::vector<uint8_t> dst(600);
    const int packetLength = 2 + data[1] % 300;
    switch (data[0] % 7) {
        case 0:
            // One packet of that length, as the packet reader takes it.
            link.ReceiveData(dst.data(), packetLength - 1, packetLength);
            break;
        case 1:
            link.WaitAck(0xD1, 0xE1);
            break;
        case 2:
            link.WaitCompletion(3000);
            break;
        case 3:
            link.Handshake();
            break;
        case 4:
            link.QueryStatus();
            break;
        case 5:
            link.ReceiveData(dst.data(), 512, 257);
            break;
        case 6:
            link.ReadWords(0, 255, dst.data());
            break;
    }
    // Each wait is bounded by its time-out; keep-alives may extend an
    // exchange, but never beyond what the input could pay for.
    const uint32_t elapsed = clock.NowMs() - start;
    if (elapsed > 200000u + uint32_t(size) * 5000u)
        __builtin_trap();
    link.ClosePortIfOpen();
    return 0;
}
