// The serial transport of the camera protocol: opening the port, line settings,
// time-outs and the byte moves between the port and the link's two buffers.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "link/camera_protocol.h"
#include "link/protocol.h"
#include "link/system_error.h"

namespace rm525 {

namespace {
constexpr uint32_t kQueueSize = 2048;
constexpr uint32_t kOpenSettleMs = 100;
constexpr uint32_t kReadIntervalMs = 30;  // a pause longer than this ends a read
constexpr uint32_t kWriteMsPerByte = 50;
constexpr uint32_t kDrainWaitMs = 500;
constexpr uint32_t kBreakSettleMs = 2000;
constexpr uint32_t kFirstFrameDelayMs = 100;

std::unique_ptr<uint8_t[]> ZeroedBuffer() {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[CameraProtocol::kBufferSize]());
}
}  // namespace

CameraProtocol::CameraProtocol(SerialPortFactory& ports, Clock& clock)
    : ports_(ports), clock_(clock) {
    lastActivity_ = clock_.NowMs();
}

// The port object closes itself when it goes, so a link dropped while a port
// is still open never leaves the device held.
CameraProtocol::~CameraProtocol() = default;

uint32_t CameraProtocol::NowMs() {
    return clock_.NowMs();
}

uint32_t CameraProtocol::DelayMs(uint32_t ms) {
    return rm525::DelayMs(clock_, ms);
}

void CameraProtocol::SleepUntilNotBefore(uint32_t timeMs) {
    while (int32_t(NowMs() - timeMs) < 0)
        clock_.SleepUntil(timeMs);
}

bool CameraProtocol::ReadLineError(ErrorState* state) {
    ErrorState ignored;
    return port_ && port_->ClearError(state ? state : &ignored);
}

LinkStatus CameraProtocol::OpenPort(int portNumber) {
    using namespace link_status;
    OpenFailure failure;
    failure.portNumber = portNumber;
    std::unique_ptr<SerialPort> port;
    if (portNumber >= 1 && portNumber <= 9)
        port = ports_.Open(portNumber, &failure);
    else
        failure.systemError = ENOENT;  // 2, "no such file" on either system
    if (!port) {
        openFailures_.push_back(failure);
        return kPortFailure;
    }
    ErrorState state;
    LineSettings line;
    // A port that opened but cannot be set up is closed again, and why is
    // kept, as for one that did not open, so the front end can say so.
    ClearSystemError();
    auto fail = [&](LinkStatus s) {
        failure.systemError = LastSystemError();
        openFailures_.push_back(failure);
        port->Close();
        return s;
    };
    if (!port->SetupQueues(kQueueSize, kQueueSize))
        return fail(kPortFailure);
    if (!port->ClearError(&state))
        return fail(kPortFailure);
    DelayMs(kOpenSettleMs);
    if (!port->GetLineSettings(line))
        return fail(kPortFailure);
    line.baudRate = protocol::kHostBaud[1];
    line.byteSize = 8;
    line.parity = Parity::None;
    line.stopBits = StopBits::One;
    line.binary = true;
    line.parityCheck = false;
    line.abortOnError = true;
    if (!port->SetLineSettings(line))
        return fail(kPortFailure);
    if (!port->ClearError(&state))
        return fail(kPortFailure);

    port_ = std::move(port);
    txBuffer_ = ZeroedBuffer();
    rxBuffer_ = txBuffer_ ? ZeroedBuffer() : nullptr;
    if (!txBuffer_ || !rxBuffer_) {
        // Without its buffers the link cannot use the port: give it back
        // rather than leave a port open that nothing can close properly.
        ClosePort();
        return kNoMemory;
    }
    commandAttempts_ = 3;
    hostRateIndex_ = 1;
    lastActivity_ = NowMs() + kFirstFrameDelayMs;
    return kOk;
}

LinkStatus CameraProtocol::SetHostRate(int rateIndex) {
    using namespace link_status;
    LineSettings line;
    if (!port_ || !port_->GetLineSettings(line))
        return kPortFailure;
    if (!protocol::IsRateIndex(rateIndex))
        return kBadArgument;
    line.baudRate = protocol::kHostBaud[rateIndex];
    PurgeQueues(2);
    if (!port_->SetLineSettings(line)) {
        ReadLineError(nullptr);
        return kPortFailure;
    }
    hostRateIndex_ = int16_t(rateIndex);
    return kOk;
}

bool CameraProtocol::SetWriteTimeouts() {
    CommTimeouts t;
    if (!port_->GetTimeouts(t))
        return false;
    t.writeTotalMultiplier = kWriteMsPerByte;
    t.writeTotalConstant = 0;
    return port_->SetTimeouts(t);
}

bool CameraProtocol::SetReadTimeouts(uint32_t totalMs) {
    CommTimeouts t;
    if (!port_->GetTimeouts(t))
        return false;
    t.readInterval = kReadIntervalMs;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = totalMs;
    return port_->SetTimeouts(t);
}

// Waits for bytes still queued from an earlier write to leave; each of them
// earns one more millisecond. Sleeps between polls rather than spinning.
LinkStatus CameraProtocol::WaitOutputQueue(uint32_t timeoutMs) {
    using namespace link_status;
    ErrorState state;
    if (!ReadLineError(&state))
        return kPortFailure;
    const uint32_t deadline = NowMs() + timeoutMs + state.outQueue;
    while (state.outQueue != 0) {
        if (int32_t(NowMs() - deadline) > 0)
            return kTimeout;
        clock_.SleepUntil(NowMs() + 1);
        if (!ReadLineError(&state))
            return kPortFailure;
    }
    return kOk;
}

LinkStatus CameraProtocol::Transmit(uint32_t timeoutMs) {
    using namespace link_status;
    if (!port_)
        return kPortFailure;
    if (const LinkStatus s = WaitOutputQueue(timeoutMs); s != kOk)
        return s;
    uint32_t moved = 0;
    if (!SetWriteTimeouts() || !port_->Write(txBuffer_.get(), txCount_, &moved)) {
        ReadLineError(nullptr);
        return kPortFailure;
    }
    // Bytes that did not leave within the allowance are lost to the camera.
    return moved < txCount_ ? kTimeout : kOk;
}

LinkStatus CameraProtocol::Receive(uint32_t timeoutMs) {
    using namespace link_status;
    if (!port_)
        return kPortFailure;
    const uint32_t wanted = std::min<uint32_t>(rxCount_, kBufferSize);
    if (!SetReadTimeouts(timeoutMs) || !ReadLineError(nullptr))
        return kPortFailure;
    uint32_t got = 0;
    const bool readOk = port_->Read(rxBuffer_.get(), wanted, &got);
    // A failed read whose port cannot even report its state any more is a
    // line that has gone (adapter unplugged, hang-up): no retry can help.
    if (!readOk && !ReadLineError(nullptr))
        return kPortFailure;
    // A short read is a time-out even when a line error ended it: the
    // packet layer asks for the packet again.
    if (got < wanted) {
        if (got > 0) {
            rxCount_ = uint16_t(got);
            PurgeQueues(1);
        }
        return kTimeout;
    }
    return readOk ? kOk : kPortFailure;
}

LinkStatus CameraProtocol::DrainInput() {
    using namespace link_status;
    DelayMs(kDrainWaitMs);
    ErrorState state;
    if (!ReadLineError(&state))
        return kPortFailure;
    if (state.inQueue == 0)
        return kOk;
    rxCount_ = uint16_t(std::min<uint32_t>(state.inQueue, kBufferSize));
    uint32_t got = 0;
    port_->Read(rxBuffer_.get(), rxCount_, &got);
    return kTimeout;
}

void CameraProtocol::PurgeQueues(int mode) {
    ErrorState state;
    if (!ReadLineError(&state))
        return;
    bool failed = false;
    if ((mode == 1 || mode == 2) && state.inQueue > 0)
        failed |= !port_->Purge(kPurgeInput);
    if ((mode == 0 || mode == 2) && state.outQueue > 0)
        failed |= !port_->Purge(kPurgeOutput);
    if (failed)
        ReadLineError(nullptr);
}

LinkStatus CameraProtocol::SetBreak(int mode) {
    using namespace link_status;
    if (mode != 0 && mode != 1)
        return kBadArgument;
    if (!port_)
        return kPortFailure;
    if (mode == 0)
        return port_->SetBreak() ? kOk : kPortFailure;
    if (!port_->ClearBreak()) {
        DelayMs(kBreakSettleMs);
        return kPortFailure;
    }
    const LinkStatus result = SetHostRate(1);
    DelayMs(kBreakSettleMs);
    return result;
}

LinkStatus CameraProtocol::ClosePort() {
    if (port_) {
        PurgeQueues(2);
        port_->Close();
        port_.reset();
    }
    hostRateIndex_ = 1;
    txBuffer_.reset();
    rxBuffer_.reset();
    return link_status::kOk;
}

LinkStatus CameraProtocol::ClosePortIfOpen() {
    return port_ ? ClosePort() : link_status::kOk;
}

}  // namespace rm525
