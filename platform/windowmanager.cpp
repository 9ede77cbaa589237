// What the window manager does for the program's windows and to them: a move or a resize from the
// keyboard on request, and a window destroyed from outside the program. Both exist on an X11
// desktop only; elsewhere a move is not offered and nothing is watched.
#include "internal.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>

#include <algorithm>

// The X headers come last: their macros (None, Bool, Status ...) would clash with the toolkit's.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace afx_detail {
namespace {

// The move-resize request's directions for a move or a resize driven by the keyboard.
constexpr long kSizeKeyboard = 9;
constexpr long kMoveKeyboard = 10;
// Where the request comes from: a normal application.
constexpr long kSourceApplication = 1;

Display* X11Display() {
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

bool RootAdvertises(Display* display, const char* atomName) {
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    const Atom wanted = XInternAtom(display, atomName, False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 65536, False, XA_ATOM,
                                          &type, &format, &count, &remaining, &data);
    if (status != Success || !data)
        return false;
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    const bool found = format == 32 && std::find(atoms, atoms + count, wanted) != atoms + count;
    XFree(data);
    return found;
}

// A top-level window of the program whose native window is the one named, while the program
// still owns it: a window the program destroyed itself is no longer found.
bool IsLiveTopLevel(xcb_window_t window) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [window](const QWidget* widget) {
        return widget->testAttribute(Qt::WA_WState_Created) && widget->internalWinId() == window;
    });
}

// A window manager's "kill" or a tool like xdotool can destroy a window while the program runs.
// The toolkit does not notice, and the program would go on with no window and its book unsaved,
// so the run ends as a session end does: the close sequence saves, then the program ends.
class DestroyedWindowWatch : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY)
            return false;
        const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
        if (destroyed->window == destroyed->event && IsLiveTopLevel(destroyed->window))
            AfxEndSession();
        return false;
    }
};

} // namespace

bool WindowManagerMovesOnRequest() {
    Display* display = X11Display();
    return display && RootAdvertises(display, "_NET_WM_MOVERESIZE");
}

bool StartKeyboardMoveOrSize(QWidget* window, UINT command) {
    Display* display = X11Display();
    if (!display || !window || !WindowManagerMovesOnRequest())
        return false;
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = Window(window->winId());
    request.xclient.message_type = XInternAtom(display, "_NET_WM_MOVERESIZE", False);
    request.xclient.format = 32;
    const QPoint centre = window->mapToGlobal(window->rect().center());
    request.xclient.data.l[0] = centre.x();
    request.xclient.data.l[1] = centre.y();
    request.xclient.data.l[2] = command == SC_SIZE ? kSizeKeyboard : kMoveKeyboard;
    request.xclient.data.l[3] = 0; // no pointer button: the keyboard drives it
    request.xclient.data.l[4] = kSourceApplication;
    const long mask = SubstructureRedirectMask | SubstructureNotifyMask;
    const bool sent = XSendEvent(display, DefaultRootWindow(display), False, mask, &request) != 0;
    XFlush(display);
    return sent;
}

void WatchWindowsDestroyedFromOutside() {
    static DestroyedWindowWatch* watch = nullptr;
    if (watch || !qApp || !X11Display())
        return;
    watch = new DestroyedWindowWatch;
    qApp->installNativeEventFilter(watch);
}

} // namespace afx_detail
