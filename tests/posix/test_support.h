#pragma once

#include "tests/support/temp_dir.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rm525::test {

// A pseudo-terminal: the test holds the master side and plays the camera's
// end of the cable; the port under test opens the slave by its path.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    void WriteMaster(const std::vector<uint8_t>& bytes) const;
    // Hangs up the line, as an unplugged adapter or an ended camera program does.
    void CloseMaster();
    // Reads what arrives within `waitMs` of quiet.
    std::vector<uint8_t> ReadMaster(size_t atMost, int waitMs) const;

private:
    int master_ = -1;
    std::string slavePath_;
};

// Sets an environment variable for the scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

using TempDir = rm525::testing::TempDir;

// Polls `done` every millisecond for up to `limitMs`; true when it held.
bool WaitFor(const std::function<bool()>& done, int limitMs = 2000);

std::vector<uint8_t> Pattern(size_t n, uint8_t seed);

// Processor time this thread has used: a wait that spins shows here, one that
// sleeps in the kernel does not.
double CpuSeconds();

}  // namespace rm525::test
