// Whether the desktop the program would show its windows on can be reached at all, before the
// toolkit is started: the toolkit aborts the process when no display works.
#include "internal.h"

#include <QByteArray>
#include <QList>

#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The X headers come last: their macros would clash with the toolkit's.
#include <X11/Xlib.h>

namespace afx_detail {
namespace {

bool X11Reachable() {
    Display* display = XOpenDisplay(nullptr);
    if (display)
        XCloseDisplay(display);
    return display != nullptr;
}

// The compositor's socket, named by WAYLAND_DISPLAY (in XDG_RUNTIME_DIR unless absolute), takes a
// connection.
bool WaylandReachable() {
    const QByteArray name = qgetenv("WAYLAND_DISPLAY");
    const QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    if (name.isEmpty() || (!name.startsWith('/') && folder.isEmpty()))
        return false;
    const std::string path = name.startsWith('/') ? name.toStdString() : (folder + '/' + name).toStdString();
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

DisplayState ProbeDisplay() {
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    if (platforms.isEmpty()) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            return DisplayState::NoneNamed;
        platforms = "wayland;xcb";
    }
    for (const QByteArray& platform : platforms.split(';')) {
        const bool wayland = platform.startsWith("wayland");
        // Other platforms (offscreen, vnc...) need no desktop to be reached.
        if ((wayland && WaylandReachable()) || (platform == "xcb" && X11Reachable()) || (!wayland && platform != "xcb"))
            return DisplayState::Reachable;
    }
    return DisplayState::Unreachable;
}

} // namespace afx_detail
