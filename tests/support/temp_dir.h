#pragma once

// A private folder for one test or benchmark, made with mkdtemp under the
// system's temporary folder (TMPDIR when set, else /tmp, which other
// programs share) and removed with everything in it.
#include <errno.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace rm525::testing {

class TempDir {
public:
    // Throws when the folder cannot be made: a test that went on without it
    // would write to "/name" and fail somewhere far from the cause.
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "rm525-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder " + pattern + ": " +
                                     std::strerror(errno));
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the folder.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string operator/(const std::string& name) const { return File(name); }
    std::string operator+(const std::string& suffix) const { return path_ + suffix; }

private:
    std::string path_;
};

}  // namespace rm525::testing
