#pragma once

// A camera made of literal bytes, for tests that must not take the
// protocol's facts from link/protocol.h (which the host itself uses).
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "tests/link/scripted_port.h"

namespace rm525::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes WithCheckByte(Bytes data) {
    uint8_t x = 0;
    for (uint8_t b : data)
        x ^= b;
    data.push_back(x);
    return data;
}

// A camera in normal mode, spelled out byte by byte: it ignores the
// handshake until it has been told 0x8D, answers 0x7F with 0x01 and its
// status block, 0x22 with its 512 bytes of memory in two packets, and every
// other frame with 0xD1 and (except 0x41) the completion byte 0x00.
class HandMadeCamera {
public:
    HandMadeCamera(ScriptedLine& line, Bytes statusBlock, Bytes memory = Bytes(512))
        : statusBlock_(std::move(statusBlock)), memory_(std::move(memory)) {
        line.onWrite = [this](ScriptedLine& l, const Bytes& w) { Heard(l, w); };
    }
    std::vector<Bytes> frames;   // every command frame the host sent
    std::vector<Bytes> packets;  // every data packet the host sent, check byte included
    // Sees each command frame first; returns true when it has answered it
    // itself (or chosen to ignore it), false to let the camera answer.
    std::function<bool(ScriptedLine&, const Bytes& frame)> interpose;
    bool updateMode = false;
    Bytes& StatusBlock() { return statusBlock_; }

private:
    void Heard(ScriptedLine& line, const Bytes& w) {
        const Bytes request = {'W', 'Q', 'M', 'Z', 'E', 'A', 'V', 'H', 'R', 'Y', 'C', 'S'};
        if (w == request) {
            if (updateMode)
                line.Answer({'S', 'C', 'Y', 'R', 'H', 'V', 'A', 'E', 'Z', 'M', 'Q', 'W'});
            return;
        }
        if (w.size() == 1 && w[0] == 0xD2) {  // the host took a packet: what comes next
            if (!afterPacket_.empty()) {
                line.Answer(afterPacket_.front());
                afterPacket_.pop_front();
            }
            return;
        }
        if (w.size() == 257) {  // a block to write: taken, then done
            packets.push_back(w);
            line.Answer({0xD2, 0x00});
            return;
        }
        if (w.size() != 8 || w[7] != 0x1A)
            return;
        frames.push_back(w);
        if (interpose && interpose(line, w))
            return;
        switch (w[0]) {
            case 0x7F: {
                Bytes answer = {0xD1, 0x01};
                const Bytes packet = WithCheckByte(statusBlock_);
                answer.insert(answer.end(), packet.begin(), packet.end());
                line.Answer(answer);
                afterPacket_.push_back({0x00});
                break;
            }
            case 0x22: {
                Bytes answer = {0xD1};
                const Bytes first = WithCheckByte(Bytes(memory_.begin(), memory_.begin() + 256));
                answer.insert(answer.end(), first.begin(), first.end());
                line.Answer(answer);
                afterPacket_.push_back(WithCheckByte(Bytes(memory_.begin() + 256, memory_.end())));
                afterPacket_.push_back({0x00});
                break;
            }
            case 0x1D:
                line.Answer({0xD1});  // the packet follows
                break;
            case 0x41:
                line.Answer({0xD1});
                break;
            case 0x8D:
                updateMode = true;
                line.Answer({0xD1, 0x00});
                break;
            default:
                line.Answer({0xD1, 0x00});
                break;
        }
    }

    Bytes statusBlock_;
    Bytes memory_;
    std::deque<Bytes> afterPacket_;
};

}  // namespace rm525::testing
