// rm525fw.exe: the firmware updater's native Windows desktop program. One
// update run per start; the command line is ignored.

#include <windows.h>

#include <commctrl.h>

#include "app/win32/main_frame.h"
#include "link/win32/win32_clock.h"
#include "link/win32/win32_serial_port_factory.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    rm525::Win32Clock clock;
    rm525::Win32SerialPortFactory ports;
    rm525::wingui::CMainFrame frame(ports, clock);
    if (!frame.Create()) {
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The accelerators act while the main window or the view has the
        // focus, not inside a dialog.
        const HWND window = frame.hwnd();
        if (window != nullptr && (message.hwnd == window || IsChild(window, message.hwnd)) &&
            TranslateAcceleratorW(window, frame.Accelerators(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
