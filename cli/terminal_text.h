#pragma once

#include <string>
#include <string_view>

#include "workflow/version_chars.h"

namespace rm525::cli {

// Bytes that come from outside (the camera's ID, a file's version
// characters) as text a terminal shows and does not obey: printable ASCII
// stays, a backslash becomes "\\", every other byte "\xHH" (so an escape
// sequence shows as "\x1b[...").
std::string EscapeForTerminal(std::string_view bytes);

// A name the user gave (a file's path) as the terminal should show it: its
// letters as they are, whatever their encoding, but control characters as
// "\xHH", so that a name cannot move the cursor or change the terminal.
std::string EscapeControls(std::string_view name);

// A path as typed or pasted, without the quotes around it that a file
// manager's "copy as path" adds ("..." or '...').
std::string Unquoted(std::string path);

// "RM525 Zoom (model code 106)", "RM520 (model code 105)"; for any other
// code "unknown (model code N)".
std::string ModelName(int modelCode);

// The version as the user reads it: characters 2 to 4 as "%c.%c%c", escaped.
std::string VersionText(const VersionChars& version);

// Seconds as "m:ss" (or "h:mm:ss" from an hour on).
std::string Duration(double seconds);

}  // namespace rm525::cli
