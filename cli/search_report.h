#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/stop_request.h"
#include "link/serial_port.h"

namespace rm525::cli {

// Watches the ports a camera search opens, through the factory the camera
// link opens them with, and says what became of each: one line per port on
// the terminal, as it happens. It also ends a search that the user stopped:
// once a stop is asked, no further port is opened, so the search ends at the
// next port boundary with the port it was trying already closed.
//
// Outside a search (between Begin and End) it passes everything through
// unchanged and says nothing.
class SearchReport : public SerialPortFactory {
public:
    using DeviceOf = std::function<std::string(int portNumber)>;
    using Reason = std::function<std::string(const OpenFailure&)>;

    SearchReport(SerialPortFactory& inner, std::ostream& out, const StopRequest& stop,
                 DeviceOf deviceOf, Reason reason);

    void Begin();
    // `found`: the search ended with the camera connected.
    void End(bool found);
    // The search was ended by a stop request.
    bool Stopped() const { return stopped_; }
    // A search is running and the program is about to be ended.
    bool Hurried() const { return searching_ && stop_.endingSoon.load(); }
    // The port currently open, 0 when none, and its name with its device.
    int OpenPort() const { return openPort_; }
    std::string OpenPortLabel() const { return Label(openPort_, openDevice_); }

    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override;
    bool PassedOverBySearch(int portNumber) override {
        return inner_.PassedOverBySearch(portNumber);
    }

    // A port was opened during the last search and no camera answered on it.
    bool AnyUnanswered() const { return unanswered_; }

    // Called by the watched ports.
    void PortClosed(int portNumber);
    void FrameSent(int portNumber, uint8_t command);
    void BreakSent(int portNumber);

private:
    enum : unsigned { kSaidStatus = 1, kSaidUpdateMode = 2, kSaidBreak = 4 };
    void Say(int portNumber, unsigned event, const char* text);

    std::string Label(int portNumber, const std::string& device) const;

    SerialPortFactory& inner_;
    std::ostream& out_;
    const StopRequest& stop_;
    DeviceOf deviceOf_;
    Reason reason_;
    bool searching_ = false;
    bool stopped_ = false;
    bool unanswered_ = false;
    int openPort_ = 0;
    std::string openDevice_;
    unsigned said_ = 0;  // kSaid... flags: what has been said about the open port
};

}  // namespace rm525::cli
