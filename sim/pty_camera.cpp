#include "sim/pty_camera.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/line.h"
#include "sim/pty_rate.h"

namespace rm525::sim {

namespace {
// While no host holds the terminal, look again this often.
constexpr int kIdlePollMs = 10;
// The longest single wait, so a stop request is seen promptly.
constexpr int kMaxPollMs = 50;

std::string HexBytes(const uint8_t* b, size_t n) {
    std::string s;
    char text[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(text, sizeof text, i ? " %02X" : "%02X", b[i]);
        s += text;
    }
    return s;
}
}  // namespace

PtyCamera::PtyCamera(CameraModel& camera, bool pace)
    : camera_(camera), pace_(pace), start_(std::chrono::steady_clock::now()) {
    camera_.Timing().wireTime = pace;
}

PtyCamera::~PtyCamera() {
    if (master_ >= 0)
        close(master_);
}

bool PtyCamera::Open(std::string* error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        *error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[256];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        *error = std::string("ptsname: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    if (!MakePtyRaw(master_)) {
        *error = std::string("cannot set the terminal raw: ") + std::strerror(errno);
        return false;
    }
    return true;
}

uint64_t PtyCamera::NowUs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
}

void PtyCamera::ReadHostBytes(uint64_t now) {
    uint8_t buffer[512];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0)
        return;
    const uint32_t hostBaud = PtyHostBaud(master_);
    // The bytes came together; on a line they would have followed each other.
    const uint64_t byteUs = pace_ ? line::ByteTimeUs(hostBaud) : 0;
    for (ssize_t i = 0; i < n; ++i) {
        const uint64_t at = std::max(lastRxUs_, now - std::min(now, (n - 1 - i) * byteUs));
        lastRxUs_ = at;
        camera_.Receive(at, buffer[i], hostBaud);
    }
}

void PtyCamera::SendDueBytes(uint64_t now) {
    while (pending_ >= 0 || (camera_.HasOutput() && camera_.PeekOutput().timeUs <= now)) {
        if (pending_ < 0) {
            const CameraByte b = camera_.PopOutput();
            if (!hostPresent_)
                continue;  // nobody listening: the byte is lost
            // A pseudo-terminal carries no framing error: a damaged byte
            // arrives only garbled.
            const bool match = !b.lineError && line::BaudsMatch(b.baud, PtyHostBaud(master_));
            pending_ = match ? b.value : line::Garble(b.value);
        }
        const uint8_t value = static_cast<uint8_t>(pending_);
        if (write(master_, &value, 1) != 1)
            return;  // full: try again later
        pending_ = -1;
    }
}

void PtyCamera::Report(const std::function<void(const std::string&)>& onEvent) {
    if (!onEvent)
        return;
    const auto& frames = camera_.Frames();
    for (; framesReported_ < frames.size(); ++framesReported_) {
        const ReceivedFrame& f = frames[framesReported_];
        onEvent("frame " + HexBytes(f.bytes.data(), f.bytes.size()));
    }
    for (; handshakesReported_ < camera_.HandshakeReplies(); ++handshakesReported_) {
        onEvent("handshake answered");
    }
    for (; releasesReported_ < camera_.ReleaseCount(); ++releasesReported_) {
        onEvent(std::string("released, ") + (camera_.Verified() ? "verified" : "not verified") +
                ", mode " + (camera_.Mode() == CameraMode::Update ? "update" : "normal"));
    }
}

void PtyCamera::Serve(const std::atomic<bool>& stop, const std::function<bool()>& done,
                      const std::function<void(const std::string&)>& onEvent) {
    while (!stop.load()) {
        uint64_t now = NowUs();
        if (powerSwitch_ && powerSwitch_->exchange(false)) {
            pending_ = -1;
            camera_.PowerCycle(now);
            if (onEvent)
                onEvent("switched off and on");
        }
        camera_.RunUntil(now);
        SendDueBytes(now);
        Report(onEvent);
        if (done && done() && !camera_.HasOutput() && pending_ < 0)
            return;

        // Wake at the microsecond the camera next acts: answers keep their
        // timing instead of coming up to a millisecond late.
        uint64_t waitUs = uint64_t{kMaxPollMs} * 1000;
        std::optional<uint64_t> next = camera_.NextTimerUs();
        if (camera_.HasOutput()) {
            const uint64_t t = camera_.PeekOutput().timeUs;
            next = next ? std::min(*next, t) : t;
        }
        if (pending_ >= 0)
            waitUs = 1000;
        if (next)
            waitUs = std::min(waitUs, *next > now ? *next - now : 0);
        const timespec wait{static_cast<time_t>(waitUs / 1000000),
                            static_cast<long>(waitUs % 1000000 * 1000)};
        pollfd p{master_, POLLIN, 0};
        const int r = ppoll(&p, 1, &wait, nullptr);
        if (r < 0)
            continue;  // a signal: look at `stop` again
        // POLLHUP: no program holds the slave side. Nothing can be read then,
        // and what the camera sends is lost.
        hostPresent_ = !(p.revents & POLLHUP);
        now = NowUs();
        if (p.revents & POLLIN)
            ReadHostBytes(now);
        if (!hostPresent_) {
            pending_ = -1;
            camera_.RunUntil(now);
            camera_.DropOutputUntil(now);
            usleep(kIdlePollMs * 1000);
        }
    }
}

}  // namespace rm525::sim
