#pragma once

// One road through the desktop program up to the transfer, the same for the
// Qt program and the Win32 program: what the user meets at each step and
// what the user does there. Each program's test drives its own windows
// along it, in process against the simulated camera, and writes down what
// each window shows in the same words; both must come out as `kSeen`, so the
// two programs show the same prompts in the same order with the same texts.
//
// AUTO with the camera on COM3; the file choice cancelled once, then a file
// whose header names no model, then the version the camera has already,
// which the user declines: the program ends without a block written and the
// camera released.

#include <string>
#include <string_view>
#include <vector>

#include "firmware/firmware_format.h"
#include "sim/camera_setup.h"
#include "sim/simulated_port.h"
#include "sim/virtual_clock.h"
#include "tests/firmware/firmware_test_files.h"

namespace rm525::testing::desktop_road {

constexpr int kCameraPort = 3;
// "quelm ...": no model's header matches.
constexpr std::string_view kWrongHeader = "quelm Vivid Imagework RM525 Zoom camera. Firmware";
constexpr std::string_view kSameVersion = "0105";  // the simulated camera's 1.05

enum class Act {
    Ok,               // the default button, untouched (the port dialog: AUTO)
    Cancel,           // the chooser's Cancel
    ChooseWrongFile,  // the chooser: the file with the wrong header
    ChooseSameFile,   // the chooser: the file with the camera's version
    Button1,          // the prompt's first button (Continue)
    Button2,          // the prompt's second button (Quit)
};

// What a window shows, as each test writes it down: "port", "chooser" or
// "prompt"; the status line above it; the chooser's file type or the
// prompt's message; the buttons' texts in tab order, joined by '|'.
struct Seen {
    std::string window, status, text, buttons;
    bool operator==(const Seen&) const = default;
};

inline std::string Describe(const Seen& s) {
    return s.window + " [" + s.status + "] [" + s.text + "] [" + s.buttons + "]";
}

struct Step {
    Act act;
    Seen seen;
};

inline const std::string kCamera = "Camera ID: RM525 SIMULATED CAMERA     Firmware Version: 1.05";

inline const std::vector<Step> kRoad = {
    {Act::Ok,
     {"port", "Select the communication port. ",
      "COM1|COM2|COM3|COM4|AUTO|COM5|COM6|COM7|COM8|COM9", "&OK|&Quit"}},
    {Act::Cancel, {"chooser", kCamera, "Firmware Files (*.fw )   ", ""}},
    {Act::Button1, {"prompt", kCamera, "File selection was canceled !", "Continue|Quit"}},
    {Act::ChooseWrongFile, {"chooser", kCamera, "Firmware Files (*.fw )   ", ""}},
    {Act::Button1,
     {"prompt", kCamera,
      "\nSelected file is wrong.\nTo select correct file, click Continue button.",
      "Continue|Quit"}},
    {Act::ChooseSameFile, {"chooser", kCamera, "Firmware Files (*.fw )   ", ""}},
    {Act::Button2,
     {"prompt", kCamera, "\nSelected firmware matches camera version.", "Continue|Quit"}},
};

// The road's files and its camera, for either program's test.
struct World {
    TempDir dir;
    std::string wrong = WriteFile(dir.File("wrong.fw"), FirmwareBytes(kWrongHeader));
    std::string same =
        WriteFile(dir.File("same.fw"), FirmwareBytes(firmware::kHeaderRm525, kSameVersion));
    sim::VirtualClock clock;
    sim::SimulatedPortFactory ports{clock};
    sim::CameraModel& camera = ports.AttachCamera(kCameraPort, sim::Rm525Setup());
};

// What was seen, a line each, to be compared with `Transcript(kRoad)`.
inline std::string Transcript(const std::vector<Seen>& seen) {
    std::string text;
    for (const Seen& s : seen)
        text += Describe(s) + "\n";
    return text;
}
inline std::string Transcript(const std::vector<Step>& road) {
    std::vector<Seen> seen;
    for (const Step& step : road)
        seen.push_back(step.seen);
    return Transcript(seen);
}

}  // namespace rm525::testing::desktop_road
