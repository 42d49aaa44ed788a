#pragma once

#include <cstdint>
#include <string>

namespace rm525 {

// 0 when the first `count` characters of `data` and `text` are equal and none
// is NUL, otherwise 1; a count of 0 or less gives 0.
int16_t CompareHeader(const uint8_t* data, const char* text, int16_t count);

// The model code a firmware image's header names: 106 (RM525), 105 (RM520),
// or 0 when neither model text matches. The image holds at least 48 bytes.
int ModelFromHeader(const uint8_t* image);

// The file chooser's initial name from its filter: the first "*." followed by
// anything but '*', taken as five characters ("*.fw " for message 11); empty
// when there is none.
std::string InitialNameFromFilter(const std::string& filter);

}  // namespace rm525
