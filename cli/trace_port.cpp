#include "cli/trace_port.h"

#include <cstdio>

#include "link/system_error.h"

namespace rm525::cli {

namespace {
constexpr uint32_t kBytesPerLine = 16;
}

TraceLog::TraceLog(std::ostream& out, Clock& clock)
    : out_(out), clock_(clock), startMs_(clock.NowMs()) {}

void TraceLog::Stamp(int port) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10u ms COM%d ", clock_.NowMs() - startMs_, port);
    out_ << stamp;
}

void TraceLog::Bytes(int port, char direction, const uint8_t* data, uint32_t count) {
    for (uint32_t start = 0; start < count; start += kBytesPerLine) {
        Stamp(port);
        out_ << direction;
        char hex[4];
        for (uint32_t i = start; i < count && i < start + kBytesPerLine; ++i) {
            std::snprintf(hex, sizeof hex, " %02X", data[i]);
            out_ << hex;
        }
        out_ << '\n';
    }
    out_.flush();
}

void TraceLog::Event(int port, const std::string& what) {
    Stamp(port);
    out_ << "- " << what << '\n' << std::flush;
}

TracingPort::TracingPort(std::unique_ptr<SerialPort> port, int portNumber, TraceLog& log)
    : port_(std::move(port)), portNumber_(portNumber), log_(log) {}

TracingPort::~TracingPort() {
    if (!closed_)
        log_.Event(portNumber_, "closed");
}

// The line of a failed call carries the system's own error number; the error
// is left as it was for the caller.
bool TracingPort::Failed(const std::string& what) {
    const int error = LastSystemError();
    log_.Event(portNumber_, what + " FAILED (system error " + std::to_string(error) + ")");
    SetSystemError(error);
    return false;
}

bool TracingPort::SetupQueues(uint32_t in, uint32_t out) {
    return port_->SetupQueues(in, out) || Failed("queues");
}
bool TracingPort::GetLineSettings(LineSettings& s) {
    return port_->GetLineSettings(s) || Failed("line settings");
}

bool TracingPort::SetLineSettings(const LineSettings& s) {
    const std::string line = "line " + std::to_string(s.baudRate) + " bit/s";
    if (!port_->SetLineSettings(s))
        return Failed(line);
    log_.Event(portNumber_, line);
    return true;
}

bool TracingPort::GetTimeouts(CommTimeouts& t) {
    return port_->GetTimeouts(t) || Failed("time-outs");
}
bool TracingPort::SetTimeouts(const CommTimeouts& t) {
    return port_->SetTimeouts(t) || Failed("time-outs");
}

bool TracingPort::ClearError(ErrorState* state) {
    if (!port_->ClearError(state))
        return Failed("error state");
    if (state && state->errors != 0) {
        log_.Event(portNumber_, "line errors " + std::to_string(state->errors));
    }
    return true;
}

bool TracingPort::Read(uint8_t* dst, uint32_t count, uint32_t* moved) {
    *moved = 0;
    const bool ok = port_->Read(dst, count, moved);
    if (*moved > 0)
        log_.Bytes(portNumber_, '<', dst, *moved);
    return ok || Failed("read");
}

bool TracingPort::Write(const uint8_t* src, uint32_t count, uint32_t* moved) {
    *moved = 0;
    const bool ok = port_->Write(src, count, moved);
    if (*moved > 0)
        log_.Bytes(portNumber_, '>', src, *moved);
    if (!ok)
        return Failed("write");
    if (*moved != count)
        log_.Event(portNumber_, "write short: " + std::to_string(*moved) + " of " +
                                    std::to_string(count) + " bytes");
    return true;
}

bool TracingPort::Purge(unsigned flags) {
    log_.Event(portNumber_, "purge " + std::to_string(flags));
    return port_->Purge(flags) || Failed("purge");
}

bool TracingPort::SetBreak() {
    log_.Event(portNumber_, "break on");
    return port_->SetBreak() || Failed("break on");
}

bool TracingPort::ClearBreak() {
    log_.Event(portNumber_, "break off");
    return port_->ClearBreak() || Failed("break off");
}

void TracingPort::Close() {
    port_->Close();
    if (!closed_)
        log_.Event(portNumber_, "closed");
    closed_ = true;
}

std::unique_ptr<SerialPort> TracingPortFactory::Open(int portNumber, OpenFailure* failure) {
    std::unique_ptr<SerialPort> port = inner_.Open(portNumber, failure);
    if (!port) {
        const std::string device =
            failure && !failure->device.empty() ? failure->device : "no device";
        const int error = failure ? failure->systemError : 0;
        log_.Event(portNumber,
                   "open " + device + " FAILED (system error " + std::to_string(error) + ")");
        return nullptr;
    }
    log_.Event(portNumber, "opened");
    return std::make_unique<TracingPort>(std::move(port), portNumber, log_);
}

}  // namespace rm525::cli
