// Reading and replacing the component's files.
#include "xmldom_state.h"

#include <libxml/xmlerror.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using xmldom_detail::Descriptor;

namespace {

std::atomic<bool> g_failNextSave{false};

std::string ErrnoText() {
    return std::strerror(errno);
}

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

// Reads once, retrying when interrupted by a signal.
ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
    ssize_t count = 0;
    do {
        count = ::read(fd, buffer, size);
    } while (count < 0 && errno == EINTR);
    return count;
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

std::string InputFile::TooLargeReason() const {
    return "cannot read " + m_path + ": larger than " + std::to_string(m_maxBytes) + " bytes";
}

bool InputFile::Refuse(long code, std::string reason) {
    m_failureCode = code;
    m_failureReason = std::move(reason);
    return false;
}

bool InputFile::Open(const std::string& path, std::size_t maxBytes) {
    m_path = path;
    m_maxBytes = maxBytes;
    // Non-blocking so that a named pipe cannot hang the open; it is refused below.
    m_fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (m_fd.Get() < 0)
        return Refuse(OpenErrorCode(errno), "cannot open " + path + ": " + ErrnoText());
    struct stat info {};
    if (::fstat(m_fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return Refuse(S_ISDIR(info.st_mode) ? XML_IO_EISDIR : XML_IO_UNKNOWN, path + " is not a regular file");
    if (static_cast<std::uintmax_t>(info.st_size) > m_maxBytes)
        return Refuse(XML_IO_EFBIG, TooLargeReason());
    return true;
}

int InputFile::Read(char* buffer, int size) {
    if (m_failureCode != 0)
        return -1;
    const ssize_t count = size >= 0 ? ReadSome(m_fd.Get(), buffer, static_cast<std::size_t>(size)) : -1;
    if (count >= 0)
        m_bytesRead += static_cast<std::size_t>(count);
    if (count < 0)
        Refuse(XML_IO_UNKNOWN, "cannot read " + m_path + ": " + ErrnoText());
    else if (m_bytesRead > m_maxBytes)
        Refuse(XML_IO_EFBIG, TooLargeReason());
    return m_failureCode != 0 ? -1 : static_cast<int>(count);
}

bool WriteBytes(int fd, const char* bytes, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = ::write(fd, bytes + written, size - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0) {
            errno = EIO;
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

void ReplaceFileAtomically(const std::string& path, const std::function<bool(int fd)>& writeContent) {
    if (path.empty())
        Fail(kInvalidArg, "empty file name");
    const mode_t mode = TargetMode(path);
    const std::string folder = FolderOf(path);
    TemporaryFile temporary(folder);
    if (::fchmod(temporary.Fd(), mode) != 0 || !writeContent(temporary.Fd()) || ::fsync(temporary.Fd()) != 0)
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
