#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "link/protocol.h"
#include "link/serial_port.h"
#include "sim/simulated_port.h"

namespace rm525::sim::testing {

// A bare host for byte-level tests: opens a simulated port and moves raw
// bytes with the link's usual time-outs, so every byte on the wire is the
// test's own.
class WireHost {
public:
    WireHost(SimulatedPortFactory& ports, int portNumber) : clock_(ports.Clock()) {
        OpenFailure failure;
        port_ = ports.Open(portNumber, &failure);
        if (!port_)
            return;
        LineSettings s;
        s.abortOnError = true;
        port_->SetLineSettings(s);
    }

    SerialPort& Port() { return *port_; }
    bool IsOpen() const { return port_ != nullptr; }

    void SetBaud(uint32_t baud) {
        LineSettings s;
        port_->GetLineSettings(s);
        s.baudRate = baud;
        port_->SetLineSettings(s);
    }

    void Send(const std::vector<uint8_t>& bytes) {
        uint32_t moved = 0;
        port_->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &moved);
    }
    void SendByte(uint8_t b) { Send({b}); }
    void SendFrame(uint8_t command, uint16_t p1 = 0, uint16_t p2 = 0) {
        Send(Frame(command, p1, p2));
    }
    void SendPacket(const std::vector<uint8_t>& data, bool spoilCheck = false) {
        std::vector<uint8_t> packet = data;
        uint8_t check = protocol::XorCheck(data.data(), static_cast<int>(data.size()));
        packet.push_back(spoilCheck ? static_cast<uint8_t>(check ^ 0x55) : check);
        Send(packet);
    }

    // Reads up to `count` bytes: the total time-out from the start, and a
    // pause of more than 30 ms between two bytes ends the read early.
    std::vector<uint8_t> Read(uint32_t count, uint32_t totalMs = 3000, uint32_t intervalMs = 30) {
        CommTimeouts t;
        port_->GetTimeouts(t);
        t.readInterval = intervalMs;
        t.readTotalConstant = totalMs;
        t.readTotalMultiplier = 0;
        port_->SetTimeouts(t);
        std::vector<uint8_t> buffer(count);
        uint32_t moved = 0;
        port_->Read(buffer.data(), count, &moved);
        buffer.resize(moved);
        return buffer;
    }
    uint8_t ReadByte(uint32_t totalMs = 3000) {
        std::vector<uint8_t> b = Read(1, totalMs);
        return b.empty() ? 0xEE : b[0];  // 0xEE: nothing came (no camera byte uses it)
    }
    // Reads one answer byte the way the link does: keep-alives restart the wait.
    uint8_t ReadAnswer(uint32_t totalMs = 3000, int* keepAlives = nullptr) {
        for (;;) {
            uint8_t b = ReadByte(totalMs);
            if (b != protocol::kKeepAlive)
                return b;
            if (keepAlives)
                ++*keepAlives;
        }
    }
    void Wait(uint64_t ms) { clock_.Advance(ms); }

    static std::vector<uint8_t> Frame(uint8_t command, uint16_t p1 = 0, uint16_t p2 = 0) {
        return {command,
                0,
                static_cast<uint8_t>(p1 >> 8),
                static_cast<uint8_t>(p1),
                static_cast<uint8_t>(p2 >> 8),
                static_cast<uint8_t>(p2),
                0,
                protocol::kFrameEnd};
    }

private:
    VirtualClock& clock_;
    std::unique_ptr<SerialPort> port_;
};

}  // namespace rm525::sim::testing
