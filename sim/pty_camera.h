#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "sim/camera_model.h"

namespace rm525::sim {

// Serves a CameraModel on a pseudo-terminal in real time: the model's
// microseconds are steady-clock microseconds since the start. A host opens
// the slave side as if it were a serial port.
class PtyCamera {
public:
    // `pace`: the camera's bytes take their line time (10 bits each at the
    // camera's rate); without it they leave as soon as they are ready.
    PtyCamera(CameraModel& camera, bool pace);
    ~PtyCamera();
    PtyCamera(const PtyCamera&) = delete;
    PtyCamera& operator=(const PtyCamera&) = delete;

    // Opens the pseudo-terminal; false with `error` set when it cannot.
    bool Open(std::string* error);
    const std::string& SlavePath() const { return slavePath_; }

    // Serves until `stop` is set or `done()` says so (checked after every
    // event, once the camera has nothing left to send). `onEvent` is called
    // with a line of text for each frame and handshake, when set.
    // Once set, `powerSwitch` switches the camera off and on again (and is
    // cleared): a signal handler can set it.
    void SetPowerSwitch(std::atomic<bool>& powerSwitch) { powerSwitch_ = &powerSwitch; }

    void Serve(const std::atomic<bool>& stop, const std::function<bool()>& done,
               const std::function<void(const std::string&)>& onEvent);

private:
    uint64_t NowUs() const;
    void ReadHostBytes(uint64_t now);
    void SendDueBytes(uint64_t now);
    void Report(const std::function<void(const std::string&)>& onEvent);

    CameraModel& camera_;
    bool pace_;
    int master_ = -1;
    std::string slavePath_;
    std::chrono::steady_clock::time_point start_;
    bool hostPresent_ = false;
    uint64_t lastRxUs_ = 0;
    size_t framesReported_ = 0;
    int handshakesReported_ = 0;
    int releasesReported_ = 0;
    int pending_ = -1;  // a byte the terminal would not take yet
    std::atomic<bool>* powerSwitch_ = nullptr;
};

}  // namespace rm525::sim
