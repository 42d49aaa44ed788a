#include "cli/terminal_text.h"

#include <cmath>
#include <cstdio>

#include "link/protocol.h"

namespace rm525::cli {

std::string EscapeForTerminal(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\') {
            text += "\\\\";
        } else if (b >= 0x20 && b < 0x7F) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            text += hex;
        }
    }
    return text;
}

std::string EscapeControls(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

std::string Unquoted(std::string path) {
    if (path.size() >= 2 && (path.front() == '"' || path.front() == '\'') &&
        path.back() == path.front())
        return path.substr(1, path.size() - 2);
    return path;
}

std::string ModelName(int modelCode) {
    switch (modelCode) {
        case protocol::kModelRm525:
            return "RM525 Zoom (model code 106)";
        case protocol::kModelRm520:
            return "RM520 (model code 105)";
        default:
            return "unknown (model code " + std::to_string(modelCode) + ")";
    }
}

std::string VersionText(const VersionChars& v) {
    const std::string shown = {v[1], '.', v[2], v[3]};
    return EscapeForTerminal(shown);
}

std::string Duration(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

}  // namespace rm525::cli
