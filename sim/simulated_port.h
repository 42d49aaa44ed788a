#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "link/serial_port.h"
#include "sim/camera_model.h"
#include "sim/virtual_clock.h"

namespace rm525::sim {

enum class WireDirection { HostToCamera, CameraToHost };

// One byte on the line as the simulation saw it.
struct WireByte {
    WireDirection direction;
    uint64_t timeUs;  // last bit on the line, virtual microseconds
    uint32_t timeMs;  // the same moment on the link's 32-bit millisecond clock
    uint8_t value;    // as sent
    bool garbled;     // the receiver listened at another rate, or the line damaged it
};

// What one port number is attached to and what happened to it.
struct PortRecord {
    enum class Attachment { Nothing, SilentDevice, Camera };
    Attachment attachment = Attachment::Nothing;
    bool held = false;     // another program holds the port: opening it fails with EBUSY
    int openAttempts = 0;  // every Open call, successful or not
    int opens = 0;         // successful opens
    int closes = 0;
    bool open = false;
    uint32_t hostBaud = 0;  // the line rate the host last set on the port
    std::shared_ptr<CameraModel> camera;
    bool logging = true;
    std::vector<WireByte> log;
};

// Bytes of one direction from a wire log, in order.
std::vector<uint8_t> WireBytes(const std::vector<WireByte>& log, WireDirection direction);

class SimulatedPortFactory;

// A serial port whose far end is a CameraModel (or a device that never
// answers), on a virtual clock. It behaves as the platform driver does as the
// link sees it: writes return when their bytes have left, reads end on the
// total time-out or on a gap longer than the interval time-out, queued input
// is counted, purged and read, and a byte received at the wrong rate (or
// damaged on the line) raises a framing error that, with abort-on-error, ends
// the read before that byte and refuses I/O until cleared.
class SimulatedPort : public SerialPort {
public:
    SimulatedPort(std::shared_ptr<PortRecord> record, VirtualClock& clock);
    ~SimulatedPort() override;

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

    bool IsOpen() const { return open_; }
    bool InBreak() const { return inBreak_; }

private:
    // Moves the camera's bytes that have arrived by now into the input queue.
    void Pump();
    std::optional<uint64_t> NextCameraEventUs() const;
    void Log(WireDirection direction, uint64_t timeUs, uint8_t value, bool garbled);
    bool Refused() const { return settings_.abortOnError && errors_ != 0; }

    std::shared_ptr<PortRecord> record_;
    VirtualClock& clock_;
    bool open_ = true;
    LineSettings settings_;
    CommTimeouts timeouts_;
    uint32_t inputQueueSize_ = 4096;
    std::deque<uint8_t> input_;  // arrived and not yet read
    uint32_t errors_ = 0;
    bool inBreak_ = false;
    uint64_t breakStartUs_ = 0;
};

// Maps the port numbers 1..9 to nothing, a silent device or a camera, all on
// one virtual clock. The records stay readable after the ports are closed;
// ports must not outlive the factory's clock.
class SimulatedPortFactory : public SerialPortFactory {
public:
    static constexpr int kPortCount = 9;

    explicit SimulatedPortFactory(VirtualClock& clock);

    // Puts a new camera on `port` and returns it.
    CameraModel& AttachCamera(int port, const CameraSetup& setup = CameraSetup{});
    void AttachCamera(int port, std::shared_ptr<CameraModel> camera);
    void AttachSilentDevice(int port);
    void Detach(int port);
    void SetHeld(int port, bool held);

    std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) override;

    CameraModel* Camera(int port);
    const PortRecord& Record(int port) const;
    PortRecord& MutableRecord(int port);
    bool AnyPortOpen() const;
    VirtualClock& Clock() { return clock_; }

private:
    VirtualClock& clock_;
    std::array<std::shared_ptr<PortRecord>, kPortCount + 1> records_;
};

}  // namespace rm525::sim
