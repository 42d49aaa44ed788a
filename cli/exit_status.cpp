#include "cli/exit_status.h"

namespace rm525::cli {

int ExitStatusFor(RunOutcome outcome, bool interrupted) {
    switch (outcome) {
        case RunOutcome::Installed:
            return exit_status::kInstalled;
        case RunOutcome::UpdateFailed:
            return exit_status::kUpdateFailed;
        default:
            break;
    }
    if (interrupted)
        return exit_status::kQuit;
    switch (outcome) {
        case RunOutcome::CameraNotFound:
            return exit_status::kCameraNotFound;
        case RunOutcome::WrongFile:
            return exit_status::kWrongFile;
        case RunOutcome::FileError:
            return exit_status::kFileError;
        case RunOutcome::MemoryError:
            return exit_status::kMemoryError;
        case RunOutcome::QuitAtPortChoice:
        case RunOutcome::QuitAtFileChoice:
        case RunOutcome::QuitAtSameVersion:
        case RunOutcome::Interrupted:
            return exit_status::kQuit;
        default:
            return exit_status::kUpdateFailed;
    }
}

}  // namespace rm525::cli
