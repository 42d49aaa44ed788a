#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rm525::cli {

enum class Verb { Update, Info, Ports, Inspect, Help };

// The systems whose port names differ.
enum class PortSystem { Posix, Windows };
#ifdef _WIN32
constexpr PortSystem kHostPortSystem = PortSystem::Windows;
#else
constexpr PortSystem kHostPortSystem = PortSystem::Posix;
#endif

// What an option's value (or a verb's operand) is, so that completion can
// offer the right words.
enum class ValueKind {
    None,      // a flag: takes no value
    Port,      // a port argument (ParsePortArgument)
    Firmware,  // a firmware file (*.fw)
    File,      // any file
};

struct OptionSpec {
    std::string_view name;       // with its dashes: "--port"
    ValueKind value;             // None for a flag
    std::string_view valueName;  // in help: PORT, PATH, FILE
    std::string_view help;
};

// One verb: its word, what it does, its options and its operand. Help,
// parsing and completion all read these tables and nothing else.
struct VerbSpec {
    Verb verb;
    std::string_view name;
    std::string_view summary;
    std::span<const OptionSpec> options;
    ValueKind operand;             // None: the verb takes no operand
    std::string_view operandName;  // in help
    std::string_view operandHelp;
};

std::span<const VerbSpec> Verbs();
const VerbSpec* FindVerb(std::string_view name);

struct CliOptions {
    Verb verb = Verb::Help;
    std::optional<std::string> port;   // as given: a port argument (ParsePortArgument)
    std::optional<std::string> file;   // update: the firmware file; inspect: the file to check
    bool yes = false;                  // reinstall the installed version without asking
    std::optional<std::string> trace;  // file for the wire trace
};

// What the command line asks for.
enum class Request {
    Run,              // run `options.verb`
    Help,             // print help (for `helpVerb` when set)
    Version,          // print the version
    CompletionTable,  // print the tables for the bash completion
    UsageError,       // `error` says what is wrong
};

struct ParseResult {
    Request request = Request::UsageError;
    std::optional<CliOptions> options;  // with Run
    std::optional<Verb> helpVerb;       // with Help: the verb given, if any
    std::string error;                  // with UsageError
};

// The hidden option through which the bash completion reads the tables.
constexpr std::string_view kCompletionTableOption = "--completion-table";

// Parses the arguments after the program name. -h and --help anywhere ask
// for help; "--" ends the options; "--name=value" is the same as "--name
// value"; an option's value is never taken from a word that is itself an
// option.
ParseResult ParseArguments(const std::vector<std::string>& args,
                           PortSystem system = kHostPortSystem);

// A port argument, one grammar for every system (letters in either case):
//   AUTO          port 0: COM1..COM9 are tried in turn;
//   COMn          n of 1..9 is port n; on Windows any other n (COM12) is the
//                 system's port of that name, returned in `device`;
//   \\.\COMn      Windows: the port by its device name, in `device`;
//   a device path POSIX: absolute or relative, any text with a '/' in it
//                 (/dev/ttyUSB0, ./camera), in `device`.
// A `device` is for the caller to map onto a port number.
struct PortArgument {
    int16_t port = 0;
    std::string device;
};
std::optional<PortArgument> ParsePortArgument(const std::string& text,
                                              PortSystem system = kHostPortSystem);
// What the grammar takes, in a few words, for a message about a port refused.
std::string_view PortGrammarText(PortSystem system = kHostPortSystem);

// The whole help, or the help of one verb.
std::string HelpText();
std::string VerbHelpText(Verb verb);
// One line per verb: "verb", and per option "verb --option kind", and per
// operand "verb - kind", kinds being none, port, firmware, file.
std::string CompletionTable();

}  // namespace rm525::cli
