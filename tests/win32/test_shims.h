#pragma once

// What the shared tests take from POSIX and the Windows C library lacks,
// put before every test source of the Windows build (-include).
#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr)
        return 0;
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}

// Creates a new folder from `pattern`, whose last six characters are
// "XXXXXX", as POSIX mkdtemp does.
inline char* mkdtemp(char* pattern) {
    const size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long seed = GetTickCount64() ^ (GetCurrentProcessId() * 2654435761ull);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        for (size_t i = length - 6; i < length; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            pattern[i] = kLetters[(seed >> 33) % (sizeof kLetters - 1)];
        }
        if (_mkdir(pattern) == 0)
            return pattern;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}
