#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "link/clock.h"
#include "link/serial_port.h"

namespace rm525::cli {

// The wire trace: every byte moved, with the milliseconds since the trace
// began and its direction ('>' host to camera, '<' camera to host), and the
// line changes (open, rate, break, purge, close) between them.
class TraceLog {
public:
    TraceLog(std::ostream& out, Clock& clock);

    void Bytes(int port, char direction, const uint8_t* data, uint32_t count);
    void Event(int port, const std::string& what);

private:
    void Stamp(int port);

    std::ostream& out_;
    Clock& clock_;
    uint32_t startMs_;
};

// A serial port that records its traffic in a TraceLog and otherwise does
// exactly what the port it wraps does. A failed call's line carries the
// system's error number (errno, or Windows' own).
class TracingPort : public SerialPort {
public:
    TracingPort(std::unique_ptr<SerialPort> port, int portNumber, TraceLog& log);
    ~TracingPort() override;

    bool SetupQueues(uint32_t inputBytes, uint32_t outputBytes) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool GetTimeouts(CommTimeouts& timeouts) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;
    bool ClearError(ErrorState* state) override;
    bool Read(uint8_t* dst, uint32_t count, uint32_t* moved) override;
    bool Write(const uint8_t* src, uint32_t count, uint32_t* moved) override;
    bool Purge(unsigned flags) override;
    bool SetBreak() override;
    bool ClearBreak() override;
    void Close() override;

private:
    bool Failed(const std::string& what);

    std::unique_ptr<SerialPort> port_;
    int portNumber_;
    TraceLog& log_;
    bool closed_ = false;
};

// Opens ports through another factory and wraps each in a TracingPort.
class TracingPortFactory : public SerialPortFactory {
public:
    TracingPortFactory(SerialPortFactory& inner, TraceLog& log) : inner_(inner), log_(log) {}
    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override;
    bool PassedOverBySearch(int portNumber) override {
        return inner_.PassedOverBySearch(portNumber);
    }

private:
    SerialPortFactory& inner_;
    TraceLog& log_;
};

}  // namespace rm525::cli
