// The diagnostic log component: appends one time-stamped line per Write to the file given to Open,
// written through at once so nothing is lost if the program ends abruptly.
#include "FileLogItf.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <string>
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
    BYTE Open(const char* path) override {
        CloseFile();
        if (!path || !*path)
            return 0;
        m_fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        return m_fd >= 0 ? 1 : 0;
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
