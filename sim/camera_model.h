#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "link/protocol.h"
#include "sim/camera_setup.h"
#include "sim/fault.h"

namespace rm525::sim {

// One byte leaving the camera: the moment its last bit is on the line
// (microseconds on the caller's time base) and the rate it was sent at.
struct CameraByte {
    uint64_t timeUs = 0;
    uint8_t value = 0;
    uint32_t baud = 0;
    bool lineError = false;  // the line damages it: it arrives garbled, with a framing error
};

// A command frame as the camera understood it.
struct ReceivedFrame {
    uint64_t timeUs = 0;
    std::array<uint8_t, protocol::kFrameSize> bytes{};
    uint8_t Command() const { return bytes[0]; }
    uint16_t Param1() const { return static_cast<uint16_t>(bytes[2] << 8 | bytes[3]); }
    uint16_t Param2() const { return static_cast<uint16_t>(bytes[4] << 8 | bytes[5]); }
};

// The camera at the far end of the serial line, independent of any transport.
// It is fed the host's bytes with the moments they arrive and schedules its
// own bytes with the moments they leave; the caller moves time forward and
// collects what has been sent by then. All times are microseconds on one time
// base that only grows.
class CameraModel {
public:
    using Block = std::array<uint8_t, protocol::kBlockSize>;

    explicit CameraModel(const CameraSetup& setup = CameraSetup{});

    // ---- the line --------------------------------------------------------
    // A byte from the host whose last bit arrives at `timeUs`, sent at
    // `senderBaud`; garbled when the camera listens at another rate.
    void Receive(uint64_t timeUs, uint8_t byte, uint32_t senderBaud);
    // The host held the line in break from `startUs` to `endUs`: the camera
    // drops what it was doing and returns to 9600 bit/s.
    void LineBreak(uint64_t startUs, uint64_t endUs);
    // The camera was switched off and on again at `timeUs`: it starts over at
    // 9600 bit/s with nothing half-received or left to send. Its flash stays,
    // and a camera that needs firmware comes up in update mode.
    void PowerCycle(uint64_t timeUs);
    // Lets the camera's own time-outs run up to `timeUs`.
    void RunUntil(uint64_t timeUs);
    // When the camera next acts on its own (a time-out), if it will.
    std::optional<uint64_t> NextTimerUs() const { return timerUs_; }

    bool HasOutput() const { return !output_.empty(); }
    const CameraByte& PeekOutput() const { return output_.front(); }
    CameraByte PopOutput();
    // Drops bytes sent up to `timeUs`, as a line with nobody listening would.
    void DropOutputUntil(uint64_t timeUs);

    // ---- configuration ---------------------------------------------------
    std::array<uint8_t, protocol::status_block::kSize>& StatusBlock() { return statusBlock_; }
    std::array<uint16_t, protocol::kMemoryWords>& Memory() { return memory_; }
    CameraTiming& Timing() { return timing_; }
    void AddFault(const FaultRule& rule);
    void ClearFaults() { faults_.clear(); }
    // A silent camera hears everything and answers nothing.
    void SetSilent(bool silent, bool untilBreak = false);
    void SetMode(CameraMode mode) { mode_ = mode; }
    // Puts `flash` (kBodySize bytes) in place, as a camera left by an earlier
    // transfer holds it. Nothing has vouched for it: the camera stays in
    // update mode when released until both check values match.
    bool LoadFlash(const std::vector<uint8_t>& flash);

    // ---- what happened ---------------------------------------------------
    CameraMode Mode() const { return mode_; }
    int RateIndex() const { return rateIndex_; }
    uint32_t Baud() const;
    bool Silent() const { return silent_; }
    const std::vector<uint8_t>& Flash() const { return flash_; }
    Block FlashBlock(int n) const;
    // Successful block writes (a block written twice counts twice).
    int BlocksWritten() const { return blocksWritten_; }
    bool BlockWritten(int n) const { return written_.at(n); }
    // The check values the host sent (value 19 = A, 18 = B), as 16-bit
    // numbers: the frame carries them low byte first.
    std::optional<uint16_t> ReceivedValue(uint16_t number) const;
    // The check value the flash content calls for.
    uint16_t ExpectedValue(uint16_t number) const;
    // Both check values matched since the flash was last changed.
    bool Verified() const { return acceptedA_ && acceptedB_; }
    // The flash was prepared or written and not verified: the camera has no
    // good firmware and stays in update mode when released.
    bool NeedsFirmware() const { return flashTouched_ && !Verified(); }
    int ReleaseCount() const { return releases_; }
    int BreakCount() const { return breaks_; }
    int PowerCycles() const { return powerCycles_; }
    int HandshakeReplies() const { return handshakeReplies_; }
    const std::vector<ReceivedFrame>& Frames() const { return frames_; }

    // Check value over `firstBlock`..`lastBlock` of `flash` (256-byte blocks).
    static uint16_t CheckValue(const uint8_t* flash, int firstBlock, int lastBlock);

    static constexpr uint8_t kValueMismatch = 0x05;  // completion byte of a wrong check value
    static constexpr int kArea1Blocks = protocol::kCheckBBoundary / protocol::kBlockSize;

private:
    enum class Phase { Idle, AwaitHostPacket, AwaitPacketAck };

    // What the faults say about one exchange.
    struct ExchangeFaults {
        bool busy = false, refuse = false, silence = false, untilBreak = false;
        bool noPacket = false;
        int answerKeepAlives = 0, startKeepAlives = 0, completionKeepAlives = 0;
        uint32_t answerGapMs = 0, startGapMs = 0, completionGapMs = 0;
        uint8_t completionByte = protocol::kDone;
    };
    struct ActiveFault {
        FaultRule rule;
        int matches = 0;
        int fired = 0;
    };

    uint32_t RxBaudAt(uint64_t timeUs) const;
    uint64_t Emit(uint64_t readyUs, uint8_t byte, bool lineError = false);
    uint64_t EmitKeepAlives(uint64_t readyUs, int count, uint32_t gapMs);
    void SwitchRate(int rateIndex);
    void OnIdleByte(uint64_t t, uint8_t byte);
    void OnFrame(uint64_t t, const ReceivedFrame& frame);
    ExchangeFaults MatchFaults(const ReceivedFrame& frame);
    const FaultRule* TakePacketFault(FaultKind kind);
    void Complete(uint64_t readyUs, bool success);

    void DoQueryStatus(uint64_t ready);
    void DoReadWords(uint64_t ready, const ReceivedFrame& frame);
    void DoEnterUpdateMode(uint64_t ready);
    void DoChangeRate(uint64_t ready, const ReceivedFrame& frame);
    void DoPrepareArea(uint64_t ready, uint16_t area);
    void DoWriteBlock(uint64_t ready, uint16_t block);
    void DoSetValue(uint64_t ready, const ReceivedFrame& frame);
    void DoReleaseCamera(uint64_t ready);

    void SendPacket(uint64_t readyUs);
    void OnPacketAnswer(uint64_t t, uint8_t byte);
    static bool LooksLikeFrame(const std::vector<uint8_t>& bytes);
    void OnHostPacketByte(uint64_t t, uint8_t byte);
    void OnHostPacket(uint64_t t);
    void FlashChanged();
    // Verified firmware runs: the camera reports the version its body names.
    void TakeVersionFromFlash();
    void ToIdle();

    CameraTiming timing_;
    std::array<uint8_t, protocol::status_block::kSize> statusBlock_;
    std::array<uint16_t, protocol::kMemoryWords> memory_;
    std::vector<uint8_t> flash_;
    std::vector<bool> written_;
    std::vector<ActiveFault> faults_;

    CameraMode mode_;
    int rateIndex_ = 1;
    uint32_t rxBaudBefore_ = 0;  // the listening rate until `rxSwitchUs_`
    uint64_t rxSwitchUs_ = 0;
    uint64_t txFreeUs_ = 0;  // when the camera's transmitter is free again
    std::deque<CameraByte> output_;

    bool silent_ = false;
    bool silentUntilBreak_ = false;

    Phase phase_ = Phase::Idle;
    std::optional<uint64_t> timerUs_;
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> handshake_;
    uint64_t lastIdleByteUs_ = 0;
    // The exchange under way.
    ExchangeFaults exchange_;
    uint8_t exchangeCommand_ = 0;
    uint16_t exchangeBlock_ = 0;
    std::vector<Block> packetsOut_;
    size_t nextPacket_ = 0;
    std::vector<uint8_t> packetIn_;
    uint64_t packetLastUs_ = 0;

    std::optional<uint16_t> receivedA_, receivedB_;
    bool acceptedA_ = false, acceptedB_ = false;
    bool flashTouched_ = false;
    int blocksWritten_ = 0;
    int releases_ = 0;
    int breaks_ = 0;
    int powerCycles_ = 0;
    int handshakeReplies_ = 0;
    std::vector<ReceivedFrame> frames_;
};

}  // namespace rm525::sim
