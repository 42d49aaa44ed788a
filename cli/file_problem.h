#pragma once

#include <string>

namespace rm525::cli {

// Why a firmware file cannot be read, in a few words ("no such file", "a
// directory", "the file is empty", "permission denied"); empty when it can
// be read.
std::string ReadProblem(const std::string& path);

// Why the update refuses the file by its contents ("1000 bytes where 524416
// are needed", "the header names neither camera"); empty when the header and
// the size are right, so that only the camera can still refuse it.
std::string ContentProblem(const std::string& path);

}  // namespace rm525::cli
