// rm525cam-sim: a simulated camera on a pseudo-terminal, and a maker of
// firmware files to feed the updater with.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "sim/camera_model.h"
#include "sim/firmware_maker.h"
#include "sim/pty_camera.h"
#include "sim/sim_options.h"
#include "sim/sim_report.h"

namespace {

std::atomic<bool> g_stop{false};
std::atomic<bool> g_powerSwitch{false};

void OnSignal(int) {
    g_stop.store(true);
}

void OnPowerSwitch(int) {
    g_powerSwitch.store(true);
}

void InstallSignalHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: poll returns at once
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sa.sa_handler = OnPowerSwitch;
    sigaction(SIGUSR1, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int MakeFirmware(const rm525::sim::MakeFirmwareOptions& options) {
    std::string error;
    if (!rm525::sim::firmware_file::WriteFirmware(options.spec, options.out, &error)) {
        std::cerr << "rm525cam-sim: " << error << "\n";
        return 1;
    }
    const auto& spec = options.spec;
    static constexpr const char* kDefects[] = {"", ", broken: wrong header text",
                                               ", broken: a byte short", ", broken: a byte long"};
    const size_t size = rm525::sim::firmware_file::MakeFirmware(spec).size();
    std::cout << "Wrote " << options.out << ": "
              << (spec.model == rm525::sim::firmware_file::Model::Rm520 ? "RM520" : "RM525 Zoom")
              << " firmware, version characters " << spec.version << ", " << size << " bytes, seed "
              << spec.seed << kDefects[static_cast<int>(spec.defect)] << "\n";
    return 0;
}

int Serve(const rm525::sim::ServeOptions& options) {
    using namespace rm525::sim;
    CameraModel camera(options.setup);
    for (const FaultRule& rule : options.faults)
        camera.AddFault(rule);
    std::string error;
    if (!options.flashIn.empty() && !ReadFlash(camera, options.flashIn, &error)) {
        std::cerr << "rm525cam-sim: " << error << "\n";
        return 1;
    }
    PtyCamera pty(camera, options.pace);
    pty.SetPowerSwitch(g_powerSwitch);
    if (!pty.Open(&error)) {
        std::cerr << "rm525cam-sim: " << error << "\n";
        return 1;
    }
    if (!options.linkPath.empty()) {
        unlink(options.linkPath.c_str());
        if (symlink(pty.SlavePath().c_str(), options.linkPath.c_str()) != 0) {
            std::perror(("rm525cam-sim: symlink " + options.linkPath).c_str());
            return 1;
        }
    }
    // Before the path is printed: whoever reads it may end the camera at once,
    // and it must still leave through its orderly exit (flash, report, link).
    InstallSignalHandlers();
    std::cout << pty.SlavePath() << std::endl;

    const auto done = [&] {
        if (options.exitAfterRelease == ExitAfterRelease::Never || camera.ReleaseCount() == 0) {
            return false;
        }
        return options.exitAfterRelease == ExitAfterRelease::AnyRelease || camera.Verified();
    };
    const auto log = [&](const std::string& line) {
        if (!options.quiet)
            std::cerr << "rm525cam-sim: " << line << std::endl;
    };
    pty.Serve(g_stop, done, log);
    // Let the host read the last bytes before the terminal goes away.
    usleep(200 * 1000);

    int status = 0;
    if (!options.flashOut.empty() && !WriteFlash(camera, options.flashOut, &error)) {
        std::cerr << "rm525cam-sim: " << error << "\n";
        status = 1;
    }
    if (!options.reportPath.empty() &&
        !WriteTextFile(options.reportPath, CameraReport(camera), &error)) {
        std::cerr << "rm525cam-sim: " << error << "\n";
        status = 1;
    }
    if (!options.linkPath.empty())
        unlink(options.linkPath.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto line = rm525::sim::ParseSimCommandLine(args, &error);
    if (!line) {
        std::cerr << "rm525cam-sim: " << error << "\n(see --help)\n";
        return 2;
    }
    if (line->help) {
        std::cout << (line->makeFirmware ? rm525::sim::MakeFirmwareUsage()
                                         : rm525::sim::SimUsage());
        return 0;
    }
    return line->makeFirmware ? MakeFirmware(line->make) : Serve(line->serve);
}
