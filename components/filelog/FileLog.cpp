// The diagnostic log component: appends one time-stamped line per Write to the file given to Open,
// written through at once so nothing is lost if the program ends abruptly.
#include "FileLogItf.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#define FILELOG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// "2026-12-07T10:15:00+0100": local time with its offset from UTC.
std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = {};
    if (!localtime_r(&now, &local) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0)
        return "0000-00-00T00:00:00+0000";
    return text;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

class FileLog final : public CComObjectRoot<IFileLog, IID_IFileLog> {
public:
    // Anyone who can plant a link, a pipe or a file of their own where the log goes must not be able
    // to redirect, block or read the program's lines: the log is a regular file of this user with no
    // other name (a hard link would make another file the log, and private), reached without
    // following a link in its folder or its own name, private to its owner. Anything else is refused
    // and later lines are dropped.
    BYTE Open(const char* path) override {
        CloseFile();
        if (!path || !*path)
            return 0;
        const std::string text(path);
        const std::size_t slash = text.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : text.substr(0, slash == 0 ? 1 : slash);
        const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
        const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folderFd < 0)
            return 0;
        const int fd = ::openat(folderFd, name.c_str(),
                                O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
        ::close(folderFd);
        if (fd < 0)
            return 0;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1 ||
            ((info.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0)) {
            ::close(fd);
            return 0;
        }
        m_fd = fd;
        return 1;
    }

    HRESULT Write(const char* line) override {
        if (!line)
            return E_POINTER;
        if (m_fd < 0)
            return S_FALSE;
        std::string text = LocalTimeStamp() + ' ' + line;
        // One Write is one line in the file, whatever the caller passed.
        for (char& c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        text += '\n';
        return WriteAll(m_fd, text) ? S_OK : E_FAIL;
    }

private:
    ~FileLog() { CloseFile(); }

    void CloseFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    int m_fd = -1;
};

} // namespace

// Creates a log object and returns the requested interface of it.
FILELOG_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!(clsid == CLSID_FileLog))
        return CLASS_E_CLASSNOTAVAILABLE;
    return CComCreateObject<FileLog>(iid, object);
}
