#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace rm525 {

// The platform operations that the camera link needs from one serial port,
// and nothing more. The termios backend and the camera simulator implement
// them; the link reaches the port only through this interface.

enum class Parity { None, Odd, Even };
enum class StopBits { One, Two };

struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t byteSize = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool binary = true;         // no end-of-file character processing
    bool parityCheck = false;   // check parity of received bytes
    bool abortOnError = false;  // refuse reads and writes after a line error until cleared
};

// Read: a read ends when `count` bytes have arrived, when `readTotalConstant` ms
// have passed since it began, or when the line stays quiet for more than
// `readInterval` ms between two bytes. Write: allows `writeTotalMultiplier` ms
// per byte plus `writeTotalConstant`. Zero means "no such limit".
struct CommTimeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
};

// What reading the line error state reports; reading it also clears the errors.
struct ErrorState {
    uint32_t errors = 0;    // line errors seen since the last read (framing, overrun, break ...)
    uint32_t inQueue = 0;   // bytes received and not yet read
    uint32_t outQueue = 0;  // bytes written and not yet sent
};

enum PurgeFlags : unsigned {
    kPurgeInput = 1u,   // discard received bytes not yet read
    kPurgeOutput = 2u,  // discard written bytes not yet sent
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual bool SetupQueues(uint32_t inputBytes, uint32_t outputBytes) = 0;
    virtual bool GetLineSettings(LineSettings& settings) = 0;
    virtual bool SetLineSettings(const LineSettings& settings) = 0;
    virtual bool GetTimeouts(CommTimeouts& timeouts) = 0;
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
    virtual bool ClearError(ErrorState* state) = 0;
    // Both report the bytes actually moved; a read that timed out still
    // succeeds with fewer bytes. A write returns once its bytes have left
    // the driver (or its time allowance is used up).
    virtual bool Read(uint8_t* dst, uint32_t count, uint32_t* moved) = 0;
    virtual bool Write(const uint8_t* src, uint32_t count, uint32_t* moved) = 0;
    virtual bool Purge(unsigned flags) = 0;
    virtual bool SetBreak() = 0;
    virtual bool ClearBreak() = 0;
    // Closes the port; the object is then unusable. The destructor closes too.
    virtual void Close() = 0;
};

// Why a port could not be opened: the device it maps to (empty when the
// number maps to none) and the system error (errno), so that a front end can
// tell the user what to do.
struct OpenFailure {
    int portNumber = 0;
    std::string device;
    int systemError = 0;
};

// Opens serial ports by number: 1..9 stand for "COM1".."COM9".
class SerialPortFactory {
public:
    virtual ~SerialPortFactory() = default;
    // Opens the port exclusively: a port that another program holds is
    // refused, never shared. On failure returns null and fills `failure`.
    virtual std::unique_ptr<SerialPort> Open(int portNumber, OpenFailure* failure) = 0;
    // Whether the search for the camera over every port passes this one over
    // unopened: a port whose opening can block for seconds and that no
    // camera cable reaches (a Bluetooth serial port).
    virtual bool PassedOverBySearch(int /*portNumber*/) { return false; }
};

}  // namespace rm525
