#pragma once

#include <filesystem>
#include <string>

namespace rm525::cli {

// The program keeps file names in UTF-8. A path built from a narrow string
// would read it in the system's own code page on Windows (a folder named
// "Kamera-Übertragung" would become another name), so paths are made from
// and turned back into UTF-8 explicitly.
inline std::filesystem::path PathFromUtf8(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace rm525::cli
