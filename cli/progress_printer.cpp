#include "cli/progress_printer.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>

#include "cli/terminal_text.h"

namespace rm525::cli {

namespace {
constexpr int kBarWidth = 40;
constexpr int kLineStep = 10;  // percent between two lines when there is no bar
}  // namespace

double ProgressPrinter::ElapsedSeconds() const {
    return static_cast<uint32_t>(clock_.NowMs() - startMs_) / 1000.0;
}

// "0:42 elapsed, 2:27 left": the time left is the time so far, scaled by
// what remains; the blocks all take the same time on the line.
std::string ProgressPrinter::Times(int phase, int percent) const {
    if (phase >= 2)
        return {};
    const double elapsed = ElapsedSeconds();
    std::string text = Duration(elapsed) + " elapsed";
    if (percent > 0 && percent < 100)
        text += ", " + Duration(elapsed * (100 - percent) / percent) + " left";
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
    if (phase == 0 || !open_)
        startMs_ = clock_.NowMs();
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
