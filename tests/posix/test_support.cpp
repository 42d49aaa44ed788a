#include "tests/posix/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace rm525::test {

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    slavePath_ = ptsname(master_);
}

PtyPair::~PtyPair() {
    CloseMaster();
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

void PtyPair::WriteMaster(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            throw std::runtime_error("pty master write failed");
        }
        done += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> PtyPair::ReadMaster(size_t atMost, int waitMs) const {
    std::vector<uint8_t> got;
    uint8_t buf[4096];
    pollfd pfd{master_, POLLIN, 0};
    while (got.size() < atMost && poll(&pfd, 1, waitMs) > 0 && (pfd.revents & POLLIN) != 0) {
        const ssize_t n = read(master_, buf, std::min(sizeof buf, atMost - got.size()));
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buf, buf + n);
    }
    return got;
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) {
        old_ = old;
    }
    setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_) {
        setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

bool WaitFor(const std::function<bool()>& done, int limitMs) {
    for (int i = 0; i < limitMs; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return v;
}

double CpuSeconds() {
    rusage u{};
#ifdef RUSAGE_THREAD
    getrusage(RUSAGE_THREAD, &u);
#else
    getrusage(RUSAGE_SELF, &u);
#endif
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace rm525::test
