#include <cstdio>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/platform.h"
#include "cli/port_setup.h"
#include "cli/search_report.h"
#include "cli/terminal_text.h"
#include "link/camera_link.h"
#include "res/messages.h"
#include "workflow/update_workflow.h"
#include "workflow/version_chars.h"

namespace rm525::cli {

namespace {

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
    out << "Model:            " << ModelName(modelCode) << '\n'
        << "Camera ID:        " << (id[0] ? EscapeForTerminal(id) : "---") << '\n'
        << "Firmware version: " << VersionText(CameraVersionChars(versionDigits)) << '\n'
        << "Camera clock:     " << ClockText(clock) << '\n';
}

}  // namespace

int RunInfoCommand(const CliOptions& options, Console& console, StopRequest& stop) {
    PortSetup setup;
    std::string error;
    if (!setup.Open(options.trace, &error)) {
        console.err << "rm525fw-cli: " << error << '\n';
        return exit_status::kUsage;
    }
    const int16_t port = setup.MapPort(options.port.value_or("AUTO")).value_or(0);

    SearchReport search(
        setup.ports(), console.err, stop, [&setup](int n) { return setup.DeviceOf(n); },
        [](const OpenFailure& f) { return OpenFailureReason(f); });
    CameraLink link(search, setup.clock());
    CameraStatusRecord status{};
    char id[33] = {};
    CameraIdentityRecord identity{};
    identity.idText = id;
    int32_t alreadyInUpdateMode = 0;
    stop.Publish(StopPhase::Searching);
    search.Begin();
    link.Connect(port, UpdateWorkflow::kUpdateRateIndex, &status, &identity, &alreadyInUpdateMode);
    const bool found = link.GetErrorNumber() == 0;
    search.End(found);
    stop.Publish(found ? StopPhase::Connected : StopPhase::NoPortOpen);
    if (stop.Any()) {
        // Ctrl+C or a hang-up during the search: the port is closed already,
        // or the camera found in the meantime is released.
        if (found)
            link.CloseConnection();
        console.err << "Stopped.\n";
        return exit_status::kQuit;
    }
    if (!found) {
        console.out << res::LoadMessage(res::msg::kNoCamera) << '\n';
        for (const OpenFailure& f : link.openFailures()) {
            if (!f.device.empty() || port != 0)
                console.err << ExplainPortFailure(f) << '\n';
        }
        return exit_status::kCameraNotFound;
    }
    if (alreadyInUpdateMode) {
        console.out << "The camera was already in update mode: its model, ID, firmware version "
                       "and clock could not be read.\n"
                    << "An update that was stopped leaves it so, with an incomplete firmware: "
                       "run rm525fw-cli update with the firmware file (RETRY PROCEDURE in the "
                       "ReadMe).\n";
    } else {
        PrintCamera(console.out, link.cameraModelCode(), id, status.versionDigits, status.clock);
    }
    link.CloseConnection();
    return exit_status::kDone;
}

}  // namespace rm525::cli
