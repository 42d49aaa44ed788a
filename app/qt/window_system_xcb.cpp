// X11. The window manager learns a window's functions and decorations from
// its Motif hints. Qt writes them from the window flags, but without a close,
// minimise or maximise hint it asks for every function, so the window manager
// would offer all three: the hints are written here instead. The window
// manager tells a window's frame by the _NET_FRAME_EXTENTS property and by
// reparenting the window into its frame, neither of which Qt passes on as an
// event: both are watched here.
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/qt/window_system.h"

namespace rm525::gui {

namespace {

// _MOTIF_WM_HINTS, five 32-bit fields.
struct MotifWmHints {
    uint32_t flags;
    uint32_t functions;
    uint32_t decorations;
    int32_t inputMode;
    uint32_t status;
};

constexpr uint32_t kHintsFunctions = 1U << 0;
constexpr uint32_t kHintsDecorations = 1U << 1;
constexpr uint32_t kFunctionResize = 1U << 1;
constexpr uint32_t kFunctionMove = 1U << 2;
constexpr uint32_t kDecorationBorder = 1U << 1;
constexpr uint32_t kDecorationResizeHandle = 1U << 2;
constexpr uint32_t kDecorationTitle = 1U << 3;

// The connection of Qt's X11 platform, or null on any other platform (some,
// such as offscreen, offer the X11 interface without a connection).
xcb_connection_t* Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || QGuiApplication::platformName() != u"xcb") {
        return nullptr;
    }
    return x11->connection();
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name, uint16_t length) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, length, name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

template <size_t N>
xcb_atom_t Atom(xcb_connection_t* connection, const char (&name)[N]) {
    return Atom(connection, name, N - 1);
}

xcb_atom_t FrameExtentsAtom(xcb_connection_t* connection) {
    static const xcb_atom_t atom = Atom(connection, "_NET_FRAME_EXTENTS");
    return atom;
}

class FrameChangeFilter : public QAbstractNativeEventFilter {
public:
    explicit FrameChangeFilter(xcb_atom_t frameExtents) : frameExtents_(frameExtents) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & ~0x80) {
            case XCB_PROPERTY_NOTIFY: {
                const auto* property = static_cast<const xcb_property_notify_event_t*>(message);
                if (property->atom == frameExtents_) {
                    Report(property->window);
                }
                break;
            }
            case XCB_REPARENT_NOTIFY:
                Report(static_cast<const xcb_reparent_notify_event_t*>(message)->window);
                break;
            default:
                break;
        }
        return false;
    }

private:
    // Posted, so that the window gets it after Qt has taken in the event.
    static void Report(xcb_window_t window) {
        if (QWidget* widget = QWidget::find(static_cast<WId>(window))) {
            QCoreApplication::postEvent(widget, new QEvent(FrameChangedEvent()));
        }
    }

    xcb_atom_t frameExtents_;
};

}  // namespace

void RestrictWindowFunctions(QWidget* window, WindowFunctions functions) {
    xcb_connection_t* connection = Connection();
    if (window == nullptr || connection == nullptr) {
        return;
    }
    const xcb_atom_t hintsAtom = Atom(connection, "_MOTIF_WM_HINTS");
    if (hintsAtom == XCB_ATOM_NONE) {
        return;
    }
    MotifWmHints hints{};
    hints.flags = kHintsFunctions | kHintsDecorations;
    hints.functions = kFunctionMove;
    hints.decorations = kDecorationBorder | kDecorationTitle;
    if (functions == WindowFunctions::MoveAndResize) {
        hints.functions |= kFunctionResize;
        hints.decorations |= kDecorationResizeHandle;
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window->winId()), hintsAtom, hintsAtom, 32,
                        sizeof hints / sizeof(uint32_t), &hints);
    xcb_flush(connection);
}

QMargins WindowFrame(const QWidget* window) {
    xcb_connection_t* connection = Connection();
    if (connection != nullptr && window->internalWinId() != 0) {
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(
                connection,
                xcb_get_property(connection, 0, static_cast<xcb_window_t>(window->internalWinId()),
                                 FrameExtentsAtom(connection), XCB_ATOM_CARDINAL, 0, 4),
                nullptr),
            &std::free);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) == 16) {
            // Left, right, top, bottom.
            const auto* extents = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
            return {static_cast<int>(extents[0]), static_cast<int>(extents[2]),
                    static_cast<int>(extents[1]), static_cast<int>(extents[3])};
        }
    }
    // A window manager that does not report extents: what Qt makes of the
    // window's parents.
    const QWindow* handle = window->windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

void ReportFrameChanges() {
    static bool started = false;
    xcb_connection_t* connection = Connection();
    if (started || connection == nullptr) {
        return;
    }
    started = true;
    // Lives as long as the program, past the application that calls it.
    static auto* const filter = new FrameChangeFilter(FrameExtentsAtom(connection));
    QCoreApplication::instance()->installNativeEventFilter(filter);
}

}  // namespace rm525::gui
