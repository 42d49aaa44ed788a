#include "cli/progress_printer.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>

#include "cli/terminal_text.h"
#include "link/protocol.h"

namespace rm525::cli {

namespace {
constexpr int kBarWidth = 40;
constexpr int kLineStep = 10;  // percent between two lines when there is no bar

// What one block costs on the line, known before any has gone: the camera
// takes no frame sooner than 100 ms after it completed the last command, and
// a block moves its frame, the acceptance, the packet, the packet's answer
// and the completion, ten bits a byte at 38400 bit/s. Once the blocks have
// shown their own pace, that counts instead: a slower line, or a
// pseudo-terminal that hands the host's bytes over at once.
constexpr double kFrameGapMs = 100;
constexpr int kBytesPerBlock = protocol::kFrameSize + 1 + protocol::kPacketSize + 1 + 1;
constexpr double kBlockMs = kFrameGapMs + kBytesPerBlock * 10 * 1000.0 / protocol::kHostBaud[3];
constexpr int kMeasuredFromPercent = 2;  // percent of blocks timed before the pace counts
}  // namespace

double ProgressPrinter::ElapsedSeconds() const {
    return static_cast<uint32_t>(clock_.NowMs() - startMs_) / 1000.0;
}

// "0:42 elapsed, 2:27 left": the blocks still to go, at the line's own pace
// per block until a few have been timed, then at the pace measured since
// the first block. The preparation before the first block is not counted: it takes
// as long as the camera needs, and once.
std::string ProgressPrinter::Times(int phase, int percent) const {
    if (phase >= 2)
        return {};
    const double elapsed = ElapsedSeconds();
    std::string text = Duration(elapsed) + " elapsed";
    if (percent > 0 && percent < 100) {
        double secondsPerPercent = kBlockMs * protocol::kBlockCount / 100 / 1000;
        if (firstBlockPercent_ >= 0 && percent - firstBlockPercent_ >= kMeasuredFromPercent) {
            const double measured = static_cast<uint32_t>(percentStartMs_ - firstBlockMs_) /
                                    1000.0 / (percent - firstBlockPercent_);
            secondsPerPercent = measured;
        }
        // Percents are whole: the time since this one was reached is gone.
        const double inPercent = static_cast<uint32_t>(clock_.NowMs() - percentStartMs_) / 1000.0;
        text += ", " + Duration(secondsPerPercent * (100 - percent) - inPercent) + " left";
    }
    return text;
}

void ProgressPrinter::DrawBar(int percent, const char* text, const std::string& times) {
    const int p = std::clamp(percent, 0, 100);
    const int filled = p * kBarWidth / 100;
    std::string line =
        '[' + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] " +
        (p < 10    ? "  "
         : p < 100 ? " "
                   : "") +
        std::to_string(p) + "% " + (text ? text : "") + (times.empty() ? "" : "  ") + times;
    const size_t width = line.size();
    if (terminalSequences_)
        line += "\x1b[K";  // erase what a longer line before left
    else if (width < lastBarWidth_)
        line += std::string(lastBarWidth_ - width, ' ');
    lastBarWidth_ = width;
    out_ << '\r' << line << std::flush;
}

void ProgressPrinter::Show(int phase, int percent, const char* text) {
    if (phase == 0 || !open_) {
        startMs_ = clock_.NowMs();
        firstBlockPercent_ = -1;
    }
    if (phase == 1 && percent != lastPercent_) {
        percentStartMs_ = clock_.NowMs();
        if (firstBlockPercent_ < 0) {
            firstBlockPercent_ = percent;
            firstBlockMs_ = percentStartMs_;
        }
    }
    open_ = true;
    lastPhase_ = phase;
    lastPercent_ = percent;
    const std::string times = Times(phase, percent);
    if (bar_) {
        DrawBar(percent, text, times);
        return;
    }
    const int tenth = std::clamp(percent, 0, 100) / kLineStep;
    if (phase == 0 || phase >= 2 || tenth != lastTenth_) {
        out_ << percent << "% " << (text ? text : "");
        if (!times.empty())
            out_ << " (" << times << ")";
        out_ << '\n' << std::flush;
        lastTenth_ = tenth;
    }
}

void ProgressPrinter::Close() {
    if (open_ && bar_)
        out_ << '\n';
    if (open_) {
        const double seconds = ElapsedSeconds();
        char line[160];
        if (lastPhase_ == 2) {
            const double rate = seconds > 0 ? static_cast<double>(bytes_) / seconds : 0.0;
            std::snprintf(line, sizeof line, "Wrote %lld bytes in %.1f s (%.0f bytes/s).",
                          static_cast<long long>(bytes_), seconds, rate);
        } else {
            std::snprintf(line, sizeof line, "The transfer stopped at %d %% after %.1f s.",
                          lastPercent_, seconds);
        }
        out_ << line << '\n' << std::flush;
    }
    open_ = false;
    lastTenth_ = -1;
}

}  // namespace rm525::cli
