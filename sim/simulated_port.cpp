#include "sim/simulated_port.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <string>

#include "sim/line.h"

namespace rm525::sim {

namespace {
constexpr uint64_t kUsPerMs = 1000;
constexpr uint32_t kReturnAtOnce = std::numeric_limits<uint32_t>::max();
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
}  // namespace

std::vector<uint8_t> WireBytes(const std::vector<WireByte>& log, WireDirection direction) {
    std::vector<uint8_t> bytes;
    for (const WireByte& b : log) {
        if (b.direction == direction)
            bytes.push_back(b.value);
    }
    return bytes;
}

// ---- SimulatedPort ---------------------------------------------------------

SimulatedPort::SimulatedPort(std::shared_ptr<PortRecord> record, VirtualClock& clock)
    : record_(std::move(record)), clock_(clock) {
    // Whatever the camera said while nobody listened is gone.
    if (record_->camera) {
        record_->camera->RunUntil(clock_.NowUs());
        record_->camera->DropOutputUntil(clock_.NowUs());
    }
}

SimulatedPort::~SimulatedPort() {
    Close();
}

void SimulatedPort::Close() {
    if (!open_)
        return;
    open_ = false;
    record_->open = false;
    ++record_->closes;
}

void SimulatedPort::Log(WireDirection direction, uint64_t timeUs, uint8_t value, bool garbled) {
    if (!record_->logging)
        return;
    record_->log.push_back(WireByte{direction, timeUs, clock_.MsAt(timeUs), value, garbled});
}

void SimulatedPort::Pump() {
    CameraModel* camera = record_->camera.get();
    if (!camera)
        return;
    const uint64_t now = clock_.NowUs();
    camera->RunUntil(now);
    while (camera->HasOutput() && camera->PeekOutput().timeUs <= now) {
        const CameraByte b = camera->PopOutput();
        const bool garbled = b.lineError || !line::BaudsMatch(b.baud, settings_.baudRate);
        Log(WireDirection::CameraToHost, b.timeUs, b.value, garbled);
        if (input_.size() >= inputQueueSize_) {
            errors_ |= line::kOverrunError;
            continue;
        }
        if (garbled)
            errors_ |= line::kFramingError;
        input_.push_back(garbled ? line::Garble(b.value) : b.value);
    }
}

std::optional<uint64_t> SimulatedPort::NextCameraEventUs() const {
    const CameraModel* camera = record_->camera.get();
    if (!camera)
        return std::nullopt;
    std::optional<uint64_t> next = camera->NextTimerUs();
    if (camera->HasOutput()) {
        const uint64_t t = camera->PeekOutput().timeUs;
        if (!next || t < *next)
            next = t;
    }
    return next;
}

bool SimulatedPort::SetupQueues(uint32_t inputBytes, uint32_t outputBytes) {
    (void)outputBytes;
    if (!open_)
        return false;
    inputQueueSize_ = std::max<uint32_t>(inputBytes, 1);
    return true;
}

bool SimulatedPort::GetLineSettings(LineSettings& settings) {
    if (!open_)
        return false;
    settings = settings_;
    return true;
}

bool SimulatedPort::SetLineSettings(const LineSettings& settings) {
    if (!open_ || settings.baudRate == 0)
        return false;
    Pump();  // what has arrived was received at the old rate
    settings_ = settings;
    record_->hostBaud = settings.baudRate;
    return true;
}

bool SimulatedPort::GetTimeouts(CommTimeouts& timeouts) {
    if (!open_)
        return false;
    timeouts = timeouts_;
    return true;
}

bool SimulatedPort::SetTimeouts(const CommTimeouts& timeouts) {
    if (!open_)
        return false;
    timeouts_ = timeouts;
    return true;
}

bool SimulatedPort::ClearError(ErrorState* state) {
    if (!open_)
        return false;
    Pump();
    if (state) {
        state->errors = errors_;
        state->inQueue = static_cast<uint32_t>(input_.size());
        state->outQueue = 0;  // writes return only once their bytes have left
    }
    errors_ = 0;
    return true;
}

bool SimulatedPort::Read(uint8_t* dst, uint32_t count, uint32_t* moved) {
    uint32_t got = 0;
    if (moved)
        *moved = 0;
    if (!open_)
        return false;
    Pump();
    if (Refused())
        return false;

    const uint64_t start = clock_.NowUs();
    const CommTimeouts& t = timeouts_;
    const bool atOnce =
        t.readInterval == kReturnAtOnce && t.readTotalConstant == 0 && t.readTotalMultiplier == 0;
    const uint64_t totalMs =
        uint64_t{t.readTotalConstant} + uint64_t{t.readTotalMultiplier} * count;
    const uint64_t deadline = totalMs != 0 ? start + totalMs * kUsPerMs : kNever;
    uint64_t lastByteUs = start;
    bool ok = true;

    while (got < count) {
        if (Refused()) {
            ok = false;  // the driver aborts the read at a line error
            break;
        }
        if (!input_.empty()) {
            dst[got++] = input_.front();
            input_.pop_front();
            lastByteUs = std::max(lastByteUs, clock_.NowUs());
            continue;
        }
        if (atOnce)
            break;
        uint64_t limit = deadline;
        if (got > 0 && t.readInterval != 0 && t.readInterval != kReturnAtOnce) {
            limit = std::min(limit, lastByteUs + uint64_t{t.readInterval} * kUsPerMs);
        }
        const std::optional<uint64_t> next = NextCameraEventUs();
        if (next && *next <= limit) {
            clock_.AdvanceToUs(*next);
            Pump();
            continue;
        }
        // Nothing arrives in time. A read with no limit at all would wait for
        // ever; with nothing coming, it ends here instead.
        if (limit != kNever)
            clock_.AdvanceToUs(limit);
        break;
    }
    if (moved)
        *moved = got;
    return ok;
}

bool SimulatedPort::Write(const uint8_t* src, uint32_t count, uint32_t* moved) {
    if (moved)
        *moved = 0;
    if (!open_)
        return false;
    Pump();
    if (Refused())
        return false;
    const uint64_t start = clock_.NowUs();
    const uint64_t byteUs = line::ByteTimeUs(settings_.baudRate);
    const uint64_t allowanceMs =
        uint64_t{timeouts_.writeTotalMultiplier} * count + timeouts_.writeTotalConstant;
    CameraModel* camera = record_->camera.get();
    uint32_t sent = 0;
    for (; sent < count; ++sent) {
        const uint64_t at = start + (sent + 1) * byteUs;
        if (allowanceMs != 0 && at - start > allowanceMs * kUsPerMs)
            break;
        Log(WireDirection::HostToCamera, at, src[sent],
            camera && !inBreak_ && !line::BaudsMatch(settings_.baudRate, camera->Baud()));
        if (camera && !inBreak_)
            camera->Receive(at, src[sent], settings_.baudRate);
    }
    clock_.AdvanceToUs(start + sent * byteUs);
    Pump();
    if (moved)
        *moved = sent;
    return true;
}

bool SimulatedPort::Purge(unsigned flags) {
    if (!open_)
        return false;
    Pump();
    if (flags & kPurgeInput)
        input_.clear();  // bytes still on their way are not touched
    return true;
}

bool SimulatedPort::SetBreak() {
    if (!open_)
        return false;
    if (!inBreak_) {
        inBreak_ = true;
        breakStartUs_ = clock_.NowUs();
    }
    return true;
}

bool SimulatedPort::ClearBreak() {
    if (!open_)
        return false;
    if (inBreak_) {
        inBreak_ = false;
        if (record_->camera)
            record_->camera->LineBreak(breakStartUs_, clock_.NowUs());
    }
    return true;
}

// ---- SimulatedPortFactory --------------------------------------------------

SimulatedPortFactory::SimulatedPortFactory(VirtualClock& clock) : clock_(clock) {
    for (auto& r : records_)
        r = std::make_shared<PortRecord>();
}

CameraModel& SimulatedPortFactory::AttachCamera(int port, const CameraSetup& setup) {
    AttachCamera(port, std::make_shared<CameraModel>(setup));
    return *records_.at(port)->camera;
}

void SimulatedPortFactory::AttachCamera(int port, std::shared_ptr<CameraModel> camera) {
    PortRecord& r = MutableRecord(port);
    r.attachment = PortRecord::Attachment::Camera;
    r.camera = std::move(camera);
}

void SimulatedPortFactory::AttachSilentDevice(int port) {
    PortRecord& r = MutableRecord(port);
    r.attachment = PortRecord::Attachment::SilentDevice;
    r.camera.reset();
}

void SimulatedPortFactory::Detach(int port) {
    PortRecord& r = MutableRecord(port);
    r.attachment = PortRecord::Attachment::Nothing;
    r.camera.reset();
}

void SimulatedPortFactory::SetHeld(int port, bool held) {
    MutableRecord(port).held = held;
}

CameraModel* SimulatedPortFactory::Camera(int port) {
    return MutableRecord(port).camera.get();
}

const PortRecord& SimulatedPortFactory::Record(int port) const {
    return *records_.at(port);
}

PortRecord& SimulatedPortFactory::MutableRecord(int port) {
    if (port < 1 || port > kPortCount)
        port = 0;  // record 0 collects invalid numbers
    return *records_[port];
}

bool SimulatedPortFactory::AnyPortOpen() const {
    return std::any_of(records_.begin(), records_.end(),
                       [](const std::shared_ptr<PortRecord>& r) { return r->open; });
}

std::unique_ptr<SerialPort> SimulatedPortFactory::Open(int portNumber, OpenFailure* failure) {
    auto fail = [&](std::string device, int error) -> std::unique_ptr<SerialPort> {
        if (failure)
            *failure = OpenFailure{portNumber, std::move(device), error};
        return nullptr;
    };
    if (portNumber < 1 || portNumber > kPortCount)
        return fail("", ENOENT);
    PortRecord& r = *records_[portNumber];
    ++r.openAttempts;
    const std::string device = "sim:COM" + std::to_string(portNumber);
    if (r.attachment == PortRecord::Attachment::Nothing)
        return fail("", ENOENT);
    if (r.held || r.open)
        return fail(device, EBUSY);
    r.open = true;
    ++r.opens;
    return std::make_unique<SimulatedPort>(records_[portNumber], clock_);
}

}  // namespace rm525::sim
