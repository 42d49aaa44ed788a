#pragma once

#include <cstdint>
#include <string>

#include "workflow/front_end.h"
#include "workflow/version_chars.h"

namespace rm525 {

// The message number a prompt shows for its selector: Continue 0 -> 20 (wrong
// file), 1 -> 4 (same version); Reselect -> 15; Success -> 21; Failure 0 -> 10
// (update failed), 1 -> 7 (memory error); NoCamera -> 6.
int MessageForPrompt(PromptKind kind, int16_t selector);

// The text a prompt shows, as its dialog initialisation builds it: the
// success text carries file version characters 2 to 4 ("%c.%c%c"), the
// others are the message itself.
std::string PromptText(PromptKind kind, int16_t selector, const VersionChars& fileVersion);

}  // namespace rm525
