#include "cli/progress_printer.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace rm525::cli {

namespace {
constexpr int kBarWidth = 40;
constexpr int kLineStep = 10;  // percent between two lines when there is no bar
}  // namespace

void ProgressPrinter::DrawBar(int percent, const char* text) {
    const int p = std::clamp(percent, 0, 100);
    const int filled = p * kBarWidth / 100;
    out_ << '\r' << '[' << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "] "
         << (p < 10    ? "  "
             : p < 100 ? " "
                       : "")
         << p << "% " << (text ? text : "") << "\x1b[K" << std::flush;
}

void ProgressPrinter::Show(int phase, int percent, const char* text) {
    open_ = true;
    if (bar_) {
        DrawBar(percent, text);
        return;
    }
    const int tenth = std::clamp(percent, 0, 100) / kLineStep;
    if (phase == 0 || phase >= 2 || tenth != lastTenth_) {
        out_ << percent << "% " << (text ? text : "") << '\n' << std::flush;
        lastTenth_ = tenth;
    }
}

void ProgressPrinter::Close() {
    if (open_ && bar_)
        out_ << '\n' << std::flush;
    open_ = false;
    lastTenth_ = -1;
}

}  // namespace rm525::cli
