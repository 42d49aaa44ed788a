#include <cstdio>
#include <ostream>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/file_problem.h"
#include "cli/sha256.h"
#include "cli/terminal_text.h"
#include "firmware/firmware_format.h"
#include "firmware/firmware_inspect.h"
#include "firmware/firmware_loader.h"
#include "res/messages.h"

namespace rm525::cli {

namespace {

std::string Hex16(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

int RunInspectCommand(const CliOptions& options, Console& console) {
    const std::string& path = *options.file;
    const std::string shownPath = EscapeControls(path);
    const std::string unreadable = ReadProblem(path);
    const LoadResult loaded = unreadable.empty() ? LoadFirmwareImage(path) : LoadResult{};
    if (!loaded.image) {
        console.err << "rm525fw-cli: " << shownPath << ": "
                    << (unreadable.empty() ? "could not be read" : unreadable) << '\n';
        return exit_status::kFileError;
    }
    const FirmwareVerdict v = InspectFirmware(*loaded.image, loaded.fileSize);
    std::ostream& out = console.out;
    out << "File:          " << shownPath << '\n'
        << "Model:         "
        << (v.model != 0 ? ModelName(v.model) : "not recognised: the header names neither camera")
        << '\n';
    if (v.model != 0)
        out << "Version:       " << VersionText(v.version) << '\n';
    out << "Size:          " << v.size << " bytes, "
        << (v.sizeOk ? "right" : "wrong (must be " + std::to_string(firmware::kFileSize) + ")")
        << '\n';
    if (v.sizeOk) {
        out << "Check value A: " << Hex16(v.checkA) << '\n'
            << "Check value B: " << Hex16(v.checkB) << '\n'
            << "Body SHA-256:  " << BodySha256(*loaded.image) << '\n';
    }
    if (!v.Passes()) {
        out << "Result:        the update would refuse this file (" << ContentProblem(path)
            << ")\n";
        return exit_status::kWrongFile;
    }
    out << "Result:        the update would accept this file; the camera's memory check still "
           "follows\n";
    return exit_status::kDone;
}

}  // namespace rm525::cli
