#pragma once

#include <cstdint>
#include <functional>

#include "link/camera_protocol.h"
#include "link/camera_records.h"
#include "link/clock.h"
#include "link/link_status.h"
#include "link/serial_port.h"

namespace rm525 {

// The camera interface that the connection reads the camera through. Its
// other slots are empty operations that nothing calls; they are left out.
class CameraInterface {
public:
    virtual ~CameraInterface() = default;
    virtual LinkStatus ReadCameraIdentity(CameraIdentityRecord*) { return 0; }
    virtual LinkStatus ReadCameraStatus(CameraStatusRecord*) { return 0; }
};

// Progress of a firmware transfer: phase 0 before anything is sent, 1 after
// every block, 2 after success, 3 after failure. Returns 0 to stop.
using TransferCallback = std::function<int(int phase, int percent, int reserved)>;

// The one connection to the camera: finding it, bringing it into update
// mode, reading it, the memory check, the firmware transfer and the release,
// all built on the transport and packet protocol. Used by one thread at a time.
class CameraLink : public CameraInterface, private CameraProtocol {
public:
    static constexpr int kAutoPort = 0;

    CameraLink(SerialPortFactory& ports, Clock& clock);
    ~CameraLink() override;

    void Connect(int port, int rateIndex, CameraStatusRecord* status,
                 CameraIdentityRecord* identity, int32_t* alreadyInUpdateMode);
    LinkStatus ReadCameraStatus(CameraStatusRecord* record) override;
    LinkStatus ReadCameraIdentity(CameraIdentityRecord* record) override;
    int CheckCameraMemory(int modelCode);
    void TransferFirmware(const uint8_t* body, const TransferCallback& callback);
    void CloseConnection();
    using CameraProtocol::FinishOperation;
    using CameraProtocol::GetErrorNumber;

    int cameraModelCode() const { return cameraModel_; }
    // Why ports could not be opened during the last Connect.
    using CameraProtocol::openFailures;

private:
    bool BringUp(int rateIndex, CameraStatusRecord* status, CameraIdentityRecord* identity,
                 int32_t* alreadyInUpdateMode);
    void Resynchronise(int mode);
    bool ResyncPass(int pass);
    void DecodeStatusRecord(CameraStatusRecord* out);

    int32_t requestedRate_ = 5;
    CameraStatusRecord lastStatus_{};
    CameraTime lastIdentityClock_{};
    char cameraId_[33] = {};
    int32_t cameraModel_ = 0;
};

}  // namespace rm525
