#include "sim/camera_model.h"

#include <algorithm>

#include "sim/firmware_maker.h"
#include "sim/line.h"

namespace rm525::sim {

namespace p = protocol;

namespace {
constexpr uint64_t kUsPerMs = 1000;
// A pause counts as a gap only when it is longer than the limit.
constexpr uint64_t kJustOver = 1;
constexpr uint8_t kErasedByte = 0xFF;
constexpr uint16_t kArea1 = 1;
constexpr uint16_t kArea2 = 2;
}  // namespace

CameraModel::CameraModel(const CameraSetup& setup)
    : timing_(setup.timing),
      statusBlock_(BuildStatusBlock(setup)),
      memory_(BuildMemory(setup)),
      flash_(size_t{p::kBodySize}, kErasedByte),
      written_(p::kBlockCount, false),
      mode_(setup.mode) {
    rxBaudBefore_ = Baud();
}

uint32_t CameraModel::Baud() const {
    return line::kCameraBaud[rateIndex_];
}

uint32_t CameraModel::RxBaudAt(uint64_t timeUs) const {
    return timeUs < rxSwitchUs_ ? rxBaudBefore_ : Baud();
}

CameraByte CameraModel::PopOutput() {
    CameraByte b = output_.front();
    output_.pop_front();
    return b;
}

void CameraModel::DropOutputUntil(uint64_t timeUs) {
    while (!output_.empty() && output_.front().timeUs <= timeUs)
        output_.pop_front();
}

void CameraModel::AddFault(const FaultRule& rule) {
    faults_.push_back(ActiveFault{rule});
}

void CameraModel::SetSilent(bool silent, bool untilBreak) {
    silent_ = silent;
    silentUntilBreak_ = silent && untilBreak;
}

bool CameraModel::LoadFlash(const std::vector<uint8_t>& flash) {
    if (flash.size() != flash_.size())
        return false;
    flash_ = flash;
    FlashChanged();
    return true;
}

CameraModel::Block CameraModel::FlashBlock(int n) const {
    Block b{};
    std::copy_n(flash_.begin() + n * p::kBlockSize, p::kBlockSize, b.begin());
    return b;
}

std::optional<uint16_t> CameraModel::ReceivedValue(uint16_t number) const {
    if (number == p::kValueCheckA)
        return receivedA_;
    if (number == p::kValueCheckB)
        return receivedB_;
    return std::nullopt;
}

uint16_t CameraModel::CheckValue(const uint8_t* flash, int firstBlock, int lastBlock) {
    uint32_t running = 0;
    for (int n = firstBlock; n <= lastBlock; ++n)
        running ^= p::BlockCheck(flash + n * p::kBlockSize);
    return static_cast<uint16_t>(running);
}

uint16_t CameraModel::ExpectedValue(uint16_t number) const {
    if (number == p::kValueCheckA)
        return CheckValue(flash_.data(), 0, kArea1Blocks - 1);
    return CheckValue(flash_.data(), kArea1Blocks, p::kBlockCount - 1);
}

// ---- the line --------------------------------------------------------------

uint64_t CameraModel::Emit(uint64_t readyUs, uint8_t byte, bool lineError) {
    const uint64_t start = std::max(readyUs, txFreeUs_);
    const uint64_t end = start + (timing_.wireTime ? line::ByteTimeUs(Baud()) : 0);
    txFreeUs_ = end;
    if (!silent_)
        output_.push_back(CameraByte{end, byte, Baud(), lineError});
    return end;
}

uint64_t CameraModel::EmitKeepAlives(uint64_t readyUs, int count, uint32_t gapMs) {
    uint64_t t = readyUs;
    for (int i = 0; i < count; ++i) {
        t = Emit(t, p::kKeepAlive);
        if (gapMs != 0 && i + 1 < count)
            t += gapMs * kUsPerMs;
    }
    return t;
}

// The camera changes its rate once the byte it is sending has left; until
// then it also still listens at the old rate.
void CameraModel::SwitchRate(int rateIndex) {
    rxBaudBefore_ = Baud();
    rxSwitchUs_ = txFreeUs_;
    rateIndex_ = rateIndex;
}

void CameraModel::RunUntil(uint64_t timeUs) {
    while (timerUs_ && *timerUs_ <= timeUs) {
        const uint64_t t = *timerUs_;
        timerUs_.reset();
        if (phase_ == Phase::AwaitHostPacket && LooksLikeFrame(packetIn_)) {
            // The host gave up on the packet and went on with a command.
            const std::vector<uint8_t> bytes = packetIn_;
            ToIdle();
            for (uint8_t b : bytes)
                OnIdleByte(packetLastUs_, b);
        } else if (phase_ == Phase::AwaitHostPacket && !packetIn_.empty()) {
            // The host's packet broke off: ask for it again.
            packetIn_.clear();
            const uint64_t sent = Emit(t + timing_.processingUs, p::kPacketBad);
            timerUs_ = sent + timing_.packetWaitMs * kUsPerMs;
        } else {
            ToIdle();  // the host never went on with the exchange
        }
    }
}

void CameraModel::Receive(uint64_t timeUs, uint8_t byte, uint32_t senderBaud) {
    RunUntil(timeUs);
    if (!line::BaudsMatch(senderBaud, RxBaudAt(timeUs)))
        byte = line::Garble(byte);
    if (silent_)
        return;
    switch (phase_) {
        case Phase::Idle:
            OnIdleByte(timeUs, byte);
            break;
        case Phase::AwaitHostPacket:
            OnHostPacketByte(timeUs, byte);
            break;
        case Phase::AwaitPacketAck:
            OnPacketAnswer(timeUs, byte);
            break;
    }
}

void CameraModel::LineBreak(uint64_t startUs, uint64_t endUs) {
    (void)startUs;
    RunUntil(endUs);
    ++breaks_;
    while (!output_.empty() && output_.back().timeUs > endUs)
        output_.pop_back();
    txFreeUs_ = std::min(txFreeUs_, endUs);
    rateIndex_ = line::kStartRateIndex;
    rxBaudBefore_ = Baud();
    rxSwitchUs_ = 0;
    ToIdle();
    frame_.clear();
    handshake_.clear();
    if (silentUntilBreak_)
        SetSilent(false);
}

void CameraModel::PowerCycle(uint64_t timeUs) {
    RunUntil(timeUs);
    ++powerCycles_;
    output_.clear();
    txFreeUs_ = timeUs;
    rateIndex_ = line::kStartRateIndex;
    rxBaudBefore_ = Baud();
    rxSwitchUs_ = 0;
    ToIdle();
    frame_.clear();
    handshake_.clear();
    SetSilent(false);
    mode_ = NeedsFirmware() ? CameraMode::Update : CameraMode::Normal;
}

void CameraModel::ToIdle() {
    phase_ = Phase::Idle;
    timerUs_.reset();
    packetIn_.clear();
    packetsOut_.clear();
    nextPacket_ = 0;
}

// ---- frames ----------------------------------------------------------------

void CameraModel::OnIdleByte(uint64_t t, uint8_t byte) {
    if (t - lastIdleByteUs_ > timing_.frameGapMs * kUsPerMs) {
        frame_.clear();  // a frame that paused too long is dropped
        handshake_.clear();
    }
    lastIdleByteUs_ = t;

    handshake_.push_back(byte);
    if (handshake_.size() > p::kHandshakeRequest.size())
        handshake_.erase(handshake_.begin());
    if (std::equal(handshake_.begin(), handshake_.end(), p::kHandshakeRequest.begin(),
                   p::kHandshakeRequest.end())) {
        handshake_.clear();
        frame_.clear();
        // Only a camera in update mode knows the handshake; the host's
        // closing 0xD1 then falls into the frame buffer and is dropped.
        if (mode_ == CameraMode::Update) {
            ++handshakeReplies_;
            uint64_t ready = t + timing_.processingUs;
            for (uint8_t c : p::kHandshakeReply)
                ready = Emit(ready, c);
        }
        return;
    }

    frame_.push_back(byte);
    if (frame_.size() < static_cast<size_t>(p::kFrameSize))
        return;
    if (frame_[7] == p::kFrameEnd && frame_[1] == 0 && frame_[6] == 0) {
        ReceivedFrame frame;
        frame.timeUs = t;
        std::copy(frame_.begin(), frame_.end(), frame.bytes.begin());
        frame_.clear();
        handshake_.clear();
        OnFrame(t, frame);
    } else {
        frame_.erase(frame_.begin());  // junk before a frame: slide on
    }
}

CameraModel::ExchangeFaults CameraModel::MatchFaults(const ReceivedFrame& frame) {
    ExchangeFaults f;
    for (ActiveFault& a : faults_) {
        const FaultRule& r = a.rule;
        if (r.command != frame.Command())
            continue;
        if (r.param1 && *r.param1 != frame.Param1())
            continue;
        if (++a.matches < r.occurrence || a.fired >= r.count)
            continue;
        // Packet faults count packets, not frames: TakePacketFault fires them.
        if (r.kind == FaultKind::BadCheckByte || r.kind == FaultKind::LineError ||
            r.kind == FaultKind::RejectPacket)
            continue;
        ++a.fired;
        switch (r.kind) {
            case FaultKind::Busy:
                f.busy = true;
                break;
            case FaultKind::Refuse:
                f.refuse = true;
                break;
            case FaultKind::NoPacket:
                f.noPacket = true;
                break;
            case FaultKind::FailCompletion:
                f.completionByte = r.completionByte;
                break;
            case FaultKind::Silence:
                f.silence = true;
                f.untilBreak = r.untilBreak;
                break;
            case FaultKind::KeepAlives:
                if (r.stage == FaultStage::Answer) {
                    f.answerKeepAlives += r.keepAlives;
                    f.answerGapMs = r.keepAliveGapMs;
                } else if (r.stage == FaultStage::Start) {
                    f.startKeepAlives += r.keepAlives;
                    f.startGapMs = r.keepAliveGapMs;
                } else {
                    f.completionKeepAlives += r.keepAlives;
                    f.completionGapMs = r.keepAliveGapMs;
                }
                break;
            default:
                break;
        }
    }
    return f;
}

// A packet fault fires for packets of an exchange whose frame matched it.
const FaultRule* CameraModel::TakePacketFault(FaultKind kind) {
    for (ActiveFault& a : faults_) {
        const FaultRule& r = a.rule;
        if (r.kind != kind || r.command != exchangeCommand_)
            continue;
        if (a.matches < r.occurrence || a.fired >= r.count)
            continue;
        if (r.param1 && *r.param1 != exchangeBlock_)
            continue;
        ++a.fired;
        return &a.rule;
    }
    return nullptr;
}

void CameraModel::OnFrame(uint64_t t, const ReceivedFrame& frame) {
    frames_.push_back(frame);
    exchange_ = MatchFaults(frame);
    exchangeCommand_ = frame.Command();
    exchangeBlock_ = frame.Param1();
    if (exchange_.silence) {
        SetSilent(true, exchange_.untilBreak);
        return;
    }
    uint64_t ready =
        EmitKeepAlives(t + timing_.processingUs, exchange_.answerKeepAlives, exchange_.answerGapMs);
    if (exchange_.busy) {
        Emit(ready, p::kBusy);
        return;
    }
    if (exchange_.refuse) {
        Emit(ready, p::kNak);
        return;
    }
    const bool update = mode_ == CameraMode::Update;
    switch (frame.Command()) {
        case p::kCmdQueryStatus:
            DoQueryStatus(ready);
            return;
        case p::kCmdReadWords:
            DoReadWords(ready, frame);
            return;
        case p::kCmdEnterUpdateMode:
            DoEnterUpdateMode(ready);
            return;
        case p::kCmdChangeRate:
            DoChangeRate(ready, frame);
            return;
        case p::kCmdReleaseCamera:
            DoReleaseCamera(ready);
            return;
        case p::kCmdPrepareArea:
            if (update) {
                DoPrepareArea(ready, frame.Param1());
                return;
            }
            break;
        case p::kCmdWriteBlock:
            if (update) {
                DoWriteBlock(ready, frame.Param1());
                return;
            }
            break;
        case p::kCmdSetValue:
            if (update) {
                DoSetValue(ready, frame);
                return;
            }
            break;
        default:
            break;
    }
    Emit(ready, p::kNak);  // unknown command, or one that needs update mode
}

void CameraModel::Complete(uint64_t readyUs, bool success) {
    const uint64_t t =
        EmitKeepAlives(readyUs, exchange_.completionKeepAlives, exchange_.completionGapMs);
    Emit(t, success ? exchange_.completionByte : kValueMismatch);
    ToIdle();
}

// ---- commands --------------------------------------------------------------

void CameraModel::DoQueryStatus(uint64_t ready) {
    uint64_t t = Emit(ready, p::kAck);
    t = EmitKeepAlives(t, exchange_.startKeepAlives, exchange_.startGapMs);
    Emit(t, p::kStartOfData);
    packetsOut_.assign(1, Block{});
    std::copy(statusBlock_.begin(), statusBlock_.end(), packetsOut_[0].begin());
    nextPacket_ = 0;
    SendPacket(txFreeUs_);
}

void CameraModel::DoReadWords(uint64_t ready, const ReceivedFrame& frame) {
    const uint16_t first = frame.Param1();
    const uint16_t last = frame.Param2();
    if (first > last || last >= p::kMemoryWords) {
        Emit(ready, p::kNak);
        return;
    }
    std::vector<uint8_t> bytes;
    for (int w = first; w <= last; ++w) {
        bytes.push_back(static_cast<uint8_t>(memory_[w] >> 8));
        bytes.push_back(static_cast<uint8_t>(memory_[w]));
    }
    // The last packet is padded with zeros: packets always carry 256 bytes.
    packetsOut_.assign((bytes.size() + p::kPacketData - 1) / p::kPacketData, Block{});
    for (size_t i = 0; i < bytes.size(); ++i) {
        packetsOut_[i / p::kPacketData][i % p::kPacketData] = bytes[i];
    }
    nextPacket_ = 0;
    SendPacket(Emit(ready, p::kAck));
}

void CameraModel::SendPacket(uint64_t readyUs) {
    if (exchange_.noPacket) {
        Emit(readyUs, p::kNoPacket);
        ToIdle();
        return;
    }
    const Block& data = packetsOut_[nextPacket_];
    const FaultRule* lineError = TakePacketFault(FaultKind::LineError);
    const int damaged = lineError ? lineError->errorByte : -1;
    uint64_t t = readyUs;
    for (int i = 0; i < p::kPacketData; ++i)
        t = Emit(t, data[i], i == damaged);
    uint8_t check = p::XorCheck(data.data(), p::kPacketData);
    if (TakePacketFault(FaultKind::BadCheckByte))
        check ^= 0xFF;
    t = Emit(t, check, damaged == p::kPacketData);
    phase_ = Phase::AwaitPacketAck;
    timerUs_ = t + timing_.packetWaitMs * kUsPerMs;
}

void CameraModel::OnPacketAnswer(uint64_t t, uint8_t byte) {
    const uint64_t ready = t + timing_.processingUs;
    if (byte == p::kPacketOk) {
        if (++nextPacket_ < packetsOut_.size()) {
            SendPacket(ready);
        } else {
            Complete(ready, true);
        }
    } else if (byte == p::kPacketBad) {
        SendPacket(ready);
    } else {
        // The host has moved on: the byte belongs to whatever comes next.
        ToIdle();
        OnIdleByte(t, byte);
    }
}

void CameraModel::DoEnterUpdateMode(uint64_t ready) {
    Emit(ready, p::kAck);
    if (exchange_.completionByte == p::kDone)
        mode_ = CameraMode::Update;
    Complete(txFreeUs_, true);
}

void CameraModel::DoChangeRate(uint64_t ready, const ReceivedFrame& frame) {
    const int index = p::RateIndexForCode(frame.bytes[2], frame.bytes[3]);
    if (index == 0) {
        Emit(ready, p::kNak);
        return;
    }
    Emit(ready, p::kAck);  // still at the old rate
    SwitchRate(index);
}

void CameraModel::DoPrepareArea(uint64_t ready, uint16_t area) {
    if (area != kArea1 && area != kArea2) {
        Emit(ready, p::kNak);
        return;
    }
    const uint64_t accepted = Emit(ready, p::kAck);
    const uint64_t done = accepted + timing_.prepareMs * kUsPerMs;
    const uint64_t step = std::max<uint64_t>(timing_.keepAliveMs, 1) * kUsPerMs;
    for (uint64_t t = accepted + step; t < done; t += step)
        Emit(t, p::kKeepAlive);
    if (exchange_.completionByte == p::kDone) {
        const int first = area == kArea1 ? 0 : kArea1Blocks;
        const int end = area == kArea1 ? kArea1Blocks : p::kBlockCount;
        std::fill(flash_.begin() + first * p::kBlockSize, flash_.begin() + end * p::kBlockSize,
                  kErasedByte);
        for (int n = first; n < end; ++n)
            written_[n] = false;
        FlashChanged();
    }
    Complete(done, true);
}

void CameraModel::DoWriteBlock(uint64_t ready, uint16_t block) {
    if (block >= p::kBlockCount) {
        Emit(ready, p::kNak);
        return;
    }
    const uint64_t accepted = Emit(ready, p::kAck);
    phase_ = Phase::AwaitHostPacket;
    packetIn_.clear();
    timerUs_ = accepted + timing_.packetWaitMs * kUsPerMs;
}

bool CameraModel::LooksLikeFrame(const std::vector<uint8_t>& bytes) {
    const bool frame = bytes.size() == static_cast<size_t>(p::kFrameSize) &&
                       bytes[7] == p::kFrameEnd && bytes[1] == 0 && bytes[6] == 0;
    const bool handshake = std::equal(bytes.begin(), bytes.end(), p::kHandshakeRequest.begin(),
                                      p::kHandshakeRequest.end());
    return frame || handshake;
}

void CameraModel::OnHostPacketByte(uint64_t t, uint8_t byte) {
    packetIn_.push_back(byte);
    packetLastUs_ = t;
    if (packetIn_.size() == static_cast<size_t>(p::kPacketSize)) {
        OnHostPacket(t);
    } else {
        timerUs_ = t + timing_.frameGapMs * kUsPerMs + kJustOver;
    }
}

void CameraModel::OnHostPacket(uint64_t t) {
    const uint64_t ready = t + timing_.processingUs;
    const bool good = p::XorCheck(packetIn_.data(), p::kPacketData) == packetIn_[p::kPacketData];
    if (!good || TakePacketFault(FaultKind::RejectPacket)) {
        packetIn_.clear();
        const uint64_t sent = Emit(ready, p::kPacketBad);
        timerUs_ = sent + timing_.packetWaitMs * kUsPerMs;
        return;
    }
    const uint64_t acked = Emit(ready, p::kPacketOk);
    if (exchange_.completionByte == p::kDone) {
        // Flash programming only clears bits: a block written over an
        // unprepared area comes out as the AND of old and new.
        uint8_t* dst = flash_.data() + size_t{exchangeBlock_} * p::kBlockSize;
        for (int i = 0; i < p::kPacketData; ++i)
            dst[i] &= packetIn_[i];
        written_[exchangeBlock_] = true;
        ++blocksWritten_;
        FlashChanged();
    }
    Complete(acked + timing_.processingUs, true);
}

void CameraModel::FlashChanged() {
    flashTouched_ = true;
    acceptedA_ = acceptedB_ = false;
}

void CameraModel::TakeVersionFromFlash() {
    if (const auto version = firmware_file::ReadVersionMark(flash_)) {
        statusBlock_[p::status_block::kVersionHigh] = (*version)[0];
        statusBlock_[p::status_block::kVersionLow] = (*version)[1];
    }
}

void CameraModel::DoSetValue(uint64_t ready, const ReceivedFrame& frame) {
    const uint16_t number = frame.Param1();
    if (number != p::kValueCheckA && number != p::kValueCheckB) {
        Emit(ready, p::kNak);
        return;
    }
    // The host sends the check value low byte first.
    const uint16_t value = static_cast<uint16_t>(frame.bytes[4] | frame.bytes[5] << 8);
    const bool match = value == ExpectedValue(number);
    const bool accepted = match && exchange_.completionByte == p::kDone;
    if (number == p::kValueCheckA) {
        receivedA_ = value;
        acceptedA_ = accepted;
    } else {
        receivedB_ = value;
        acceptedB_ = accepted;
    }
    if (Verified())
        TakeVersionFromFlash();
    Complete(Emit(ready, p::kAck), match);
}

void CameraModel::DoReleaseCamera(uint64_t ready) {
    Emit(ready, p::kAck);
    const bool ok = exchange_.completionByte == p::kDone;
    Complete(txFreeUs_, true);
    if (!ok)
        return;
    ++releases_;
    SwitchRate(line::kStartRateIndex);
    // Without verified firmware the camera has nothing to run but its
    // loader, so it stays in update mode for the next attempt.
    if (!NeedsFirmware()) {
        mode_ = CameraMode::Normal;
        flashTouched_ = false;
    }
}

}  // namespace rm525::sim
