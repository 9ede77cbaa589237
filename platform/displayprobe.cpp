// Whether the desktop the program would show its windows on can be reached at all, before the
// toolkit is started: the toolkit aborts the process when no display works.
#include "internal.h"
#include "testhooks.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace afx_detail {
namespace {

// Whether a local socket takes a connection: a name starting with '\0' is in the abstract space.
bool SocketAnswers(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + (path[0] == '\0' ? 0 : 1));
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return connected;
}

// A local X display (":0", ":0.0", "unix:1.2") answers on its socket, in the file system or the
// abstract space; a display on another host ("localhost:10", as ssh -X gives) is left to the
// toolkit. Only a connect, no X handshake, so the start-up does not pay for a second connection.
bool X11Reachable(const std::string& display) {
    const std::size_t colon = display.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix")
        return true;
    const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return SocketAnswers(socket) || SocketAnswers(std::string(1, '\0') + socket);
}

// The compositor's socket, named by WAYLAND_DISPLAY (in XDG_RUNTIME_DIR unless absolute).
bool WaylandReachable() {
    const QByteArray name = qgetenv("WAYLAND_DISPLAY");
    const QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    if (name.isEmpty() || (!name.startsWith('/') && folder.isEmpty()))
        return false;
    return SocketAnswers(name.startsWith('/') ? name.toStdString() : (folder + '/' + name).toStdString());
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
        const bool x11 = platform == "xcb";
        if ((wayland && WaylandReachable()) || (x11 && X11Reachable(qgetenv("DISPLAY").toStdString())) ||
            (!wayland && !x11))
            return DisplayState::Reachable;
    }
    return DisplayState::Unreachable;
}

} // namespace afx_detail

bool afx_test::X11DisplayJudgedReachable(const std::string& display) {
    return afx_detail::X11Reachable(display);
}
