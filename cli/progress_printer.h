#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "link/clock.h"

namespace rm525::cli {

// The transfer's progress on a terminal: a bar redrawn in place, or, when the
// output is not a terminal, one line every 10 %; each with the time taken so
// far and the time left. The transfer ends with one line: the bytes written,
// the time taken and the effective rate.
class ProgressPrinter {
public:
    // `bytes` is what the whole transfer writes; `clock` times it. Without
    // `terminalSequences` (a console that shows them as text) a shorter bar
    // line is padded with blanks over the longer one before it.
    ProgressPrinter(std::ostream& out, bool bar, Clock& clock, int64_t bytes,
                    bool terminalSequences = true)
        : out_(out),
          bar_(bar),
          clock_(clock),
          bytes_(bytes),
          terminalSequences_(terminalSequences) {}

    // Phase 0 starts, 1 updates, 2 and 3 end with the final text.
    void Show(int phase, int percent, const char* text);
    void Close();

private:
    void DrawBar(int percent, const char* text, const std::string& times);
    std::string Times(int phase, int percent) const;
    double ElapsedSeconds() const;

    std::ostream& out_;
    bool bar_;
    Clock& clock_;
    int64_t bytes_;
    bool terminalSequences_;
    size_t lastBarWidth_ = 0;
    uint32_t startMs_ = 0;
    uint32_t firstBlockMs_ = 0;    // when the first percent of the blocks was reported
    int firstBlockPercent_ = -1;   // that percent; -1 before it
    uint32_t percentStartMs_ = 0;  // when the percent shown last was first reached
    bool open_ = false;
    int lastTenth_ = -1;
    int lastPhase_ = -1;
    int lastPercent_ = 0;
};

}  // namespace rm525::cli
