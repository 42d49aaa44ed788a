#pragma once

// Whole files read and written in one call, for tests and benchmarks.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace rm525::testing {

// The file's bytes; empty when it cannot be read (a test compares them with
// what it expected, so a missing file shows there).
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes `bytes` as the whole file and returns its path.
inline std::string WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}
inline std::string WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteFile(path,
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace rm525::testing
