#pragma once

// A serial port whose far end is a script: every write can be answered with
// bytes that arrive at given virtual times. Reads follow the real driver's
// time-out rules on a virtual clock, so tests see the link's waits exactly.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/serial_port.h"

namespace rm525::testing {

class FakeClock : public Clock {
public:
    explicit FakeClock(uint32_t start = 1000) : now_(start) {}
    uint32_t NowMs() override { return now_; }
    void SleepUntil(uint32_t target) override {
        ++sleeps;
        if (int32_t(target - now_) > 0)
            now_ = target;
    }
    void Advance(uint32_t ms) { now_ += ms; }
    void AdvanceTo(uint32_t t) {
        if (int32_t(t - now_) > 0)
            now_ = t;
    }
    int sleeps = 0;

private:
    uint32_t now_;
};

struct WireEvent {
    enum Kind { Write, Purge, Rate, BreakOn, BreakOff, Close } kind;
    uint32_t time;
    std::vector<uint8_t> bytes;  // Write: the bytes; Purge: {flags}; Rate: empty
    uint32_t baud = 0;
};

// The far end and the log of one port; shared by the port object the link
// owns and the test that inspects it.
struct ScriptedLine {
    explicit ScriptedLine(FakeClock& c) : clock(c) {}

    FakeClock& clock;
    std::deque<std::pair<uint32_t, uint8_t>> incoming;  // arrival time, byte
    // Called after every write with the bytes written; may queue answers.
    std::function<void(ScriptedLine&, const std::vector<uint8_t>&)> onWrite;
    std::deque<uint32_t> outQueueReadings;  // what ClearError reports, one per call
    std::vector<WireEvent> events;
    CommTimeouts timeouts;
    LineSettings line;
    bool open = true;
    // A read call that reports failure after it has moved what came, as a
    // driver does when a line error ends the read.
    bool failReads = false;
    bool failWrites = false;
    int shortWriteBy = 0;
    // Bytes the line claims are waiting in the input queue on top of those
    // that have arrived. The link purges a queue only when it is told the
    // queue holds bytes, so with a claim every input purge it asks for
    // reaches the port and the log, and a test can see one that should not
    // have been asked for.
    uint32_t claimedInput = 0;
    // Bytes stuck in the output queue from `stuckFrom` on, until an output
    // purge discards them.
    uint32_t stuckOutput = 0;
    uint32_t stuckFrom = 0;
    // A line rate the port refuses to be set to (0: none), and a port whose
    // queues cannot be set up.
    uint32_t refusedBaud = 0;
    bool failQueueSetup = false;
    // Called when the break is released.
    std::function<void(ScriptedLine&)> onBreakOff;

    // Queues `bytes` to arrive from `delay` ms from now, one per millisecond.
    void Answer(const std::vector<uint8_t>& bytes, uint32_t delay = 1) {
        uint32_t t = clock.NowMs() + delay;
        if (!incoming.empty() && int32_t(incoming.back().first - t) >= 0)
            t = incoming.back().first + 1;
        for (uint8_t b : bytes)
            incoming.emplace_back(t++, b);
    }
    std::vector<std::vector<uint8_t>> Writes() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& e : events)
            if (e.kind == WireEvent::Write)
                out.push_back(e.bytes);
        return out;
    }
    std::vector<uint8_t> AllWritten() const {
        std::vector<uint8_t> out;
        for (const auto& e : events)
            if (e.kind == WireEvent::Write)
                out.insert(out.end(), e.bytes.begin(), e.bytes.end());
        return out;
    }
    size_t Arrived() const {
        size_t n = 0;
        for (const auto& [t, b] : incoming)
            if (int32_t(t - clock.NowMs()) <= 0)
                ++n;
        return n;
    }
};

class ScriptedPort : public SerialPort {
public:
    explicit ScriptedPort(std::shared_ptr<ScriptedLine> line) : line_(std::move(line)) {}
    ~ScriptedPort() override { Close(); }

    bool SetupQueues(uint32_t, uint32_t) override { return !line_->failQueueSetup; }
    bool GetLineSettings(LineSettings& s) override {
        s = line_->line;
        return true;
    }
    bool SetLineSettings(const LineSettings& s) override {
        if (line_->refusedBaud != 0 && s.baudRate == line_->refusedBaud)
            return false;
        line_->line = s;
        line_->events.push_back({WireEvent::Rate, Now(), {}, s.baudRate});
        return true;
    }
    bool GetTimeouts(CommTimeouts& t) override {
        t = line_->timeouts;
        return true;
    }
    bool SetTimeouts(const CommTimeouts& t) override {
        line_->timeouts = t;
        return true;
    }
    bool ClearError(ErrorState* state) override {
        state->errors = 0;
        state->inQueue = uint32_t(line_->Arrived()) + line_->claimedInput;
        state->outQueue = 0;
        if (!line_->outQueueReadings.empty()) {
            state->outQueue = line_->outQueueReadings.front();
            line_->outQueueReadings.pop_front();
        }
        if (line_->stuckOutput != 0 && int32_t(Now() - line_->stuckFrom) >= 0)
            state->outQueue += line_->stuckOutput;
        return true;
    }
    bool Read(uint8_t* dst, uint32_t count, uint32_t* moved) override;
    bool Write(const uint8_t* src, uint32_t count, uint32_t* moved) override;
    bool Purge(unsigned flags) override;
    bool SetBreak() override {
        line_->events.push_back({WireEvent::BreakOn, Now(), {}});
        return true;
    }
    bool ClearBreak() override {
        line_->events.push_back({WireEvent::BreakOff, Now(), {}});
        if (line_->onBreakOff)
            line_->onBreakOff(*line_);
        return true;
    }
    void Close() override {
        if (!closed_)
            line_->events.push_back({WireEvent::Close, Now(), {}});
        closed_ = true;
        line_->open = false;
    }

private:
    uint32_t Now() { return line_->clock.NowMs(); }
    std::shared_ptr<ScriptedLine> line_;
    bool closed_ = false;
};

// Ports 1..9: each either absent or a scripted line. Counts opens.
class ScriptedFactory : public SerialPortFactory {
public:
    explicit ScriptedFactory(FakeClock& clock) : clock_(clock) {}
    std::shared_ptr<ScriptedLine> Attach(int portNumber) {
        auto line = std::make_shared<ScriptedLine>(clock_);
        lines_[portNumber] = line;
        return line;
    }
    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override {
        ++opens[portNumber];
        auto it = lines_.find(portNumber);
        if (it == lines_.end()) {
            failure->portNumber = portNumber;
            failure->systemError = 2;  // ENOENT
            return nullptr;
        }
        it->second->open = true;
        return std::make_unique<ScriptedPort>(it->second);
    }
    std::map<int, int> opens;

private:
    FakeClock& clock_;
    std::map<int, std::shared_ptr<ScriptedLine>> lines_;
};

}  // namespace rm525::testing
