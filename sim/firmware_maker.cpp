#include "sim/firmware_maker.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>

namespace rm525::sim::firmware_file {

namespace {

// splitmix64: the same body for the same seed on every machine.
uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A version character's digit: '0'..'9', then 'A'..'F' (either case) as 10..15.
uint8_t VersionDigit(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<uint8_t>(c - '0');
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper >= 'A' && upper <= 'F' ? static_cast<uint8_t>(upper - 'A' + 10) : 0;
}

}  // namespace

std::array<uint8_t, 2> StatusVersionBytes(std::string_view version) {
    std::array<uint8_t, 4> d{};
    for (size_t i = 0; i < d.size() && i < version.size(); ++i)
        d[i] = VersionDigit(version[i]);
    if (d[0] == 0 && d[1] == 0 && d[3] < 10)
        return {0, static_cast<uint8_t>(d[2] * 10 + d[3])};
    return {static_cast<uint8_t>(d[0] << 4 | d[1]), static_cast<uint8_t>(d[2] << 4 | d[3])};
}

std::optional<std::array<uint8_t, 2>> ReadVersionMark(const std::vector<uint8_t>& body) {
    if (body.size() != kBodySize ||
        !std::equal(kVersionMark.begin(), kVersionMark.end(), body.begin() + kVersionMarkOffset))
        return std::nullopt;
    const size_t at = kVersionMarkOffset + kVersionMark.size();
    return std::array<uint8_t, 2>{body[at], body[at + 1]};
}

std::vector<uint8_t> MakeFirmware(const FirmwareSpec& spec) {
    std::vector<uint8_t> file(kFileSize, 0);
    const std::string_view text = spec.model == Model::Rm520 ? kRm520Text : kRm525Text;
    std::copy(text.begin(), text.end(), file.begin() + kModelTextOffset);
    if (spec.defect == Defect::Header)
        file[kModelTextOffset] = 'q';  // "quelm": no model matches
    for (size_t i = 0; i < kVersionLength && i < spec.version.size(); ++i) {
        file[kVersionOffset + i] = static_cast<uint8_t>(spec.version[i]);
    }
    uint64_t state = spec.seed;
    for (size_t i = kBodyOffset; i < kFileSize; i += 8) {
        const uint64_t r = NextRandom(state);
        for (size_t k = 0; k < 8; ++k)
            file[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    const size_t mark = kBodyOffset + kVersionMarkOffset;
    std::copy(kVersionMark.begin(), kVersionMark.end(), file.begin() + mark);
    const std::array<uint8_t, 2> status = StatusVersionBytes(spec.version);
    std::copy(status.begin(), status.end(), file.begin() + mark + kVersionMark.size());
    if (spec.defect == Defect::Short)
        file.pop_back();
    if (spec.defect == Defect::Long)
        file.push_back(0);
    return file;
}

bool WriteFirmware(const FirmwareSpec& spec, const std::string& path, std::string* error) {
    const std::vector<uint8_t> file = MakeFirmware(spec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        if (error)
            *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace rm525::sim::firmware_file
