// The check at start of whether the X display named by DISPLAY can be reached, judged against X
// "servers" of the test's own: sockets in the abstract space at display numbers nobody uses.
#include "testhooks.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A local X server's socket at a display number of its own: listening, or only bound, which
// refuses every connection as a server that died would.
class LocalXSocket {
public:
    explicit LocalXSocket(bool listening, int firstNumber) {
        for (int number = firstNumber; number < firstNumber + 1000 && m_fd < 0; ++number)
            if (Bind(number) && (!listening || ::listen(m_fd, SOMAXCONN) == 0))
                m_number = number;
    }
    ~LocalXSocket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LocalXSocket(const LocalXSocket&) = delete;
    LocalXSocket& operator=(const LocalXSocket&) = delete;

    // The display number, as a DISPLAY value writes it; empty when none was free.
    std::string Number() const { return m_number < 0 ? "" : std::to_string(m_number); }

private:
    bool Bind(int number) {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        if (std::filesystem::exists(path))
            return false; // a real server's socket in the file system
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, path.data(), path.size()); // sun_path[0] == '\0': abstract
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + path.size());
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), length) == 0)
            return true;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    }

    int m_fd = -1;
    int m_number = -1;
};

TEST(DisplayProbe, JudgesXDisplayNamesByTheirHostAndTheSocketOfTheirNumber) {
    const int firstNumber = 4000 + int(::getpid() % 2000);
    const LocalXSocket server(true, firstNumber);
    const LocalXSocket deadServer(false, firstNumber);
    ASSERT_FALSE(server.Number().empty());
    ASSERT_FALSE(deadServer.Number().empty());
    const std::string up = server.Number(), down = deadServer.Number();
    const struct {
        std::string display;
        bool reachable;
    } cases[] = {
        {":" + up, true},
        {":" + up + ".0", true}, // a screen number
        {"unix:" + up + ".1", true},
        {":" + down, false},
        {":" + down + ".0", false},
        {"localhost:10", true}, // another host, as ssh -X gives: the toolkit judges it
        {"localhost:10.0", true},
        {"desk.example.org:0.1", true},
        {"", false},
        {"no display", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(afx_test::X11DisplayJudgedReachable(c.display), c.reachable) << '"' << c.display << '"';
}

} // namespace
