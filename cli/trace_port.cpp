#include "cli/trace_port.h"

#include <cstdio>
#include <cstring>

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

bool TracingPort::SetupQueues(uint32_t in, uint32_t out) {
    return port_->SetupQueues(in, out);
}
bool TracingPort::GetLineSettings(LineSettings& s) {
    return port_->GetLineSettings(s);
}

bool TracingPort::SetLineSettings(const LineSettings& s) {
    const bool ok = port_->SetLineSettings(s);
    log_.Event(portNumber_,
               "line " + std::to_string(s.baudRate) + " bit/s" + (ok ? "" : " FAILED"));
    return ok;
}

bool TracingPort::GetTimeouts(CommTimeouts& t) {
    return port_->GetTimeouts(t);
}
bool TracingPort::SetTimeouts(const CommTimeouts& t) {
    return port_->SetTimeouts(t);
}

bool TracingPort::ClearError(ErrorState* state) {
    const bool ok = port_->ClearError(state);
    if (ok && state && state->errors != 0) {
        log_.Event(portNumber_, "line errors " + std::to_string(state->errors));
    }
    return ok;
}

bool TracingPort::Read(uint8_t* dst, uint32_t count, uint32_t* moved) {
    *moved = 0;
    const bool ok = port_->Read(dst, count, moved);
    if (*moved > 0)
        log_.Bytes(portNumber_, '<', dst, *moved);
    if (!ok)
        log_.Event(portNumber_, "read FAILED");
    return ok;
}

bool TracingPort::Write(const uint8_t* src, uint32_t count, uint32_t* moved) {
    *moved = 0;
    const bool ok = port_->Write(src, count, moved);
    if (*moved > 0)
        log_.Bytes(portNumber_, '>', src, *moved);
    if (!ok || *moved != count)
        log_.Event(portNumber_, "write FAILED");
    return ok;
}

bool TracingPort::Purge(unsigned flags) {
    log_.Event(portNumber_, "purge " + std::to_string(flags));
    return port_->Purge(flags);
}

bool TracingPort::SetBreak() {
    log_.Event(portNumber_, "break on");
    return port_->SetBreak();
}

bool TracingPort::ClearBreak() {
    log_.Event(portNumber_, "break off");
    return port_->ClearBreak();
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
        log_.Event(portNumber, "open " + device + " FAILED: " + std::strerror(error));
        return nullptr;
    }
    log_.Event(portNumber, "opened");
    return std::make_unique<TracingPort>(std::move(port), portNumber, log_);
}

}  // namespace rm525::cli
