#include "cli/file_problem.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cli/utf8_path.h"
#include "firmware/firmware_format.h"
#include "firmware/firmware_inspect.h"
#include "firmware/firmware_loader.h"

namespace rm525::cli {

std::string ReadProblem(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path name = PathFromUtf8(path);
    std::error_code ec;
    const fs::file_status status = fs::status(name, ec);
    if (status.type() == fs::file_type::not_found)
        return "no such file";
    if (status.type() == fs::file_type::directory)
        return "a directory, not a file";
    errno = 0;
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        if (errno == EACCES || errno == EPERM)
            return "permission denied";
        return errno != 0 ? std::strerror(errno) : "cannot be opened";
    }
    char byte = 0;
    // A read error ends in badbit (the stream catches the buffer's throw),
    // the end of the file only in eofbit and failbit.
    if (!file.read(&byte, 1))
        return file.bad() ? "cannot be read" : "the file is empty";
    return {};
}

std::string ContentProblem(const std::string& path) {
    const LoadResult loaded = LoadFirmwareImage(path);
    if (!loaded.image)
        return ReadProblem(path);
    const FirmwareVerdict v = InspectFirmware(*loaded.image, loaded.fileSize);
    if (v.model == 0)
        return "the header names neither camera (RM520 nor RM525 Zoom)";
    if (!v.sizeOk) {
        return std::to_string(v.size) + " bytes where " + std::to_string(firmware::kFileSize) +
               " are needed";
    }
    return {};
}

}  // namespace rm525::cli
