#include "cli/cli_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <initializer_list>
#include <optional>

namespace rm525::cli {

namespace {

// The ports each system names: AUTO still searches COM1..COM9 on both.
constexpr bool kWindowsPorts = kHostPortSystem == PortSystem::Windows;
constexpr const char* kUpdatePortHelp =
    kWindowsPorts ? "AUTO (try COM1..COM9 in turn), COMn for any port the system has, or "
                    "\\\\.\\COMn; asked for at a terminal when not given"
                  : "AUTO (try COM1..COM9 in turn), COM1..COM9, or a serial device "
                    "path such as /dev/ttyUSB0; asked for at a terminal when not given";
constexpr const char* kInfoPortHelp =
    kWindowsPorts ? "AUTO (the default: try COM1..COM9 in turn), COMn for any port the "
                    "system has, or \\\\.\\COMn"
                  : "AUTO (the default: try COM1..COM9 in turn), COM1..COM9, or a "
                    "serial device path such as /dev/ttyUSB0";
constexpr OptionSpec kUpdatePort{"--port", ValueKind::Port, "PORT", kUpdatePortHelp};
constexpr OptionSpec kInfoPort{"--port", ValueKind::Port, "PORT", kInfoPortHelp};
constexpr OptionSpec kTrace{"--trace", ValueKind::File, "FILE",
                            "write every byte on the line to FILE, with a time stamp and its "
                            "direction ('>' to the camera, '<' from it)"};

constexpr std::array kUpdateOptions{
    kUpdatePort,
    OptionSpec{"--file", ValueKind::Firmware, "PATH",
               "the firmware file (*.fw) to install; asked for at a terminal when not given"},
    OptionSpec{"--yes", ValueKind::None, "",
               "install the file even when the camera already has its version"},
    kTrace,
};
constexpr std::array kInfoOptions{kInfoPort, kTrace};

constexpr std::array kVerbs{
    VerbSpec{Verb::Update, "update", "install a firmware file in the camera", kUpdateOptions,
             ValueKind::None, "", ""},
    VerbSpec{Verb::Info, "info",
             "show the camera's model, ID, firmware version and clock, then release it",
             kInfoOptions, ValueKind::None, "", ""},
    VerbSpec{Verb::Ports,
             "ports",
             "show the device each of COM1..COM9 stands for",
             {},
             ValueKind::None,
             "",
             ""},
    VerbSpec{Verb::Inspect,
             "inspect",
             "check a firmware file as the update would, without a camera",
             {},
             ValueKind::Firmware,
             "PATH",
             "the firmware file to check"},
};

// Every option any verb takes, so that a word can be told "unknown" from "not
// for this verb".
bool AnyVerbTakes(std::string_view name) {
    for (const VerbSpec& v : kVerbs) {
        for (const OptionSpec& o : v.options)
            if (o.name == name)
                return true;
    }
    return false;
}

const OptionSpec* FindOption(const VerbSpec& verb, std::string_view name) {
    for (const OptionSpec& o : verb.options)
        if (o.name == name)
            return &o;
    return nullptr;
}

const VerbSpec& SpecOf(Verb verb) {
    for (const VerbSpec& v : kVerbs)
        if (v.verb == verb)
            return v;
    return kVerbs[0];
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

constexpr int kLastNumberedPort = 9;
constexpr std::string_view kWindowsDevicePrefix = "\\\\.\\";

// n of "COMn" (upper case), n from 1 without leading zeros.
std::optional<int> ComNumber(const std::string& upper) {
    constexpr size_t kMaxDigits = 6;
    if (!upper.starts_with("COM") || upper.size() < 4 || upper.size() > 3 + kMaxDigits ||
        upper[3] == '0')
        return std::nullopt;
    int n = 0;
    for (size_t i = 3; i < upper.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(upper[i])))
            return std::nullopt;
        n = n * 10 + (upper[i] - '0');
    }
    return n;
}

bool IsHelp(const std::string& word) {
    return word == "-h" || word == "--help";
}

ParseResult Error(std::string text) {
    ParseResult r;
    r.request = Request::UsageError;
    r.error = std::move(text);
    return r;
}

ParseResult Help(std::optional<Verb> verb) {
    ParseResult r;
    r.request = Request::Help;
    r.helpVerb = verb;
    return r;
}

const char* KindWord(ValueKind kind) {
    switch (kind) {
        case ValueKind::None:
            return "none";
        case ValueKind::Port:
            return "port";
        case ValueKind::Firmware:
            return "firmware";
        case ValueKind::File:
            return "file";
    }
    return "none";
}

// Each exit status and the verbs that can end with it, so that a verb's
// help lists only its own.
struct ExitStatusLine {
    const char* text;
    std::initializer_list<Verb> verbs;
};
const ExitStatusLine kExitStatuses[] = {
    {"  0  update: the firmware was installed; other commands: done\n",
     {Verb::Update, Verb::Info, Verb::Ports, Verb::Inspect}},
    {"  1  the update failed (follow the RETRY PROCEDURE in the ReadMe file)\n", {Verb::Update}},
    {"  2  usage error\n", {Verb::Update, Verb::Info, Verb::Ports, Verb::Inspect}},
    {"  3  camera not found\n", {Verb::Update, Verb::Info}},
    {"  4  wrong file (inspect: the file would be refused)\n", {Verb::Update, Verb::Inspect}},
    {"  5  the file could not be chosen, opened or read\n", {Verb::Update, Verb::Inspect}},
    {"  6  camera memory error\n", {Verb::Update}},
    {"  7  quit by the user (a question answered Quit, Ctrl+C, the terminal closed)\n",
     {Verb::Update, Verb::Info}},
};

// Every status, or those of one verb.
std::string ExitStatusText(std::optional<Verb> verb) {
    std::string text = "Exit status:\n";
    for (const ExitStatusLine& line : kExitStatuses) {
        if (!verb || std::find(line.verbs.begin(), line.verbs.end(), *verb) != line.verbs.end())
            text += line.text;
    }
    return text;
}

constexpr size_t kHelpIndent = 18;
constexpr size_t kHelpWidth = 79;

// `left` padded to the help column, then `help` wrapped at the line width.
std::string HelpEntry(std::string left, std::string_view help) {
    if (left.size() + 2 > kHelpIndent)
        left += "\n" + std::string(kHelpIndent, ' ');
    else
        left.resize(kHelpIndent, ' ');
    std::string text = left;
    size_t column = kHelpIndent;
    size_t start = 0;
    while (start < help.size()) {
        size_t end = help.find(' ', start);
        if (end == std::string_view::npos)
            end = help.size();
        const std::string_view word = help.substr(start, end - start);
        if (column > kHelpIndent && column + 1 + word.size() > kHelpWidth) {
            text += "\n" + std::string(kHelpIndent, ' ');
            column = kHelpIndent;
        } else if (column > kHelpIndent) {
            text += ' ';
            ++column;
        }
        text += word;
        column += word.size();
        start = end + 1;
    }
    return text + "\n";
}

std::string OptionLines(const VerbSpec& v) {
    std::string text;
    for (const OptionSpec& o : v.options) {
        std::string left = "  " + std::string(o.name);
        if (o.value != ValueKind::None)
            left += " " + std::string(o.valueName);
        text += HelpEntry(left, o.help);
    }
    if (v.operand != ValueKind::None)
        text += HelpEntry("  " + std::string(v.operandName), v.operandHelp);
    text += HelpEntry("  -h, --help", "show this help");
    return text;
}

std::string Synopsis(const VerbSpec& v) {
    std::string text = "rm525fw-cli " + std::string(v.name);
    for (const OptionSpec& o : v.options) {
        text += " [" + std::string(o.name);
        if (o.value != ValueKind::None)
            text += " " + std::string(o.valueName);
        text += "]";
    }
    if (v.operand != ValueKind::None)
        text += " " + std::string(v.operandName);
    return text;
}

}  // namespace

std::span<const VerbSpec> Verbs() {
    return kVerbs;
}

const VerbSpec* FindVerb(std::string_view name) {
    for (const VerbSpec& v : kVerbs)
        if (v.name == name)
            return &v;
    return nullptr;
}

std::optional<PortArgument> ParsePortArgument(const std::string& text, PortSystem system) {
    const bool windows = system == PortSystem::Windows;
    const std::string upper = Upper(text);
    if (upper == "AUTO")
        return PortArgument{0, {}};
    if (const std::optional<int> n = ComNumber(upper)) {
        if (*n <= kLastNumberedPort)
            return PortArgument{static_cast<int16_t>(*n), {}};
        if (windows)
            return PortArgument{0, "COM" + std::to_string(*n)};
        return std::nullopt;
    }
    if (windows && upper.starts_with(kWindowsDevicePrefix) &&
        ComNumber(upper.substr(kWindowsDevicePrefix.size())))
        return PortArgument{0, text};
    if (!windows && text.find('/') != std::string::npos)
        return PortArgument{0, text};
    return std::nullopt;
}

std::string_view PortGrammarText(PortSystem system) {
    if (system == PortSystem::Windows)
        return "AUTO, COM1, COM2 ... or \\\\.\\COMn";
    return "AUTO, COM1..COM9 or a device path such as /dev/ttyUSB0 or ./camera";
}

ParseResult ParseArguments(const std::vector<std::string>& args, PortSystem system) {
    if (args.empty())
        return Error("no command given");
    const VerbSpec* verb = FindVerb(args[0]);
    // Help wins wherever it stands among the options.
    for (const std::string& a : args) {
        if (a == "--")
            break;
        if (IsHelp(a))
            return Help(verb ? std::optional<Verb>(verb->verb) : std::nullopt);
    }
    if (args[0] == "help") {
        if (args.size() > 1) {
            if (const VerbSpec* about = FindVerb(args[1]))
                return Help(about->verb);
            return Error("unknown command '" + args[1] + "'");
        }
        return Help(std::nullopt);
    }
    if (args[0] == "--version") {
        ParseResult r;
        r.request = Request::Version;
        return r;
    }
    if (args[0] == kCompletionTableOption) {
        ParseResult r;
        r.request = Request::CompletionTable;
        return r;
    }
    if (!verb) {
        if (args[0].size() > 1 && args[0][0] == '-')
            return Error("unknown option '" + args[0] + "' (a command comes first)");
        return Error("unknown command '" + args[0] + "'");
    }

    CliOptions options;
    options.verb = verb->verb;
    bool operandsOnly = false;
    bool operandSeen = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool isOption = !operandsOnly && a.size() > 1 && a[0] == '-';
        if (!operandsOnly && a == "--") {
            operandsOnly = true;
            continue;
        }
        if (!isOption) {
            if (verb->operand != ValueKind::None && !operandSeen) {
                options.file = a;
                operandSeen = true;
                continue;
            }
            return Error("unexpected argument '" + a + "'");
        }
        const size_t equals = a.find('=');
        const std::string name = a.substr(0, equals);
        const OptionSpec* spec = FindOption(*verb, name);
        if (!spec) {
            if (AnyVerbTakes(name))
                return Error("option " + name + " does not fit the " + std::string(verb->name) +
                             " command");
            return Error("unknown option '" + name + "'");
        }
        if (spec->value == ValueKind::None) {
            if (equals != std::string::npos)
                return Error("option " + name + " takes no value");
            options.yes = true;
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = a.substr(equals + 1);
        } else if (i + 1 < args.size() && !(args[i + 1].size() > 1 && args[i + 1][0] == '-')) {
            value = args[++i];
        } else {
            return Error("option " + name + " needs a value (" + std::string(spec->valueName) +
                         ")");
        }
        if (value.empty())
            return Error("option " + name + " needs a value (" + std::string(spec->valueName) +
                         ")");
        if (name == "--port") {
            if (!ParsePortArgument(value, system))
                return Error("port '" + value + "' is not " + std::string(PortGrammarText(system)));
            options.port = value;
        } else if (name == "--file") {
            options.file = value;
        } else {
            options.trace = value;
        }
    }
    if (verb->operand != ValueKind::None && !operandSeen)
        return Error(std::string(verb->name) + " needs " + std::string(verb->operandName));
    ParseResult r;
    r.request = Request::Run;
    r.options = options;
    return r;
}

std::string HelpText() {
    std::string text =
        "usage: rm525fw-cli COMMAND [OPTIONS]\n"
        "       rm525fw-cli COMMAND --help\n"
        "       rm525fw-cli --version\n"
        "\n"
        "Installs new firmware in a Quelm RM520 or RM525 Zoom camera over a serial line.\n"
        "\n"
        "Commands:\n";
    for (const VerbSpec& v : kVerbs) {
        text += HelpEntry("  " + std::string(v.name), v.summary);
    }
    for (const VerbSpec& v : kVerbs) {
        text += "\n" + Synopsis(v) + "\n" + OptionLines(v);
    }
    text +=
        "\n"
        "COM<n> is the device named by RM525FW_COM<n>, otherwise the machine's serial\n"
        "devices in order (see 'rm525fw-cli ports').\n"
        "Questions and progress go to standard error; results to standard output.\n"
        "\n";
    text += ExitStatusText(std::nullopt);
    return text;
}

std::string VerbHelpText(Verb verb) {
    const VerbSpec& v = SpecOf(verb);
    std::string summary(v.summary);
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    return "usage: " + Synopsis(v) + "\n\n" + summary + ".\n\n" + OptionLines(v) + "\n" +
           ExitStatusText(verb);
}

std::string CompletionTable() {
    std::string text;
    for (const VerbSpec& v : kVerbs) {
        const std::string name(v.name);
        text += name + "\n";
        for (const OptionSpec& o : v.options)
            text += name + " " + std::string(o.name) + " " + KindWord(o.value) + "\n";
        text += name + " --help none\n";
        if (v.operand != ValueKind::None)
            text += name + " - " + KindWord(v.operand) + "\n";
    }
    return text;
}

}  // namespace rm525::cli
