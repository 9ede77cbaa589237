// Reading and replacing the component's files.
#include "xmldom_state.h"

#include <libxml/xmlerror.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The program's files are a few kilobytes; anything near this is not one of them.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

std::atomic<bool> g_failNextSave{false};

std::string ErrnoText() {
    return std::strerror(errno);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    // Takes charge of another descriptor, closing the one held.
    void Reset(int fd) {
        Close();
        m_fd = fd;
    }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

long OpenErrorCode(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return XML_IO_ENOENT;
    case EACCES:
    case EPERM:
        return XML_IO_EACCES;
    case EISDIR:
        return XML_IO_EISDIR;
    default:
        return XML_IO_UNKNOWN;
    }
}

bool ReadAll(int fd, std::string& content) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0)
            return true;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 || content.size() + static_cast<std::size_t>(count) > static_cast<std::size_t>(kMaxFileSize))
            return false;
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t count = ::write(fd, content.data() + written, content.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A temporary file beside the target; removed unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& folder) : m_name(folder + "/.xmldom-save-XXXXXX"), m_fd(-1) {
        std::vector<char> name(m_name.begin(), m_name.end());
        name.push_back('\0');
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            xmldom_detail::Fail(xmldom_detail::kFail, "cannot create a file in " + folder + ": " + ErrnoText());
        m_name = name.data();
        m_fd.Reset(fd);
        m_created = true;
    }
    ~TemporaryFile() {
        m_fd.Close();
        if (m_created)
            ::unlink(m_name.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    int Fd() const { return m_fd.Get(); }
    bool Close() { return m_fd.Close(); }
    const std::string& Name() const { return m_name; }
    // The file now lives under another name; nothing is left to remove.
    void Release() { m_created = false; }

private:
    std::string m_name;
    Descriptor m_fd;
    bool m_created = false;
};

// The mode the saved file gets: a replaced file keeps its own, a new one is private to its owner.
mode_t TargetMode(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            xmldom_detail::Fail(xmldom_detail::kFail, path + " is a folder");
        return info.st_mode & 07777;
    }
    if (errno != ENOENT)
        xmldom_detail::Fail(xmldom_detail::kFail, "cannot examine " + path + ": " + ErrnoText());
    return S_IRUSR | S_IWUSR;
}

// Makes the rename durable. Some file systems cannot sync a folder; the file is in place by then,
// so that is not reported as a failed save.
void SyncFolder(const std::string& folder) {
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}

} // namespace

namespace xmldom_detail {

bool ReadWholeFile(const std::string& path, std::string& content, long& code, std::string& reason) {
    // Non-blocking so that a named pipe cannot hang the open; it is refused below.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0) {
        code = OpenErrorCode(errno);
        reason = "cannot open " + path + ": " + ErrnoText();
        return false;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        code = S_ISDIR(info.st_mode) ? XML_IO_EISDIR : XML_IO_UNKNOWN;
        reason = path + " is not a regular file";
        return false;
    }
    if (info.st_size > kMaxFileSize || !ReadAll(fd.Get(), content)) {
        code = info.st_size > kMaxFileSize ? XML_IO_EFBIG : XML_IO_UNKNOWN;
        reason = "cannot read " + path + " (unreadable or larger than 64 MiB)";
        return false;
    }
    return true;
}

void ReplaceFileAtomically(const std::string& path, const std::string& content) {
    if (path.empty())
        Fail(kInvalidArg, "empty file name");
    const mode_t mode = TargetMode(path);
    const std::string folder = FolderOf(path);
    TemporaryFile temporary(folder);
    if (::fchmod(temporary.Fd(), mode) != 0 || !WriteAll(temporary.Fd(), content) || ::fsync(temporary.Fd()) != 0)
        Fail(kFail, "cannot write " + temporary.Name() + ": " + ErrnoText());
    if (!temporary.Close())
        Fail(kFail, "cannot write " + temporary.Name() + ": " + ErrnoText());
    if (g_failNextSave.exchange(false))
        Fail(kFail, "save of " + path + " stopped before replacing it");
    if (::rename(temporary.Name().c_str(), path.c_str()) != 0)
        Fail(kFail, "cannot replace " + path + ": " + ErrnoText());
    temporary.Release();
    SyncFolder(folder);
}

} // namespace xmldom_detail

namespace xmldom_test {

void FailNextSaveBeforeRename() {
    g_failNextSave = true;
}

} // namespace xmldom_test
