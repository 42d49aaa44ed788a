#include "sim/sim_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace rm525::sim {

namespace {

std::string Hex16(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

std::string ValueLine(const CameraModel& camera, uint16_t number, const char* name) {
    const std::optional<uint16_t> received = camera.ReceivedValue(number);
    return std::string("check value ") + name + " (" + std::to_string(number) + "): received " +
           (received ? Hex16(*received) : "none") + ", expected " +
           Hex16(camera.ExpectedValue(number)) + "\n";
}

bool WriteBytes(const std::string& path, const char* data, size_t size, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.close();
    if (!out && error)
        *error = "cannot write " + path + ": " + std::strerror(errno);
    return static_cast<bool>(out);
}

}  // namespace

std::string CameraReport(const CameraModel& camera) {
    std::ostringstream r;
    r << "blocks written: " << camera.BlocksWritten() << "\n";
    r << ValueLine(camera, protocol::kValueCheckA, "A");
    r << ValueLine(camera, protocol::kValueCheckB, "B");
    r << "verified: " << (camera.Verified() ? "yes" : "no") << "\n";
    r << "mode: " << (camera.Mode() == CameraMode::Update ? "update" : "normal") << "\n";
    r << "rate: " << camera.Baud() << "\n";
    r << "releases: " << camera.ReleaseCount() << "\n";
    r << "frames: " << camera.Frames().size() << "\n";
    return r.str();
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error) {
    return WriteBytes(path, text.data(), text.size(), error);
}

bool WriteFlash(const CameraModel& camera, const std::string& path, std::string* error) {
    const std::vector<uint8_t>& flash = camera.Flash();
    return WriteBytes(path, reinterpret_cast<const char*>(flash.data()), flash.size(), error);
}

bool ReadFlash(CameraModel& camera, const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::vector<uint8_t> flash{std::istreambuf_iterator<char>(in), {}};
    if (!camera.LoadFlash(flash)) {
        *error = path + " holds " + std::to_string(flash.size()) + " bytes, not " +
                 std::to_string(protocol::kBodySize);
        return false;
    }
    return true;
}

}  // namespace rm525::sim
