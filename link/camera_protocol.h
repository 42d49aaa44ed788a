#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "link/clock.h"
#include "link/link_status.h"
#include "link/serial_port.h"

namespace rm525 {

// The serial transport and the camera's packet protocol over it: the port,
// its two buffers, the command frame, the status of the last step and the
// status block the camera sent last. The camera operations build on it.
// Used by one thread at a time.
class CameraProtocol {
public:
    static constexpr int kBufferSize = 2048;

    CameraProtocol(SerialPortFactory& ports, Clock& clock);
    ~CameraProtocol();
    CameraProtocol(const CameraProtocol&) = delete;
    CameraProtocol& operator=(const CameraProtocol&) = delete;

    // ---- packet protocol ---------------------------------------------------
    void ResetFrame();
    LinkStatus SendCommand();
    LinkStatus WaitAck(uint8_t ackByte, uint8_t nakByte);
    LinkStatus WaitCompletion(uint32_t timeoutMs);
    LinkStatus SendByte(uint8_t b);
    LinkStatus SendPacket(const uint8_t* data, int n);
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
    // Turns the status of the steps so far into the error number and starts
    // the next operation afresh; returns that status.
    LinkStatus FinishOperation();

    // ---- serial transport --------------------------------------------------
    LinkStatus OpenPort(int portNumber);
    // Whether the search over every port leaves this one unopened.
    bool PassedOverBySearch(int portNumber) { return ports_.PassedOverBySearch(portNumber); }
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

    // ---- state -------------------------------------------------------------
    LinkStatus status() const { return status_; }
    int16_t GetErrorNumber() const { return errorNumber_; }
    bool portOpen() const { return port_ != nullptr; }
    int hostRateIndex() const { return hostRateIndex_; }
    int currentCameraRateIndex() const { return currentCameraRate_; }
    // How often a command frame is sent before the camera is given up on;
    // 0 or less sends it once. Opening a port sets it back to 3.
    int16_t commandAttempts() const { return commandAttempts_; }
    void setCommandAttempts(int16_t n) { commandAttempts_ = n; }
    uint32_t lastActivity() const { return lastActivity_; }
    const uint8_t* statusBlock() const { return statusBlock_; }
    // Why ports could not be opened since the list was last cleared.
    const std::vector<OpenFailure>& openFailures() const { return openFailures_; }

protected:
    // The layer above starts its operations afresh and keeps its own view of
    // the camera's rate in step with the recovery it runs.
    LinkStatus status_ = 0;
    int16_t errorNumber_ = 0;
    int32_t currentCameraRate_ = 1;
    uint8_t statusBlock_[256] = {};
    std::vector<OpenFailure> openFailures_;

private:
    LinkStatus ReceiveBlock(uint8_t* dst, int count);
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

    int16_t packetLength_ = 0;
    uint8_t frame_[8] = {};
    bool startByteFlag_ = false;

    std::unique_ptr<SerialPort> port_;
    int16_t hostRateIndex_ = 1;
    std::unique_ptr<uint8_t[]> txBuffer_;
    uint16_t txCount_ = 0;
    std::unique_ptr<uint8_t[]> rxBuffer_;
    uint16_t rxCount_ = 0;
    int16_t commandAttempts_ = 0;
    uint32_t lastActivity_ = 0;
};

}  // namespace rm525
