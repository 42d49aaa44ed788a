#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The firmware file as the updater reads it, and a maker of test files.
namespace rm525::sim::firmware_file {

constexpr size_t kFileSize = 524416;  // 0x80080
constexpr size_t kModelTextOffset = 0;
constexpr size_t kModelTextCompared = 48;  // the loader compares this many characters
constexpr size_t kVersionOffset = 61;      // four version characters, 62..64 shown as "%c.%c%c"
constexpr size_t kVersionLength = 4;
constexpr size_t kBodyOffset = 128;
constexpr size_t kBodySize = 524288;  // 2048 blocks of 256 bytes

// The header's version never reaches the camera: only the body is sent. So
// that a simulated camera can report the version it was given, a made body
// ends with this mark and the two status bytes (2 and 3) that the version
// characters stand for. A verified camera takes them over.
constexpr std::string_view kVersionMark = "RM5VER";
constexpr size_t kVersionMarkOffset = kBodySize - kVersionMark.size() - 2;  // in the body

// The model texts, 49 characters each; the file holds the whole text.
constexpr std::string_view kRm525Text = "Quelm Vivid Imagework RM525 Zoom camera. Firmware";
constexpr std::string_view kRm520Text = "Quelm Vivid Imagework RM520      camera. Firmware";

enum class Model { Rm520, Rm525 };
// A broken file: a header that matches neither model, a byte short, a byte long.
enum class Defect { None, Header, Short, Long };

struct FirmwareSpec {
    Model model = Model::Rm525;
    std::string version = "0105";  // the four characters at offset 61
    uint64_t seed = 1;             // the body is pseudo-random from this seed
    Defect defect = Defect::None;
};

std::vector<uint8_t> MakeFirmware(const FirmwareSpec& spec);
// Status bytes 2 and 3 that read back as these version characters. Only the
// last character may be a letter; digits 0, 0, d, A..F have no such bytes
// (the camera reads byte 3 up to 99 as a decimal number), and get the nibbles.
std::array<uint8_t, 2> StatusVersionBytes(std::string_view version);
// The status bytes of a body's version mark, when it has one.
std::optional<std::array<uint8_t, 2>> ReadVersionMark(const std::vector<uint8_t>& body);
// Writes the file; false with `error` set when it cannot.
bool WriteFirmware(const FirmwareSpec& spec, const std::string& path, std::string* error);

}  // namespace rm525::sim::firmware_file
