#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/protocol.h"

namespace rm525::sim {

enum class FaultKind {
    Busy,            // answer 0x10 instead of accepting the frame
    Refuse,          // answer 0xE1 instead of accepting the frame
    KeepAlives,      // `keepAlives` bytes 0xF0 before the answer, start or completion byte
    BadCheckByte,    // the camera's own data packets carry a wrong check byte
    LineError,       // one byte of the camera's data packet reaches the host garbled,
                     // with a framing error
    RejectPacket,    // the camera answers 0xE3 to the host's data packets
    NoPacket,        // 0xE2 in place of the camera's data packet
    FailCompletion,  // completion byte `completionByte` instead of 0x00; the command has no effect
    Silence,         // no answer to this frame nor to anything after it
};

// Where a run of keep-alives goes.
enum class FaultStage { Answer, Start, Completion };

// One injected fault. It watches the command frames with code `command` (and
// parameter 1 `param1`, when set); from the `occurrence`-th such frame on it
// fires `count` times. For BadCheckByte, LineError and RejectPacket a firing is
// one data packet (the packets of the matching exchange and, if needed, of the
// next matching ones); for every other kind it is one frame.
struct FaultRule {
    FaultKind kind = FaultKind::Busy;
    uint8_t command = 0;
    std::optional<uint16_t> param1;
    int occurrence = 1;
    int count = 1;
    int keepAlives = 0;           // KeepAlives: how many
    uint32_t keepAliveGapMs = 0;  // KeepAlives: pause between them (0 = back to back)
    FaultStage stage = FaultStage::Answer;
    uint8_t completionByte = 0x05;  // FailCompletion
    bool untilBreak = false;        // Silence: a line break brings the camera back
    // LineError: the offset in the packet of the damaged byte (the check byte unless told)
    int errorByte = protocol::kPacketSize - 1;
};

// Parses the compact form used on the command line:
//   KIND@CMD[:PARAM1][#N][xCOUNT][=ARG]
// KIND: busy, refuse, storm (keep-alives before the answer), storm-start,
// storm-done, badcheck, line-error, nak-packet, no-packet, fail, silence,
// silence-until-break. CMD and PARAM1 are numbers (0x.. for hexadecimal).
// #N: start at the N-th matching frame. xCOUNT: how many times. ARG: the number
// of keep-alives for the storms, the completion byte for fail, the offset of
// the damaged byte in the packet for line-error (0..256, default 256).
// Example: busy@0x1D:1000x2 answers busy twice to the frame writing block 1000.
std::optional<FaultRule> ParseFaultSpec(const std::string& spec, std::string* error);

// The help text describing that form.
const char* FaultSpecHelp();

}  // namespace rm525::sim
