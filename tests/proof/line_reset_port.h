#pragma once

// A port decorator that lets a test act on the camera at the moment the host
// sends a chosen command frame, before the camera hears it: the camera can
// fall back to 9600 bit/s behind the host's back, as one does after a power
// dip.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "link/protocol.h"
#include "link/serial_port.h"

namespace rm525 {

// The `occurrence`-th frame with this command (and parameter 1, when set).
struct FrameMatch {
    uint8_t command = 0;
    std::optional<uint16_t> param1;
    int occurrence = 1;
};

class LineResetTrigger {
public:
    void Arm(FrameMatch match, std::function<void()> action) {
        match_ = match;
        action_ = std::move(action);
        seen_ = 0;
    }
    void Disarm() { action_ = nullptr; }
    // Called with every write before it reaches the line.
    void OnWrite(const uint8_t* data, uint32_t count) {
        if (!action_ || count != protocol::kFrameSize || data[7] != protocol::kFrameEnd ||
            data[0] != match_.command)
            return;
        const uint16_t param1 = static_cast<uint16_t>(data[2] << 8 | data[3]);
        if (match_.param1 && *match_.param1 != param1)
            return;
        if (++seen_ == match_.occurrence) {
            auto action = std::move(action_);
            action_ = nullptr;
            action();
        }
    }

private:
    FrameMatch match_;
    std::function<void()> action_;
    int seen_ = 0;
};

class LineResetPort : public SerialPort {
public:
    LineResetPort(std::unique_ptr<SerialPort> port, LineResetTrigger& trigger)
        : port_(std::move(port)), trigger_(trigger) {}
    bool SetupQueues(uint32_t in, uint32_t out) override { return port_->SetupQueues(in, out); }
    bool GetLineSettings(LineSettings& s) override { return port_->GetLineSettings(s); }
    bool SetLineSettings(const LineSettings& s) override { return port_->SetLineSettings(s); }
    bool GetTimeouts(CommTimeouts& t) override { return port_->GetTimeouts(t); }
    bool SetTimeouts(const CommTimeouts& t) override { return port_->SetTimeouts(t); }
    bool ClearError(ErrorState* s) override { return port_->ClearError(s); }
    bool Read(uint8_t* dst, uint32_t n, uint32_t* moved) override {
        return port_->Read(dst, n, moved);
    }
    bool Write(const uint8_t* src, uint32_t n, uint32_t* moved) override {
        trigger_.OnWrite(src, n);
        return port_->Write(src, n, moved);
    }
    bool Purge(unsigned flags) override { return port_->Purge(flags); }
    bool SetBreak() override { return port_->SetBreak(); }
    bool ClearBreak() override { return port_->ClearBreak(); }
    void Close() override { port_->Close(); }

private:
    std::unique_ptr<SerialPort> port_;
    LineResetTrigger& trigger_;
};

class LineResetFactory : public SerialPortFactory {
public:
    explicit LineResetFactory(SerialPortFactory& inner) : inner_(inner) {}
    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override {
        auto port = inner_.Open(portNumber, failure);
        if (!port)
            return nullptr;
        return std::make_unique<LineResetPort>(std::move(port), trigger_);
    }
    LineResetTrigger& trigger() { return trigger_; }

private:
    SerialPortFactory& inner_;
    LineResetTrigger trigger_;
};

}  // namespace rm525
