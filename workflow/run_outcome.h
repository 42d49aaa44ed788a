#pragma once

namespace rm525 {

// How the last update run ended, so that a front end can turn it into an
// exit status. Each value is one road out of the update procedure.
enum class RunOutcome {
    NotRun,             // Run has not been called
    Installed,          // the transfer succeeded
    UpdateFailed,       // the transfer ran and failed (or was stopped)
    CameraNotFound,     // Connect failed
    WrongFile,          // Quit on "Selected file is wrong."
    FileError,          // the chooser failed or the file could not be opened or read
    MemoryError,        // the camera memory check failed
    QuitAtPortChoice,   // Quit in the port selection
    QuitAtFileChoice,   // Quit after "File selection was canceled !"
    QuitAtSameVersion,  // Quit on "Selected firmware matches camera version."
    Interrupted,        // the front end asked to stop before the transfer
};

const char* ToString(RunOutcome outcome);

}  // namespace rm525
