#include <cstdio>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/port_setup.h"
#include "link/camera_link.h"
#include "link/protocol.h"
#include "res/messages.h"
#include "workflow/update_workflow.h"
#include "workflow/version_chars.h"

namespace rm525::cli {

namespace {

std::string ModelName(int modelCode) {
    switch (modelCode) {
        case protocol::kModelRm520:
            return "RM520 (model code 105)";
        case protocol::kModelRm525:
            return "RM525 Zoom (model code 106)";
        default:
            return "unknown (model code " + std::to_string(modelCode) + ")";
    }
}

std::string ClockText(const CameraTime& t) {
    if (t.day() == 0)
        return "not readable";
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.yearsSince1900() + 1900,
                  t.month() + 1, t.day(), t.hours(), t.minutes(), t.seconds());
    return text;
}

void PrintCamera(std::ostream& out, int modelCode, const char* id, uint32_t versionDigits,
                 const CameraTime& clock) {
    const VersionChars v = CameraVersionChars(versionDigits);
    out << "Model:            " << ModelName(modelCode) << '\n'
        << "Camera ID:        " << (id[0] ? id : "---") << '\n'
        << "Firmware version: " << v[1] << '.' << v[2] << v[3] << '\n'
        << "Camera clock:     " << ClockText(clock) << '\n';
}

}  // namespace

int RunInfoCommand(const CliOptions& options, Console& console) {
    PortSetup setup;
    std::string error;
    if (!setup.Open(options.trace, &error)) {
        console.err << "rm525fw-cli: " << error << '\n';
        return exit_status::kUsage;
    }
    const int16_t port = setup.MapPort(options.port.value_or("AUTO")).value_or(0);

    CameraLink link(setup.ports(), setup.clock());
    CameraStatusRecord status{};
    char id[33] = {};
    CameraIdentityRecord identity{};
    identity.idText = id;
    int32_t alreadyInUpdateMode = 0;
    link.Connect(port, UpdateWorkflow::kUpdateRateIndex, &status, &identity, &alreadyInUpdateMode);
    if (link.GetErrorNumber() != 0) {
        for (const OpenFailure& f : link.openFailures())
            console.err << setup.ExplainOpenFailure(f) << '\n';
        console.out << res::LoadMessage(res::msg::kNoCamera) << '\n';
        return exit_status::kCameraNotFound;
    }
    if (alreadyInUpdateMode) {
        console.out << "The camera was already in update mode: its model, ID, firmware version "
                       "and clock could not be read.\n";
    } else {
        PrintCamera(console.out, link.cameraModelCode(), id, status.versionDigits, status.clock);
    }
    link.CloseConnection();
    return exit_status::kInstalled;
}

}  // namespace rm525::cli
