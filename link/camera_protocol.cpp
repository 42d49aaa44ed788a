// The camera's packet protocol as the host speaks it: command frames and
// their answer bytes, completion bytes, data packets with their check byte,
// the handshake, rate changes and the commands the updater uses.
#include <algorithm>
#include <cstring>

#include "link/camera_protocol.h"
#include "link/protocol.h"

namespace rm525 {

namespace {
using namespace protocol;

constexpr uint32_t kWriteAllowanceMs = 200;
constexpr uint32_t kAnswerTimeoutMs = 3000;
constexpr uint32_t kCompletionTimeoutMs = 3000;
constexpr uint32_t kPrepareTimeoutMs = 30000;
constexpr uint32_t kPacketTimeoutMs = 2000;
constexpr uint32_t kHandshakeTimeoutMs = 2000;
constexpr uint32_t kFrameGapMs = 100;       // no frame sooner than this after the last command
constexpr uint32_t kBusyPauseMs = 500;      // after a busy answer to a frame
constexpr uint32_t kAfterHandshakeMs = 20;  // after the closing acknowledgement
constexpr int kPacketAttempts = 5;

void PutWord(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value >> 8);
    at[1] = uint8_t(value & 0xFF);
}
}  // namespace

void CameraProtocol::ResetFrame() {
    std::memset(frame_, 0, sizeof frame_);
    frame_[7] = kFrameEnd;
}

LinkStatus CameraProtocol::SendCommand() {
    namespace ls = link_status;
    if (!port_)
        return ls::kPortFailure;
    PurgeQueues(2);
    SleepUntilNotBefore(lastActivity_ + kFrameGapMs);
    std::memcpy(txBuffer_.get(), frame_, kFrameSize);
    int attempts = commandAttempts_;
    for (;;) {
        txCount_ = kFrameSize;
        if (const LinkStatus s = Transmit(kWriteAllowanceMs); s != ls::kOk)
            return s;
        const LinkStatus answer = WaitAck(kAck, kNak);
        // A refusal is final, and so is a port that has failed.
        if (answer == ls::kOk || answer == ls::kRefused || answer == ls::kPortFailure)
            return answer;
        if (answer == ls::kBusy)
            DelayMs(kBusyPauseMs);
        if (--attempts <= 0)
            return ls::kTimeout;
    }
}

// One byte from the camera, each keep-alive restarting the wait for it.
LinkStatus CameraProtocol::ReadAnswerByte(uint32_t timeoutMs, uint8_t* b) {
    for (;;) {
        rxCount_ = 1;
        if (const LinkStatus s = Receive(timeoutMs); s != link_status::kOk)
            return s;
        if (rxBuffer_[0] != kKeepAlive) {
            *b = rxBuffer_[0];
            return link_status::kOk;
        }
    }
}

LinkStatus CameraProtocol::WaitAck(uint8_t ackByte, uint8_t nakByte) {
    namespace ls = link_status;
    uint8_t b = 0;
    if (const LinkStatus s = ReadAnswerByte(kAnswerTimeoutMs, &b); s != ls::kOk)
        return s;
    if (b == ackByte)
        return ls::kOk;
    if (b == protocol::kBusy)
        return ls::kBusy;
    return b == nakByte ? ls::kRefused : ls::kTimeout;
}

LinkStatus CameraProtocol::WaitCompletion(uint32_t timeoutMs) {
    using namespace link_status;
    uint8_t b = 0;
    LinkStatus result = ReadAnswerByte(timeoutMs, &b);
    if (result == kOk)
        result = b == kDone ? kOk : kCameraFailed;
    lastActivity_ = NowMs();
    return result;
}

LinkStatus CameraProtocol::SendByte(uint8_t b) {
    if (!port_)
        return link_status::kPortFailure;
    txBuffer_[0] = b;
    txCount_ = 1;
    const LinkStatus result = Transmit(kWriteAllowanceMs);
    PurgeQueues(0);
    return result;
}

LinkStatus CameraProtocol::SendPacket(const uint8_t* data, int n) {
    using namespace link_status;
    if (!port_ || n < 1 || n > kBufferSize)
        return kPortFailure;
    txCount_ = uint16_t(n);
    std::memcpy(txBuffer_.get(), data, size_t(n - 1));
    txBuffer_[n - 1] = XorCheck(data, n - 1);
    for (int attempt = 1;; ++attempt) {
        LinkStatus s = Transmit(kWriteAllowanceMs);
        if (s == kOk) {
            s = WaitAck(kPacketOk, kPacketBad);
            if (s != kRefused)
                return s;  // accepted, or a failure not worth resending
        }
        if (attempt >= kPacketAttempts)
            return s;
    }
}

LinkStatus CameraProtocol::ReceiveBlock(uint8_t* dst, int count) {
    using namespace link_status;
    if (!port_ || packetLength_ < 2 || packetLength_ > kBufferSize)
        return kTimeout;
    count = std::clamp(count, 0, packetLength_ - 1);
    if (startByteFlag_) {
        uint8_t b = 0;
        if (const LinkStatus s = ReadAnswerByte(kAnswerTimeoutMs, &b); s != kOk)
            return s;
        if (b != kStartOfData)
            return kRefused;
    }
    const int n = packetLength_;
    for (int attemptsLeft = kPacketAttempts;;) {
        rxCount_ = uint16_t(n);
        const LinkStatus s = Receive(kPacketTimeoutMs);
        if (s == kOk) {
            std::memcpy(dst, rxBuffer_.get(), size_t(count));
            if (XorCheck(rxBuffer_.get(), n - 1) == rxBuffer_[n - 1])
                return SendByte(kPacketOk);
            if (--attemptsLeft <= 0)
                return kTimeout;  // no E3 for the last bad packet
            SendByte(kPacketBad);
        } else if (s == kPortFailure) {
            return kTimeout;
        } else if (rxCount_ == 1) {
            // A lone byte where a packet was due: the camera's "cannot deliver",
            // or noise. Noise is retried only once the line has gone quiet.
            if (rxBuffer_[0] == kNoPacket)
                return kCameraFailed;
            if (--attemptsLeft <= 0)
                return kTimeout;
            if (DrainInput() != kOk)
                return kTimeout;
        } else {
            SendByte(kPacketBad);
            if (--attemptsLeft <= 0)
                return kTimeout;
        }
    }
}

LinkStatus CameraProtocol::ReceiveData(uint8_t* dst, int length, int n) {
    packetLength_ = int16_t(n);
    while (length > 0) {
        const int k = std::min(length, n - 1);
        if (const LinkStatus s = ReceiveBlock(dst, k); s != link_status::kOk)
            return s;
        dst += k;
        length -= k;
    }
    return link_status::kOk;
}

void CameraProtocol::Handshake() {
    using namespace link_status;
    status_ = kOk;
    errorNumber_ = 0;
    if (!port_) {
        status_ = kPortFailure;
        return;
    }
    PurgeQueues(2);
    std::copy(kHandshakeRequest.begin(), kHandshakeRequest.end(), txBuffer_.get());
    txCount_ = uint16_t(kHandshakeRequest.size());
    if ((status_ = Transmit(kWriteAllowanceMs)) != kOk)
        return;
    rxCount_ = uint16_t(kHandshakeReply.size());
    if ((status_ = Receive(kHandshakeTimeoutMs)) != kOk)
        return;
    if (!std::equal(kHandshakeReply.begin(), kHandshakeReply.end(), rxBuffer_.get())) {
        status_ = kRefused;
        return;
    }
    status_ = SendByte(kAck);
    DelayMs(kAfterHandshakeMs);
}

void CameraProtocol::SendRateCommand(int rateIndex) {
    using namespace link_status;
    ResetFrame();
    frame_[0] = kCmdChangeRate;
    if (IsRateIndex(rateIndex)) {
        frame_[2] = kRateCode[size_t(rateIndex)][0];
        frame_[3] = kRateCode[size_t(rateIndex)][1];
    } else {
        status_ = kBadArgument;
    }
    if (status_ != kOk)
        return;  // a code already stored stops the command too
    if (SendCommand() != kOk) {
        status_ = kNotUsable;
        return;
    }
    lastActivity_ = NowMs();
    status_ = kOk;
}

void CameraProtocol::ChangeRate(int rateIndex) {
    using namespace link_status;
    SendRateCommand(rateIndex);
    if (status_ != kOk)
        return;
    lastActivity_ = NowMs();
    const LinkStatus hostResult = SetHostRate(rateIndex);
    if (hostResult == kOk) {
        currentCameraRate_ = rateIndex;
        status_ = kOk;
        return;
    }
    // The camera has moved and the host could not follow: bring both back to
    // the rate the host is still on, the side that talks faster going first.
    status_ = kOk;
    const int previous = hostRateIndex_;
    if (previous < rateIndex) {
        SendRateCommand(previous);
        SetHostRate(previous);
    } else {
        SetHostRate(previous);
        SendRateCommand(previous);
    }
    lastActivity_ = NowMs();
    status_ = hostResult;
}

void CameraProtocol::QueryStatus() {
    using namespace link_status;
    ResetFrame();
    frame_[0] = kCmdQueryStatus;
    if ((status_ = SendCommand()) != kOk)
        return;
    startByteFlag_ = true;
    status_ = ReceiveData(statusBlock_, status_block::kSize, kPacketSize);
    startByteFlag_ = false;
    if (status_ != kOk)
        return;
    status_ = WaitCompletion(kCompletionTimeoutMs);
}

// The commands that start afresh: status and error number cleared, the frame
// filled and sent. True when the camera accepted it.
bool CameraProtocol::StartCommand(uint8_t code, uint16_t param1, uint16_t param2) {
    status_ = link_status::kOk;
    errorNumber_ = 0;
    ResetFrame();
    frame_[0] = code;
    PutWord(frame_ + 2, param1);
    PutWord(frame_ + 4, param2);
    status_ = SendCommand();
    return status_ == link_status::kOk;
}

void CameraProtocol::WriteBlock(const uint8_t* data, int blockNumber) {
    if (!StartCommand(kCmdWriteBlock, uint16_t(blockNumber), 0))
        return;
    packetLength_ = kPacketSize;
    if ((status_ = SendPacket(data, kPacketSize)) != link_status::kOk)
        return;
    status_ = WaitCompletion(kCompletionTimeoutMs);
}

// SetValue, PrepareArea and EnterUpdateMode: a frame, then the completion byte.
void CameraProtocol::SimpleCommand(uint8_t code, uint16_t param1, uint16_t param2,
                                   uint32_t waitMs) {
    if (StartCommand(code, param1, param2))
        status_ = WaitCompletion(waitMs);
}

void CameraProtocol::SetValue(uint16_t number, uint16_t value) {
    SimpleCommand(kCmdSetValue, number, value, kCompletionTimeoutMs);
}

void CameraProtocol::PrepareArea(uint16_t area) {
    SimpleCommand(kCmdPrepareArea, area, 0, kPrepareTimeoutMs);
}

void CameraProtocol::EnterUpdateMode() {
    SimpleCommand(kCmdEnterUpdateMode, 0, 0, kCompletionTimeoutMs);
}

void CameraProtocol::ReadWords(uint16_t first, uint16_t last, uint8_t* dst) {
    if (!StartCommand(kCmdReadWords, first, last))
        return;
    // Two bytes a word, counted in 16 bits as the camera counts them.
    const int16_t length = int16_t(uint16_t((last - first) * 2 + 2));
    if ((status_ = ReceiveData(dst, length, kPacketSize)) != link_status::kOk)
        return;
    status_ = WaitCompletion(kCompletionTimeoutMs);
}

LinkStatus CameraProtocol::ReleaseCamera() {
    using namespace link_status;
    ResetFrame();
    frame_[0] = kCmdReleaseCamera;
    if ((status_ = SendCommand()) != kOk)
        return status_;
    if ((status_ = WaitCompletion(kCompletionTimeoutMs)) != kOk)
        return status_;
    return SetHostRate(1);  // the camera is back at 9600 bit/s
}

LinkStatus CameraProtocol::FinishOperation() {
    const LinkStatus old = status_;
    errorNumber_ = ErrorNumberFor(old);
    status_ = link_status::kOk;
    return old;
}

}  // namespace rm525
