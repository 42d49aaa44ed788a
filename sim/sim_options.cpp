#include "sim/sim_options.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace rm525::sim {

namespace {

bool ParseUnsigned(const std::string& s, unsigned long max, unsigned long* out) {
    if (s.empty() || s[0] < '0' || s[0] > '9')
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (*end != '\0' || v > max)
        return false;
    *out = v;
    return true;
}

bool IsHexDigits(const std::string& s, size_t n) {
    if (s.size() != n)
        return false;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// One option's handler: gets its value (empty for flags), returns an error text or "".
using Handler = std::function<std::string(const std::string&)>;

std::optional<SimCommandLine> ParseServe(const std::vector<std::string>& args, SimCommandLine line,
                                         std::string* error) {
    ServeOptions& o = line.serve;
    CameraSetup& s = o.setup;
    bool idGiven = false;
    const std::map<std::string, std::pair<bool, Handler>> options = {
        {"--model",
         {true,
          [&](const std::string& v) -> std::string {
              if (v == "rm520") {
                  s.type = CameraType::Rm520;
              } else if (v == "rm525") {
                  s.type = CameraType::Rm525;
              } else {
                  return "--model takes rm520 or rm525";
              }
              return "";
          }}},
        {"--version",
         {true,
          [&](const std::string& v) -> std::string {
              if (!IsHexDigits(v, 4))
                  return "--version takes four hex digits, e.g. 0105";
              const unsigned long n = std::strtoul(v.c_str(), nullptr, 16);
              s.versionHigh = static_cast<uint8_t>(n >> 8);
              s.versionLow = static_cast<uint8_t>(n);
              return "";
          }}},
        {"--camera-id",
         {true,
          [&](const std::string& v) -> std::string {
              if (v.size() > 32)
                  return "--camera-id takes at most 32 characters";
              s.cameraId = v;
              idGiven = true;
              return "";
          }}},
        {"--word45",
         {true,
          [&](const std::string& v) -> std::string {
              unsigned long n = 0;
              if (!ParseUnsigned(v, 0xFFFF, &n))
                  return "--word45 takes a number 0..65535";
              s.word45 = static_cast<uint16_t>(n);
              return "";
          }}},
        {"--clock",
         {true,
          [&](const std::string& v) -> std::string {
              unsigned long n = 0;
              if (!ParseUnsigned(v, 0xFFFFFFFFul, &n))
                  return "--clock takes half-seconds";
              s.clockHalfSeconds = static_cast<uint32_t>(n);
              return "";
          }}},
        {"--rate-lock",
         {false,
          [&](const std::string&) -> std::string {
              s.rateLock = true;
              return "";
          }}},
        {"--mode",
         {true,
          [&](const std::string& v) -> std::string {
              if (v == "normal") {
                  s.mode = CameraMode::Normal;
              } else if (v == "update") {
                  s.mode = CameraMode::Update;
              } else {
                  return "--mode takes normal or update";
              }
              return "";
          }}},
        {"--prepare-ms",
         {true,
          [&](const std::string& v) -> std::string {
              unsigned long n = 0;
              if (!ParseUnsigned(v, 600000, &n))
                  return "--prepare-ms takes milliseconds";
              s.timing.prepareMs = static_cast<uint32_t>(n);
              return "";
          }}},
        {"--fault",
         {true,
          [&](const std::string& v) -> std::string {
              std::string e;
              const std::optional<FaultRule> rule = ParseFaultSpec(v, &e);
              if (!rule)
                  return e;
              o.faults.push_back(*rule);
              return "";
          }}},
        {"--link",
         {true,
          [&](const std::string& v) -> std::string {
              o.linkPath = v;
              return "";
          }}},
        {"--flash-in",
         {true,
          [&](const std::string& v) -> std::string {
              o.flashIn = v;
              return "";
          }}},
        {"--flash-out",
         {true,
          [&](const std::string& v) -> std::string {
              o.flashOut = v;
              return "";
          }}},
        {"--report",
         {true,
          [&](const std::string& v) -> std::string {
              o.reportPath = v;
              return "";
          }}},
        {"--pace",
         {false,
          [&](const std::string&) -> std::string {
              o.pace = true;
              return "";
          }}},
        {"--quiet",
         {false,
          [&](const std::string&) -> std::string {
              o.quiet = true;
              return "";
          }}},
        {"--exit-after-release",
         {false,
          [&](const std::string&) -> std::string {
              o.exitAfterRelease = ExitAfterRelease::AnyRelease;
              return "";
          }}},
        {"--exit-after-verified-release",
         {false,
          [&](const std::string&) -> std::string {
              o.exitAfterRelease = ExitAfterRelease::VerifiedRelease;
              return "";
          }}},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        const size_t eq = name.find('=');
        const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "--help" || name == "-h") {
            line.help = true;
            continue;
        }
        const auto it = options.find(name);
        if (it == options.end()) {
            *error = "unknown option " + args[i];
            return std::nullopt;
        }
        const bool takesValue = it->second.first;
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                *error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        } else if (!takesValue && inlineValue) {
            *error = name + " takes no value";
            return std::nullopt;
        }
        const std::string e = it->second.second(value);
        if (!e.empty()) {
            *error = e;
            return std::nullopt;
        }
    }
    if (!idGiven)
        s.cameraId = s.type == CameraType::Rm520 ? Rm520Setup().cameraId : Rm525Setup().cameraId;
    return line;
}

std::optional<SimCommandLine> ParseMake(const std::vector<std::string>& args, SimCommandLine line,
                                        std::string* error) {
    auto& spec = line.make.spec;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            line.help = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = name + (name.rfind("--", 0) == 0 ? " needs a value" : ": unexpected");
            return std::nullopt;
        }
        const std::string& v = args[++i];
        unsigned long n = 0;
        if (name == "--model" && (v == "rm520" || v == "rm525")) {
            spec.model = v == "rm520" ? firmware_file::Model::Rm520 : firmware_file::Model::Rm525;
        } else if (name == "--version" && v.size() == firmware_file::kVersionLength) {
            spec.version = v;
        } else if (name == "--out") {
            line.make.out = v;
        } else if (name == "--seed" && ParseUnsigned(v, ~0ul, &n)) {
            spec.seed = n;
        } else if (name == "--broken" && v == "header") {
            spec.defect = firmware_file::Defect::Header;
        } else if (name == "--broken" && v == "short") {
            spec.defect = firmware_file::Defect::Short;
        } else if (name == "--broken" && v == "long") {
            spec.defect = firmware_file::Defect::Long;
        } else {
            *error = "bad make-firmware option " + name + " " + v;
            return std::nullopt;
        }
    }
    if (line.make.out.empty() && !line.help) {
        *error = "make-firmware needs --out FILE";
        return std::nullopt;
    }
    return line;
}

}  // namespace

std::optional<SimCommandLine> ParseSimCommandLine(const std::vector<std::string>& args,
                                                  std::string* error) {
    SimCommandLine line;
    if (!args.empty() && args[0] == "make-firmware") {
        line.makeFirmware = true;
        return ParseMake(args, line, error);
    }
    return ParseServe(args, line, error);
}

std::string SimUsage() {
    return std::string(
               "Usage: rm525cam-sim [options]\n"
               "Serves a simulated RM520/RM525 camera on a pseudo-terminal and prints the\n"
               "terminal's path on the first line of standard output.\n"
               "  --model rm520|rm525       camera type (default rm525)\n"
               "  --version HHLL            status bytes 2 and 3 in hex (default 0105 = 1.05)\n"
               "  --camera-id TEXT          camera ID text, up to 32 characters\n"
               "  --word45 N                memory word 45 (default 0 for rm520, 1 for rm525)\n"
               "  --clock N                 camera clock in half-seconds since 1 Jan 1997\n"
               "  --rate-lock               set the rate-lock byte of the status block\n"
               "  --mode normal|update      mode at start (default normal)\n"
               "  --prepare-ms N            time the camera takes to prepare an area (2000)\n"
               "  --fault SPEC              inject a fault (repeatable; syntax below)\n"
               "  --link PATH               also make PATH a symbolic link to the terminal\n"
               "  --pace                    send at the camera's line rate (960 bytes/s at\n"
               "                            9600, 3840 at 38400) as a real line would\n"
               "  --flash-in FILE           start with this flash (524288 bytes, as written\n"
               "                            by --flash-out); with --mode update, a camera\n"
               "                            whose transfer broke off\n"
               "  --flash-out FILE          write the camera's flash (524288 bytes) on exit\n"
               "  --report FILE             write a short text report on exit\n"
               "  --exit-after-release      exit once the camera has been released\n"
               "  --exit-after-verified-release\n"
               "                            exit once released after a verified transfer\n"
               "  --quiet                   no event log on standard error\n"
               "The host's line rate is read from the terminal; when it differs from the\n"
               "camera's, both directions are garbled. A pseudo-terminal cannot carry a line\n"
               "break, so recovery by break works only with the in-process simulator.\n"
               "SIGTERM or SIGINT end the program (writing --flash-out and --report).\n"
               "SIGUSR1 switches the camera off and on again: it starts over at 9600 bit/s,\n"
               "keeping its flash, in update mode while it has no verified firmware.\n\n") +
           MakeFirmwareUsage() + "\n" + FaultSpecHelp();
}

std::string MakeFirmwareUsage() {
    return "Usage: rm525cam-sim make-firmware --model rm520|rm525 --version 0105 --out FILE\n"
           "                    [--broken header|short|long] [--seed N]\n"
           "Writes a valid 524416-byte firmware file with a pseudo-random body, or a\n"
           "broken one: wrong header text, a byte short or a byte long. The body ends\n"
           "with a version mark: a camera that verifies it reports that version.\n";
}

}  // namespace rm525::sim
