#include <cstdio>
#include <ostream>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "firmware/firmware_format.h"
#include "firmware/firmware_inspect.h"
#include "firmware/firmware_loader.h"
#include "res/messages.h"

namespace rm525::cli {

namespace {

const char* ModelText(int model) {
    switch (model) {
        case protocol::kModelRm525:
            return "RM525 Zoom (model code 106)";
        case protocol::kModelRm520:
            return "RM520 (model code 105)";
        default:
            return "not recognised: the header names neither camera";
    }
}

std::string Hex16(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

int RunInspectCommand(const CliOptions& options, Console& console) {
    const std::string& path = *options.file;
    const LoadResult loaded = LoadFirmwareImage(path);
    if (!loaded.image) {
        console.err << res::LoadMessage(res::msg::kFileReadError) << '\n';
        return exit_status::kFileError;
    }
    const FirmwareVerdict v = InspectFirmware(*loaded.image, loaded.fileSize);
    std::ostream& out = console.out;
    out << "File:          " << path << '\n' << "Model:         " << ModelText(v.model) << '\n';
    if (v.model != 0) {
        out << "Version:       " << v.version[1] << '.' << v.version[2] << v.version[3] << '\n';
    }
    out << "Size:          " << v.size << " bytes, "
        << (v.sizeOk ? "right" : "wrong (must be " + std::to_string(firmware::kFileSize) + ")")
        << '\n';
    if (v.sizeOk) {
        out << "Check value A: " << Hex16(v.checkA) << '\n'
            << "Check value B: " << Hex16(v.checkB) << '\n';
    }
    if (!v.Passes()) {
        out << res::LoadMessage(res::msg::kWrongFile) << '\n';
        return exit_status::kWrongFile;
    }
    out << "The update would accept this file (the camera's memory check still follows).\n";
    return exit_status::kInstalled;
}

}  // namespace rm525::cli
