#include "tests/link/scripted_port.h"

namespace rm525::testing {

bool ScriptedPort::Read(uint8_t* dst, uint32_t count, uint32_t* moved) {
    *moved = 0;
    auto& in = line_->incoming;
    const CommTimeouts& t = line_->timeouts;
    const uint32_t start = Now();
    const uint32_t deadline = start + t.readTotalConstant + t.readTotalMultiplier * count;
    uint32_t last = start;
    while (*moved < count) {
        uint32_t limit = deadline;
        if (*moved > 0 && t.readInterval != 0 && int32_t(last + t.readInterval - limit) < 0)
            limit = last + t.readInterval;
        if (in.empty() || int32_t(in.front().first - limit) > 0) {
            line_->clock.AdvanceTo(limit);
            break;
        }
        line_->clock.AdvanceTo(in.front().first);
        last = in.front().first;
        dst[(*moved)++] = in.front().second;
        in.pop_front();
    }
    return !line_->failReads;
}

bool ScriptedPort::Write(const uint8_t* src, uint32_t count, uint32_t* moved) {
    if (line_->failWrites)
        return false;
    std::vector<uint8_t> bytes(src, src + count);
    *moved = count > uint32_t(line_->shortWriteBy) ? count - uint32_t(line_->shortWriteBy) : 0;
    line_->events.push_back({WireEvent::Write, Now(), bytes});
    if (line_->onWrite)
        line_->onWrite(*line_, bytes);
    return true;
}

bool ScriptedPort::Purge(unsigned flags) {
    line_->events.push_back({WireEvent::Purge, Now(), {uint8_t(flags)}});
    if (flags & kPurgeOutput)
        line_->stuckOutput = 0;
    if (flags & kPurgeInput) {
        auto& in = line_->incoming;
        while (!in.empty() && int32_t(in.front().first - Now()) <= 0)
            in.pop_front();
    }
    return !line_->failReads;
}

}  // namespace rm525::testing
