#include <unistd.h>

#include <array>
#include <cctype>
#include <cstring>

#include "cli/platform.h"
#include "link/posix/port_diagnostics.h"

namespace rm525::cli {

void PrepareConsole() {}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool StreamIsTerminal(int stream) {
    return isatty(stream) == 1;
}

bool TerminalSequencesWork(int stream) {
    return StreamIsTerminal(stream);
}

std::string ExecutableDirectory() {
    std::array<char, 4096> path{};
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return {};
    const std::string text(path.data(), static_cast<size_t>(n));
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

std::string OpenFailureReason(const OpenFailure& failure) {
    std::string text = std::strerror(failure.systemError);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string ExplainPortFailure(const OpenFailure& failure) {
    return ExplainOpenFailure(failure);
}

}  // namespace rm525::cli
