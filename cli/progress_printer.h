#pragma once

#include <iosfwd>

namespace rm525::cli {

// The transfer's progress on a terminal: a bar redrawn in place, or, when the
// output is not a terminal, one line every 10 %.
class ProgressPrinter {
public:
    ProgressPrinter(std::ostream& out, bool bar) : out_(out), bar_(bar) {}

    // Phase 0 starts, 1 updates, 2 and 3 end with the final text.
    void Show(int phase, int percent, const char* text);
    void Close();

private:
    void DrawBar(int percent, const char* text);

    std::ostream& out_;
    bool bar_;
    bool open_ = false;
    int lastTenth_ = -1;
};

}  // namespace rm525::cli
