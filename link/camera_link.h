#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

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

// The one connection to the camera: serial transport, packet protocol,
// connection and firmware transfer. Used by one thread at a time.
class CameraLink : public CameraInterface {
public:
    static constexpr int kAutoPort = 0;
    static constexpr int kBufferSize = 2048;

    CameraLink(SerialPortFactory& ports, Clock& clock);
    ~CameraLink() override;
    CameraLink(const CameraLink&) = delete;
    CameraLink& operator=(const CameraLink&) = delete;

    // ---- camera operations -------------------------------------------------
    void Connect(int port, int rateIndex, CameraStatusRecord* status,
                 CameraIdentityRecord* identity, int32_t* alreadyInUpdateMode);
    LinkStatus ReadCameraStatus(CameraStatusRecord* record) override;
    LinkStatus ReadCameraIdentity(CameraIdentityRecord* record) override;
    int CheckCameraMemory(int modelCode);
    void TransferFirmware(const uint8_t* body, const TransferCallback& callback);
    void CloseConnection();
    int16_t GetErrorNumber() const { return errorNumber_; }
    LinkStatus FinishOperation();
    void Resynchronise(int mode);

    // ---- packet protocol ---------------------------------------------------
    void ResetFrame();
    LinkStatus SendCommand();
    LinkStatus WaitAck(uint8_t ackByte, uint8_t nakByte);
    LinkStatus WaitCompletion(uint32_t timeoutMs);
    LinkStatus SendByte(uint8_t b);
    LinkStatus SendPacket(const uint8_t* data, int n);
    LinkStatus ReceiveBlock(uint8_t* dst, int count);
    LinkStatus ReceiveData(uint8_t* dst, int length, int n);
    void Handshake();
    void SendRateCommand(int rateIndex);
    void ChangeRate(int rateIndex);
    void QueryStatus();
    void WriteBlock(const uint8_t* data, int blockNumber);
    void SetValue(uint16_t number, uint16_t value);
    void ReadWords(uint16_t first, uint16_t last, uint8_t* dst);
    void PrepareArea(uint16_t area);
    void EnterUpdateMode();
    LinkStatus ReleaseCamera();
    static void DecodeCameraTime(uint32_t value, CameraTime* out);

    // ---- serial transport --------------------------------------------------
    LinkStatus OpenPort(int portNumber);
    LinkStatus SetHostRate(int rateIndex);
    LinkStatus Transmit(uint32_t timeoutMs);
    LinkStatus Receive(uint32_t timeoutMs);
    LinkStatus DrainInput();
    void PurgeQueues(int mode);
    LinkStatus SetBreak(int mode);
    LinkStatus ClosePort();
    LinkStatus ClosePortIfOpen();
    uint32_t NowMs();
    uint32_t DelayMs(uint32_t ms);

    // ---- state, for the layers above and for tests --------------------------
    LinkStatus status() const { return status_; }
    bool portOpen() const { return port_ != nullptr; }
    int hostRateIndex() const { return hostRateIndex_; }
    int currentCameraRateIndex() const { return currentCameraRate_; }
    int requestedRateIndex() const { return requestedRate_; }
    int cameraModelCode() const { return cameraModel_; }
    int16_t commandAttempts() const { return commandAttempts_; }
    void setCommandAttempts(int16_t n) { commandAttempts_ = n; }
    uint32_t lastActivity() const { return lastActivity_; }
    const uint8_t* commandFrame() const { return frame_; }
    const uint8_t* statusBlock() const { return statusBlock_; }
    const char* cameraId() const { return cameraId_; }
    void setPacketLength(int16_t n) { packetLength_ = n; }
    // Why ports could not be opened during the last Connect (or OpenPort).
    const std::vector<OpenFailure>& openFailures() const { return openFailures_; }

private:
    bool BringUp(int rateIndex, CameraStatusRecord* status, CameraIdentityRecord* identity,
                 int32_t* alreadyInUpdateMode);
    bool ResyncPass(int pass);
    void DecodeStatusRecord(CameraStatusRecord* out);
    bool ReadLineError(ErrorState* state);
    bool SetReadTimeouts(uint32_t totalMs);
    bool SetWriteTimeouts();
    LinkStatus WaitOutputQueue(uint32_t timeoutMs);
    LinkStatus ReadAnswerByte(uint32_t timeoutMs, uint8_t* b);
    void SleepUntilNotBefore(uint32_t timeMs);
    bool StartCommand(uint8_t code, uint16_t param1, uint16_t param2);
    void SimpleCommand(uint8_t code, uint16_t param1, uint16_t param2, uint32_t waitMs);

    SerialPortFactory& ports_;
    Clock& clock_;

    int32_t requestedRate_ = 5;
    int32_t currentCameraRate_ = 1;
    int16_t packetLength_ = 0;
    CameraStatusRecord lastStatus_{};
    CameraTime lastIdentityClock_{};
    char cameraId_[33] = {};
    int16_t errorNumber_ = 0;
    LinkStatus status_ = 0;
    uint8_t frame_[8] = {};
    int32_t cameraModel_ = 0;
    bool startByteFlag_ = false;

    std::unique_ptr<SerialPort> port_;
    int16_t hostRateIndex_ = 1;
    std::unique_ptr<uint8_t[]> txBuffer_;
    uint16_t txCount_ = 0;
    std::unique_ptr<uint8_t[]> rxBuffer_;
    uint16_t rxCount_ = 0;
    int16_t commandAttempts_ = 0;
    uint32_t lastActivity_ = 0;
    uint8_t statusBlock_[256] = {};

    std::vector<OpenFailure> openFailures_;
};

}  // namespace rm525
