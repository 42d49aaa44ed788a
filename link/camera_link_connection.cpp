// Finding the camera, bringing it into update mode, reading its status block,
// recovering the line, the memory check and the release.
#include <cstring>

#include "link/camera_link.h"
#include "link/protocol.h"

namespace rm525 {

namespace {
using namespace protocol;

constexpr uint32_t kStepPauseMs = 100;         // between the steps of the bring-up
constexpr uint32_t kUpdateModeSettleMs = 500;  // before the second handshake
constexpr uint32_t kResyncStartMs = 1500;      // before the recovery passes
constexpr uint32_t kBreakLengthMs = 350;
constexpr uint32_t kAfterRateChangeMs = 400;
constexpr uint32_t kAfterRecoveryRateMs = 200;
constexpr uint32_t kContactBackMs = 10;
constexpr int16_t kProbeAttempts = 0;  // a single sending while the line is in doubt
constexpr int16_t kNormalAttempts = 3;

uint16_t Word(const uint8_t* at) {
    return uint16_t(at[0] << 8 | at[1]);
}
uint32_t Long(const uint8_t* at) {
    return uint32_t(Word(at)) << 16 | Word(at + 2);
}

uint32_t VersionDigits(uint8_t high, uint8_t low) {
    if (high == 0 && low <= 99)
        return uint32_t(low / 10) << 8 | uint32_t(low % 10);
    return uint32_t(high >> 4) << 24 | uint32_t(high & 15) << 16 | uint32_t(low >> 4) << 8 |
           uint32_t(low & 15);
}
}  // namespace

CameraLink::CameraLink(SerialPortFactory& ports, Clock& clock) : CameraProtocol(ports, clock) {}

CameraLink::~CameraLink() = default;

void CameraLink::Connect(int port, int rateIndex, CameraStatusRecord* status,
                         CameraIdentityRecord* identity, int32_t* alreadyInUpdateMode) {
    statusBlock_[status_block::kRateLock] = 0;
    status_ = link_status::kOk;
    openFailures_.clear();
    if (port == kAutoPort) {
        // The status of the last port tried is what the caller sees.
        for (int n = 1; n <= 9; ++n) {
            if (PassedOverBySearch(n))
                continue;
            if ((status_ = OpenPort(n)) != link_status::kOk)
                continue;
            if (BringUp(rateIndex, status, identity, alreadyInUpdateMode))
                break;
        }
    } else if ((status_ = OpenPort(port)) == link_status::kOk) {
        BringUp(rateIndex, status, identity, alreadyInUpdateMode);
    }
    FinishOperation();
}

// On an open port: the handshake answers at once when the camera is already
// in update mode; otherwise the camera is read, switched and asked again.
// Then both sides move to the line rate of the update. Closes the port when
// the camera cannot be brought up.
bool CameraLink::BringUp(int rateIndex, CameraStatusRecord* status, CameraIdentityRecord* identity,
                         int32_t* alreadyInUpdateMode) {
    using namespace link_status;
    Handshake();
    if (status_ == kOk) {
        *alreadyInUpdateMode = 1;
    } else {
        status_ = kOk;
        requestedRate_ = currentCameraRate_;  // reading the camera changes no rate here
        DelayMs(kStepPauseMs);
        CameraInterface& camera = *this;
        camera.ReadCameraStatus(status);
        if (errorNumber_ != 0)
            status_ = kPortFailure;
        if (status_ == kOk) {
            DelayMs(kStepPauseMs);
            camera.ReadCameraIdentity(identity);
            if (errorNumber_ != 0)
                status_ = kPortFailure;
        }
        if (status_ == kOk) {
            DelayMs(kStepPauseMs);
            EnterUpdateMode();
        }
        if (status_ == kOk) {
            DelayMs(kUpdateModeSettleMs);
            Handshake();
            if (status_ == kOk)
                *alreadyInUpdateMode = 0;
        }
    }
    DelayMs(kStepPauseMs);
    if (status_ != kOk) {
        ClosePort();
        return false;
    }
    ChangeRate(rateIndex);
    if (status_ == kOk)
        return true;
    const LinkStatus failed = status_;
    status_ = kOk;
    ChangeRate(1);  // ask the camera back to 9600 bit/s before letting go
    status_ = failed;
    ClosePort();
    return false;
}

LinkStatus CameraLink::ReadCameraStatus(CameraStatusRecord* record) {
    status_ = link_status::kOk;
    errorNumber_ = 0;
    Resynchronise(1);
    if (status_ == link_status::kOk && record != nullptr)
        DecodeStatusRecord(record);
    return FinishOperation();
}

LinkStatus CameraLink::ReadCameraIdentity(CameraIdentityRecord* record) {
    status_ = link_status::kOk;
    errorNumber_ = 0;
    Resynchronise(1);
    if (status_ == link_status::kOk && record != nullptr) {
        DecodeCameraTime(Long(statusBlock_ + status_block::kClock), &lastIdentityClock_);
        std::memcpy(cameraId_, statusBlock_ + status_block::kCameraId, sizeof cameraId_);
        cameraId_[status_block::kCameraIdLength] = '\0';
        record->clock = lastIdentityClock_;
        if (record->idText != nullptr)
            std::memcpy(record->idText, cameraId_, sizeof cameraId_);
    }
    return FinishOperation();
}

void CameraLink::DecodeStatusRecord(CameraStatusRecord* out) {
    const uint8_t* b = statusBlock_;
    CameraStatusRecord& r = lastStatus_;
    DecodeCameraTime(Long(b + status_block::kClock), &r.clock);
    r.versionDigits = VersionDigits(b[status_block::kVersionHigh], b[status_block::kVersionLow]);
    int16_t countA = -1;
    int16_t countB = -1;
    if (b[status_block::kCountsValid] & 0x80) {
        countA = int16_t(Word(b + status_block::kCountA));
        switch (b[status_block::kCountBSelector]) {
            case 1:
                countB = int16_t(Word(b + status_block::kCountB1));
                break;
            case 2:
                countB = int16_t(Word(b + status_block::kCountB2));
                break;
            case 3:
                countB = int16_t(Word(b + status_block::kCountB3));
                break;
            default:
                break;  // no count B to be had: stays unknown
        }
    }
    r.countACopy = r.countA = countA;
    r.countBCopy = r.countB = countB;
    r.reserved[0] = r.reserved[1] = -1;
    r.smallImageSize[0] = 96;
    r.smallImageSize[1] = 72;
    const bool large = b[status_block::kImageSizeFlag] != 0;
    r.imageSize[0] = large ? 1152 : 640;
    r.imageSize[1] = large ? 864 : 480;
    *out = r;
}

// Gets a reliable exchange with the camera back and puts the line at the
// requested rate. Only mode 1 exists.
void CameraLink::Resynchronise(int mode) {
    using namespace link_status;
    if (mode != 1) {
        status_ = kBadArgument;
        return;
    }
    const uint8_t* b = statusBlock_;
    setCommandAttempts(kProbeAttempts);
    QueryStatus();
    if (status_ == kOk) {
        switch (b[status_block::kCameraType]) {
            case status_block::kTypeRm520:
                cameraModel_ = kModelRm520;
                break;
            case status_block::kTypeRm525:
                cameraModel_ = kModelRm525;
                break;
            default:
                status_ = kNotUsable;
                return;
        }
        DelayMs(kContactBackMs);
        setCommandAttempts(kNormalAttempts);
        if (b[status_block::kRateLock] != 0 || requestedRate_ == currentCameraRate_)
            return;
        ChangeRate(requestedRate_);
        if (status_ != kOk)
            return;
        DelayMs(kAfterRateChangeMs);
        QueryStatus();
        if (status_ != kOk)
            return;
        DelayMs(kContactBackMs);
        setCommandAttempts(kNormalAttempts);
        return;
    }
    // A port that has failed (an adapter pulled out, a line hung up) sends
    // no break and carries no probe: the recovery would only wait.
    if (status_ == kPortFailure)
        return;
    DelayMs(kResyncStartMs);
    for (int pass = 0; pass < 2; ++pass) {
        if (ResyncPass(pass))
            return;
    }
    if (b[status_block::kRateLock] == 0) {
        SetHostRate(1);
        currentCameraRate_ = 1;
    }
    status_ = kNotUsable;
}

// One recovery attempt; the second one first resets the line with a break
// and starts again from 9600 bit/s, unless the camera locks its rate.
bool CameraLink::ResyncPass(int pass) {
    using namespace link_status;
    const bool resetLine = pass == 1 && statusBlock_[status_block::kRateLock] == 0;
    if (resetLine) {
        DelayMs(kStepPauseMs);
        SetBreak(0);
        DelayMs(kBreakLengthMs);
        SetBreak(1);
        DelayMs(kStepPauseMs);
        PurgeQueues(0);
    }
    setCommandAttempts(kProbeAttempts);
    if (resetLine) {
        SetHostRate(1);
        DelayMs(kAfterRecoveryRateMs);
    }
    QueryStatus();
    if (status_ != kOk)
        return false;
    setCommandAttempts(kNormalAttempts);
    if (statusBlock_[status_block::kRateLock] != 0)
        return true;
    status_ = kOk;
    ChangeRate(requestedRate_);
    if (status_ != kOk)
        return false;
    DelayMs(kAfterRecoveryRateMs);
    QueryStatus();
    if (status_ != kOk)
        return false;
    DelayMs(kContactBackMs);
    setCommandAttempts(kNormalAttempts);
    return true;
}

int CameraLink::CheckCameraMemory(int modelCode) {
    uint8_t words[kMemoryWords * 2] = {};
    ReadWords(0, kMemoryWords - 1, words);
    // A read that failed leaves the buffer (partly) unfilled, and zeros would
    // pass an RM520 file into any camera: a failed read is a memory error.
    if (status_ != link_status::kOk)
        return -1;
    const int8_t v = int8_t(words[kModelWord * 2 + 1]);
    if (v < 0 || v > 7)
        return -1;
    if (modelCode == kModelRm520)
        return v == 0 ? 1 : 0;
    if (modelCode == kModelRm525)
        return v != 0 ? 1 : 0;
    return 1;
}

void CameraLink::CloseConnection() {
    status_ = link_status::kOk;
    errorNumber_ = 0;
    ReleaseCamera();
    ClosePortIfOpen();
    FinishOperation();
}

}  // namespace rm525
