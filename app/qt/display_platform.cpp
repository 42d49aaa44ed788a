#include "app/qt/display_platform.h"

#include <QByteArray>
#include <QtGlobal>

namespace rm525::gui {

namespace {
bool IsSet(const char* value) {
    return value != nullptr && *value != '\0';
}
}  // namespace

const char* PreferredPlatform(const char* qtQpaPlatform, const char* waylandDisplay,
                              const char* display) {
    if (IsSet(qtQpaPlatform) || !IsSet(waylandDisplay) || !IsSet(display)) {
        return nullptr;
    }
    return "xcb;wayland";
}

void ChoosePlatform() {
    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray display = qgetenv("DISPLAY");
    if (const char* platform =
            PreferredPlatform(qpa.constData(), wayland.constData(), display.constData())) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
}

}  // namespace rm525::gui
