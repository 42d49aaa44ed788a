#pragma once

namespace rm525::gui {

// The Qt platform to ask for, or null to leave Qt's own choice. On a Wayland
// session the program cannot place its windows (the compositor does), so
// where XWayland serves an X display too (DISPLAY set beside WAYLAND_DISPLAY)
// the program runs on it, falling back to Wayland if Qt cannot use X11. An
// explicit QT_QPA_PLATFORM is always kept. Takes the three variables' values
// (null when unset).
const char* PreferredPlatform(const char* qtQpaPlatform, const char* waylandDisplay,
                              const char* display);

// Sets QT_QPA_PLATFORM by PreferredPlatform from the environment; call
// before the application object is made.
void ChoosePlatform();

}  // namespace rm525::gui
