#include "workflow/run_outcome.h"

namespace rm525 {

const char* ToString(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::NotRun:
            return "not run";
        case RunOutcome::Installed:
            return "installed";
        case RunOutcome::UpdateFailed:
            return "update failed";
        case RunOutcome::CameraNotFound:
            return "camera not found";
        case RunOutcome::WrongFile:
            return "wrong file";
        case RunOutcome::FileError:
            return "file error";
        case RunOutcome::MemoryError:
            return "camera memory error";
        case RunOutcome::QuitAtPortChoice:
            return "quit at the port choice";
        case RunOutcome::QuitAtFileChoice:
            return "quit at the file choice";
        case RunOutcome::QuitAtSameVersion:
            return "quit at the same version";
        case RunOutcome::Interrupted:
            return "interrupted";
    }
    return "unknown";
}

}  // namespace rm525
