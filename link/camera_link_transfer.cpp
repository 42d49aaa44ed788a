// Writing a firmware body into the camera: two area preparations, 2048
// numbered blocks, the two check values and the release.
#include "link/camera_link.h"
#include "link/protocol.h"

namespace rm525 {

namespace {
using namespace protocol;

enum Phase { kStart = 0, kProgress = 1, kCompleted = 2, kFailed = 3 };

// The frame carries each check value low-order byte first.
uint16_t Swapped(uint32_t check) {
    return uint16_t((check & 0xFF) << 8 | (check >> 8 & 0xFF));
}
}  // namespace

void CameraLink::TransferFirmware(const uint8_t* body, const TransferCallback& callback) {
    using namespace link_status;
    status_ = kOk;
    errorNumber_ = 0;
    uint32_t checkA = 0;
    uint32_t checkB = 0;
    int lastPercent = 0;
    auto report = [&callback](int phase, int percent) {
        return callback ? callback(phase, percent, 0) != 0 : true;
    };

    if (!report(kStart, 0)) {
        status_ = kCancelled;  // nothing has reached the camera
        ClosePortIfOpen();
        FinishOperation();
        return;
    }
    PrepareArea(1);
    if (status_ == kOk)
        PrepareArea(2);
    for (int n = 0; status_ == kOk && n < kBlockCount; ++n) {
        const uint8_t* block = body + n * kBlockSize;
        WriteBlock(block, n);
        if (status_ == kOk)
            (n * kBlockSize < kCheckBBoundary ? checkA : checkB) ^= BlockCheck(block);
        lastPercent = (n + 1) * 100 / kBlockCount;
        if (!report(kProgress, lastPercent))
            status_ = kCancelled;
    }
    if (status_ == kOk) {
        ChangeRate(1);  // the check values travel at 9600 bit/s; a failure here alone is let pass
        SetValue(kValueCheckA, Swapped(checkA));
        // Each check value must be accepted: a camera that rejected either one
        // holds firmware it will not vouch for.
        if (status_ == kOk)
            SetValue(kValueCheckB, Swapped(checkB));
        if (status_ == kOk)
            ReleaseCamera();
        if (status_ == kOk)
            status_ = ClosePort();
    }
    if (status_ == kOk) {
        if (!report(kCompleted, 100))
            status_ = kCancelled;
    } else if (!report(kFailed, lastPercent)) {
        status_ = kCancelled;
    }
    ClosePortIfOpen();
    FinishOperation();
}

}  // namespace rm525
