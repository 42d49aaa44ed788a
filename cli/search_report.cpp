#include "cli/search_report.h"

#include <cerrno>
#include <ostream>

#include "link/protocol.h"
#include "link/system_error.h"

namespace rm525::cli {

namespace {

// A port that tells the report when it closes, and otherwise is the port it
// wraps; except that once the program is about to be ended, a port that has been asked
// and has not answered takes no further write, so that the link gives it up
// at its next exchange instead of waiting out its time-outs and recovery
// (the console window's close leaves a few seconds). A camera that answers
// is left to finish, so that it can be released.
class WatchedPort : public SerialPort {
public:
    WatchedPort(std::unique_ptr<SerialPort> port, int portNumber, SearchReport& report)
        : port_(std::move(port)), portNumber_(portNumber), report_(report) {}
    ~WatchedPort() override {
        if (!closed_)
            report_.PortClosed(portNumber_);
    }

    bool SetupQueues(uint32_t in, uint32_t out) override { return port_->SetupQueues(in, out); }
    bool GetLineSettings(LineSettings& s) override { return port_->GetLineSettings(s); }
    bool SetLineSettings(const LineSettings& s) override { return port_->SetLineSettings(s); }
    bool GetTimeouts(CommTimeouts& t) override { return port_->GetTimeouts(t); }
    bool SetTimeouts(const CommTimeouts& t) override { return port_->SetTimeouts(t); }
    bool ClearError(ErrorState* state) override { return port_->ClearError(state); }
    bool Read(uint8_t* dst, uint32_t count, uint32_t* moved) override {
        const bool ok = port_->Read(dst, count, moved);
        answered_ = answered_ || *moved > 0;
        silent_ = !answered_;
        return ok;
    }
    bool Write(const uint8_t* src, uint32_t count, uint32_t* moved) override {
        if (silent_ && report_.Hurried()) {
            *moved = 0;
            SetSystemError(ECANCELED);
            return false;
        }
        if (count == protocol::kFrameSize && src[protocol::kFrameSize - 1] == protocol::kFrameEnd)
            report_.FrameSent(portNumber_, src[0]);
        return port_->Write(src, count, moved);
    }
    bool Purge(unsigned flags) override { return port_->Purge(flags); }
    bool SetBreak() override {
        report_.BreakSent(portNumber_);
        return port_->SetBreak();
    }
    bool ClearBreak() override { return port_->ClearBreak(); }
    void Close() override {
        port_->Close();
        if (!closed_)
            report_.PortClosed(portNumber_);
        closed_ = true;
    }

private:
    std::unique_ptr<SerialPort> port_;
    int portNumber_;
    SearchReport& report_;
    bool closed_ = false;
    bool answered_ = false;
    bool silent_ = false;  // read from and never answered
};

}  // namespace

SearchReport::SearchReport(SerialPortFactory& inner, std::ostream& out, const StopRequest& stop,
                           DeviceOf deviceOf, Reason reason)
    : inner_(inner),
      out_(out),
      stop_(stop),
      deviceOf_(std::move(deviceOf)),
      reason_(std::move(reason)) {}

std::string SearchReport::Label(int portNumber, const std::string& device) const {
    std::string text = "COM" + std::to_string(portNumber);
    if (!device.empty())
        text += " (" + device + ")";
    return text;
}

void SearchReport::Begin() {
    searching_ = true;
    stopped_ = false;
    unanswered_ = false;
}

// What the port sees tells how the search goes on a port that does not
// answer at once: the camera's status is read when the update handshake went
// unanswered, a break means the line is being reset. Each is said once per
// port, as it happens, since the recovery takes seconds.
void SearchReport::Say(int portNumber, unsigned event, const char* text) {
    if (!searching_ || portNumber != openPort_ || (said_ & event) != 0)
        return;
    said_ |= event;
    out_ << Label(portNumber, openDevice_) << ": " << text << '\n' << std::flush;
}

void SearchReport::FrameSent(int portNumber, uint8_t command) {
    switch (command) {
        case protocol::kCmdQueryStatus:
            Say(portNumber, kSaidStatus,
                "no answer in update mode at 9600 bit/s; reading the camera's status");
            break;
        case protocol::kCmdEnterUpdateMode:
            Say(portNumber, kSaidUpdateMode, "camera read; switching it into update mode");
            break;
        default:
            break;
    }
}

void SearchReport::BreakSent(int portNumber) {
    Say(portNumber, kSaidBreak,
        "no answer; resetting the line with a break (a camera left in update mode listens at "
        "38400 bit/s)");
}

void SearchReport::End(bool found) {
    if (searching_ && found && openPort_ != 0)
        out_ << "Camera found on " << Label(openPort_, openDevice_) << ".\n" << std::flush;
    searching_ = false;
}

std::unique_ptr<SerialPort> SearchReport::Open(int portNumber, OpenFailure* failure) {
    if (searching_ && stop_.Any()) {
        if (!stopped_)
            out_ << "Search stopped before COM" << portNumber << ".\n" << std::flush;
        stopped_ = true;
        if (failure) {
            failure->portNumber = portNumber;
            failure->device.clear();
            failure->systemError = ECANCELED;
        }
        return nullptr;
    }
    OpenFailure why;
    std::unique_ptr<SerialPort> port = inner_.Open(portNumber, &why);
    if (!port) {
        if (searching_) {
            if (why.device.empty()) {
                out_ << "COM" << portNumber << ": no device mapped\n";
            } else {
                out_ << Label(portNumber, why.device) << ": could not be opened: " << reason_(why)
                     << '\n';
            }
            out_ << std::flush;
        }
        if (failure)
            *failure = why;
        return nullptr;
    }
    openPort_ = portNumber;
    openDevice_ = deviceOf_ ? deviceOf_(portNumber) : std::string();
    said_ = 0;
    return std::make_unique<WatchedPort>(std::move(port), portNumber, *this);
}

void SearchReport::PortClosed(int portNumber) {
    if (searching_ && portNumber == openPort_) {
        out_ << Label(portNumber, openDevice_) << ": opened, no camera answered\n" << std::flush;
        unanswered_ = true;
    }
    if (portNumber == openPort_) {
        openPort_ = 0;
        openDevice_.clear();
    }
}

}  // namespace rm525::cli
