#pragma once

// A private folder for one test (mkdtemp under the system's temporary
// folder, which other programs share), removed with everything in it.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace rm525::testing {

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "rm525-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
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
