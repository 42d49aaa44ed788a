#pragma once

#include <windows.h>

#include <streambuf>
#include <string>

namespace rm525::cli {

// Standard input read from the console as UTF-16 (ReadConsoleW) and handed
// on in UTF-8. Reading a console in code page 65001 through the C library
// gives NULs for every character beyond ASCII on Windows 10 consoles.
class ConsoleInputBuffer : public std::streambuf {
public:
    explicit ConsoleInputBuffer(HANDLE console) : console_(console) {}

protected:
    int_type underflow() override;

private:
    HANDLE console_;
    std::string line_;  // UTF-8, the part not yet taken
};

// Sets the console up for the program (UTF-8 both ways, terminal sequences
// where they work, input through ConsoleInputBuffer) and puts the code pages
// back as they were when the program ends.
void PrepareWindowsConsole();

}  // namespace rm525::cli
