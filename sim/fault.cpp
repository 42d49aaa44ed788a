#include "sim/fault.h"

#include <cstdlib>
#include <utility>

namespace rm525::sim {

namespace {

struct KindName {
    const char* name;
    FaultKind kind;
    FaultStage stage;
    bool untilBreak;
};

constexpr KindName kKinds[] = {
    {"busy", FaultKind::Busy, FaultStage::Answer, false},
    {"refuse", FaultKind::Refuse, FaultStage::Answer, false},
    {"storm", FaultKind::KeepAlives, FaultStage::Answer, false},
    {"storm-start", FaultKind::KeepAlives, FaultStage::Start, false},
    {"storm-done", FaultKind::KeepAlives, FaultStage::Completion, false},
    {"badcheck", FaultKind::BadCheckByte, FaultStage::Answer, false},
    {"line-error", FaultKind::LineError, FaultStage::Answer, false},
    {"nak-packet", FaultKind::RejectPacket, FaultStage::Answer, false},
    {"no-packet", FaultKind::NoPacket, FaultStage::Answer, false},
    {"fail", FaultKind::FailCompletion, FaultStage::Answer, false},
    {"silence", FaultKind::Silence, FaultStage::Answer, false},
    {"silence-until-break", FaultKind::Silence, FaultStage::Answer, true},
};

// Reads an unsigned number (decimal or 0x-hexadecimal) at `s[pos]`.
bool ReadNumber(const std::string& s, size_t* pos, unsigned long max, unsigned long* out) {
    const char* begin = s.c_str() + *pos;
    char* end = nullptr;
    if (*begin < '0' || *begin > '9')
        return false;
    const unsigned long v = std::strtoul(begin, &end, 0);
    if (end == begin || v > max)
        return false;
    *pos += static_cast<size_t>(end - begin);
    *out = v;
    return true;
}

std::optional<FaultRule> Fail(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
    return std::nullopt;
}

}  // namespace

std::optional<FaultRule> ParseFaultSpec(const std::string& spec, std::string* error) {
    const size_t at = spec.find('@');
    if (at == std::string::npos)
        return Fail(error, "missing '@' in fault '" + spec + "'");
    const std::string kindName = spec.substr(0, at);
    FaultRule rule;
    bool known = false;
    for (const KindName& k : kKinds) {
        if (kindName == k.name) {
            rule.kind = k.kind;
            rule.stage = k.stage;
            rule.untilBreak = k.untilBreak;
            known = true;
        }
    }
    if (!known)
        return Fail(error, "unknown fault kind '" + kindName + "'");

    size_t pos = at + 1;
    unsigned long v = 0;
    if (!ReadNumber(spec, &pos, 0xFF, &v))
        return Fail(error, "bad command in '" + spec + "'");
    rule.command = static_cast<uint8_t>(v);
    while (pos < spec.size()) {
        const char tag = spec[pos++];
        switch (tag) {
            case ':':
                if (!ReadNumber(spec, &pos, 0xFFFF, &v))
                    return Fail(error, "bad parameter 1");
                rule.param1 = static_cast<uint16_t>(v);
                break;
            case '#':
                if (!ReadNumber(spec, &pos, 1000000, &v) || v == 0) {
                    return Fail(error, "bad occurrence");
                }
                rule.occurrence = static_cast<int>(v);
                break;
            case 'x':
                if (!ReadNumber(spec, &pos, 1000000, &v) || v == 0)
                    return Fail(error, "bad count");
                rule.count = static_cast<int>(v);
                break;
            case '=':
                if (!ReadNumber(spec, &pos, 1000000, &v))
                    return Fail(error, "bad argument");
                if (rule.kind == FaultKind::FailCompletion) {
                    if (v > 0xFF || v == 0)
                        return Fail(error, "completion byte must be 1..0xFF");
                    rule.completionByte = static_cast<uint8_t>(v);
                } else if (rule.kind == FaultKind::KeepAlives) {
                    rule.keepAlives = static_cast<int>(v);
                    if (pos < spec.size() && spec[pos] == '/') {
                        ++pos;
                        if (!ReadNumber(spec, &pos, 60000, &v))
                            return Fail(error, "bad pause between keep-alives");
                        rule.keepAliveGapMs = static_cast<uint32_t>(v);
                    }
                } else if (rule.kind == FaultKind::LineError) {
                    if (v >= protocol::kPacketSize)
                        return Fail(error, "the damaged byte must be 0..256");
                    rule.errorByte = static_cast<int>(v);
                } else {
                    return Fail(error, "'=' is only for storm, fail and line-error faults");
                }
                break;
            default:
                return Fail(error, std::string("unexpected '") + tag + "' in '" + spec + "'");
        }
    }
    if (rule.kind == FaultKind::KeepAlives && rule.keepAlives == 0) {
        return Fail(error, "storm faults need =N keep-alives");
    }
    return rule;
}

const char* FaultSpecHelp() {
    return "Fault syntax: KIND@CMD[:PARAM1][#N][xCOUNT][=ARG]\n"
           "  KIND   busy | refuse | storm | storm-start | storm-done | badcheck |\n"
           "         line-error | nak-packet | no-packet | fail | silence |\n"
           "         silence-until-break\n"
           "  CMD    command code (0x1D write block, 0x1E prepare, 0x21 set value,\n"
           "         0x22 read words, 0x41 rate, 0x7F status, 0x8D update mode, 0xAE release)\n"
           "  PARAM1 only frames with this parameter 1 (block, area or value number)\n"
           "  #N     start at the N-th matching frame (default 1)\n"
           "  xCOUNT fire this many times (frames; packets for badcheck, line-error and\n"
           "         nak-packet)\n"
           "  ARG    storms: number of 0xF0 bytes, with /MS a pause of MS ms between them;\n"
           "         fail: the completion byte (default 0x05);\n"
           "         line-error: the damaged byte's offset in the packet (default 256, the\n"
           "         check byte)\n"
           "  busy: 0x10 instead of 0xD1; refuse: 0xE1; storm*: keep-alives before the answer,\n"
           "  the start byte or the completion byte; badcheck: wrong check byte on the\n"
           "  camera's packets; line-error: one byte of the camera's packet garbled with a\n"
           "  framing error, which ends the host's read; nak-packet: 0xE3 to the host's\n"
           "  packets; no-packet: 0xE2 instead of a packet; silence: no answer from then on\n"
           "  (until-break: until a line break, which a pseudo-terminal cannot carry).\n"
           "  Example: busy@0x1D:1000x2  storm-done@0x1E:1=40/100  fail@0x21:19=0x05\n";
}

}  // namespace rm525::sim
