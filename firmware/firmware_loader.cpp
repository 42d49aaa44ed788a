#include "firmware/firmware_loader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "firmware/firmware_format.h"

namespace rm525 {

namespace {
constexpr int64_t kMostBytesRead = firmware::kFileSize + 1;
}

LoadResult LoadFirmwareImage(const std::string& path) {
    LoadResult result;
    // The name is UTF-8 on every system; a path made from it says so where
    // the system's own file names are not (Windows).
    const std::u8string name(path.begin(), path.end());
    std::ifstream file(std::filesystem::path(name), std::ios::binary);
    if (!file) {
        result.error = LoadError::CannotOpen;
        return result;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    file.seekg(0, std::ios::beg);
    if (!file || length <= 0) {
        result.error = length == 0 ? LoadError::Empty : LoadError::CannotRead;
        return result;
    }
    result.fileSize = length;
    const int64_t toRead = std::min<int64_t>(length, kMostBytesRead);
    auto image = std::make_unique<FirmwareImage>(static_cast<size_t>(toRead));
    file.read(reinterpret_cast<char*>(image->data()), toRead);
    if (file.gcount() != toRead) {
        result.error = LoadError::CannotRead;
        return result;
    }
    result.image = std::move(image);
    return result;
}

}  // namespace rm525
