#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>

namespace rm525::cli {

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::optional<Verb> VerbNamed(const std::string& word) {
    if (word == "update")
        return Verb::Update;
    if (word == "info")
        return Verb::Info;
    if (word == "ports")
        return Verb::Ports;
    if (word == "inspect")
        return Verb::Inspect;
    if (word == "help" || word == "--help" || word == "-h")
        return Verb::Help;
    return std::nullopt;
}

bool Accepts(Verb verb, const std::string& option) {
    if (option == "--port")
        return verb == Verb::Update || verb == Verb::Info;
    if (option == "--file" || option == "--yes" || option == "--trace") {
        return verb == Verb::Update || (option == "--trace" && verb == Verb::Info);
    }
    return false;
}

ParseResult Error(std::string text) {
    return {std::nullopt, std::move(text)};
}

}  // namespace

std::optional<PortArgument> ParsePortArgument(const std::string& text) {
    const std::string upper = Upper(text);
    if (upper == "AUTO")
        return PortArgument{0, {}};
    if (upper.size() == 4 && upper.compare(0, 3, "COM") == 0 && upper[3] >= '1' &&
        upper[3] <= '9') {
        return PortArgument{static_cast<int16_t>(upper[3] - '0'), {}};
    }
    if (!text.empty() && text[0] == '/')
        return PortArgument{0, text};
    return std::nullopt;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
    if (args.empty())
        return Error("no command given");
    const std::optional<Verb> verb = VerbNamed(args[0]);
    if (!verb)
        return Error("unknown command '" + args[0] + "'");
    CliOptions options;
    options.verb = *verb;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) {
            if (options.verb == Verb::Inspect && !options.file) {
                options.file = a;
                continue;
            }
            return Error("unexpected argument '" + a + "'");
        }
        if (!Accepts(options.verb, a))
            return Error("option " + a + " does not fit this command");
        if (a == "--yes") {
            options.yes = true;
            continue;
        }
        if (i + 1 >= args.size())
            return Error("option " + a + " needs a value");
        const std::string& value = args[++i];
        if (a == "--port") {
            if (!ParsePortArgument(value)) {
                return Error("port '" + value + "' is not AUTO, COM1..COM9 or a device path");
            }
            options.port = value;
        } else if (a == "--file") {
            options.file = value;
        } else {
            options.trace = value;
        }
    }
    if (options.verb == Verb::Inspect && !options.file)
        return Error("inspect needs a file");
    return {options, {}};
}

const char* UsageText() {
    return "usage: rm525fw-cli update [--port PORT] [--file PATH] [--yes] [--trace FILE]\n"
           "       rm525fw-cli info [--port PORT] [--trace FILE]\n"
           "       rm525fw-cli ports\n"
           "       rm525fw-cli inspect PATH\n"
           "PORT is AUTO, COM1..COM9 or a serial device path such as /dev/ttyUSB0.\n"
           "COM<n> is the device named by RM525FW_COM<n>, otherwise the machine's serial\n"
           "devices in order (see 'rm525fw-cli ports').\n";
}

}  // namespace rm525::cli
