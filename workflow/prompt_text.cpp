#include "workflow/prompt_text.h"

#include <cstdio>

#include "res/messages.h"

namespace rm525 {

namespace {
constexpr size_t kSuccessBuffer = 150;
}

int MessageForPrompt(PromptKind kind, int16_t selector) {
    switch (kind) {
        case PromptKind::Continue:
            return selector == 0 ? res::msg::kWrongFile : res::msg::kSameVersion;
        case PromptKind::Reselect:
            return res::msg::kSelectionCancelled;
        case PromptKind::Success:
            return res::msg::kSuccessFormat;
        case PromptKind::Failure:
            return selector == 0 ? res::msg::kUpdateFailed : res::msg::kMemoryError;
        case PromptKind::NoCamera:
            return res::msg::kNoCamera;
    }
    return 0;
}

std::string PromptText(PromptKind kind, int16_t selector, const VersionChars& fileVersion) {
    const std::string message(res::LoadMessage(MessageForPrompt(kind, selector)));
    if (kind != PromptKind::Success)
        return message;
    char text[kSuccessBuffer] = {};
    std::snprintf(text, sizeof text, message.c_str(), fileVersion[1], fileVersion[2],
                  fileVersion[3]);
    return text;  // a NUL version character ends the text there
}

}  // namespace rm525
