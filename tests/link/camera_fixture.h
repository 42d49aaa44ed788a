#pragma once

// A link to the in-process simulated camera on a virtual clock.
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "link/camera_link.h"
#include "link/protocol.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"

namespace rm525::testing {

inline std::vector<uint8_t> RandomBody(uint32_t seed) {
    std::vector<uint8_t> body(protocol::kBodySize);
    std::mt19937 rng(seed);
    for (auto& b : body)
        b = uint8_t(rng());
    return body;
}

class CameraFixture : public ::testing::Test {
protected:
    sim::CameraModel& Camera(int port = 1, sim::CameraSetup setup = sim::Rm525Setup()) {
        return ports.AttachCamera(port, setup);
    }
    void ConnectOn(int port) {
        identity.idText = idText;
        link.Connect(port, 3, &status, &identity, &already);
    }
    // What the user does before the retry: the camera is switched off and on,
    // which brings its line back to 9600 bit/s and ends any fault.
    static void PowerCycle(sim::CameraModel& camera, sim::VirtualClock& clock) {
        camera.ClearFaults();
        camera.SetSilent(false);
        camera.LineBreak(clock.NowUs(), clock.NowUs() + 1000);
        clock.Advance(2000);
    }
    std::vector<uint8_t> WireFromHost(int port) const {
        return sim::WireBytes(ports.Record(port).log, sim::WireDirection::HostToCamera);
    }
    // The frames the camera understood with this command code.
    static std::vector<sim::ReceivedFrame> FramesOf(const sim::CameraModel& camera, uint8_t code) {
        std::vector<sim::ReceivedFrame> out;
        for (const auto& f : camera.Frames())
            if (f.Command() == code)
                out.push_back(f);
        return out;
    }

    sim::VirtualClock clock{5000};
    sim::SimulatedPortFactory ports{clock};
    CameraLink link{ports, clock};
    CameraStatusRecord status{};
    char idText[33] = {};
    CameraIdentityRecord identity{};
    int32_t already = -1;
};

}  // namespace rm525::testing
