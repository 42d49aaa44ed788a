// Writes the message table as the string table of a Windows resource script,
// so that the Win32 program's strings come from the one table in messages.cpp:
//     rm525-make-string-table OUTPUT.rc
// Run on the build machine, before the resource compiler.

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "res/messages.h"

namespace {

// A resource-script string: quotes doubled, backslashes and line breaks
// escaped; everything else, trailing blanks included, as it is.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\"\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.rc\n", argv[0]);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << "// Made by rm525-make-string-table from res/messages.cpp: do not edit.\n"
           "STRINGTABLE\nBEGIN\n";
    for (const rm525::res::Message& message : rm525::res::AllMessages()) {
        out << "    " << message.id << ", " << Quoted(message.text) << "\n";
    }
    out << "END\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_string_table: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
