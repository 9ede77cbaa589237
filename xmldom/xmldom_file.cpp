// Reading and replacing the component's files.
#include "xmldom_state.h"

#include <libxml/xmlerror.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <memory>
#include <new>
#include <random>
#include <utility>
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
std::atomic<bool> g_unnamedFilesRefused{false};
std::function<void(SyncKind)> g_syncWatcher;
int g_syncCounts[2] = {};
int g_syncFailures[2] = {};
int g_operationsCounted = 0;
int g_failingOperation = 0; // the operation, counted from 1, that fails; 0 for none

// Counts the sync for a watching test, and fails it when a test asked for that.
bool SyncAllowed(SyncKind kind) {
    if (!FileOperationAllowed(kind == SyncKind::FileData ? FileOperation::Sync : FileOperation::FolderSync))
        return false;
    const auto which = std::size_t(kind);
    if (g_syncWatcher) {
        ++g_syncCounts[which];
        g_syncWatcher(kind);
    }
    if (g_syncFailures[which] > 0) {
        --g_syncFailures[which];
        errno = EIO;
        return false;
    }
    return true;
}
// What a test runs at each instant of the next save, indexed by xmldom_test::SaveInstant.
std::function<void()> g_beforeReplacing[2];

void RunPlantedAction(xmldom_test::SaveInstant instant) {
    if (auto& action = g_beforeReplacing[std::size_t(instant)])
        std::exchange(action, nullptr)();
}

std::string ErrnoText() {
    return std::strerror(errno);
}

// What a caller is told of a file that took its name, but whose folder could not be synced after.
std::string NotYetDurableNote(const std::string& path) {
    return path + " is in place, but not yet durable: its folder could not be synced (" + ErrnoText() +
           "). A power loss now could undo it.";
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

// Names of temporary files: a fixed prefix and six letters or digits.
constexpr char kTemporaryPrefix[] = ".xmldom-save-";
constexpr std::size_t kTemporarySuffixLength = 6;
// More links than this in a row are taken for a loop.
constexpr int kMaxLinkHops = 40;
// Random temporary names tried before the folder is taken for one that refuses them all.
constexpr int kMaxNameAttempts = 100;

// The moment this run started; leftovers of interrupted saves are older than it. File times come
// from the coarse clock, so the start does too: a file made after it is never dated before it.
const timespec g_runStart = [] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}();

const timespec* g_runStartMoved = nullptr;

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// A temporary name, without its folder.
std::string RandomTemporaryName() {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name = kTemporaryPrefix;
    for (std::size_t i = 0; i < kTemporarySuffixLength; ++i)
        name += kLetters[pick(generator)];
    return name;
}

// The file a path leads to: the path itself, or the end of its chain of symbolic links, so that a
// save replaces the link's target in the target's own folder and the link stays.
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::vector<char> target(std::size_t(info.st_size > 0 ? info.st_size : 255) + 1);
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || std::size_t(length) >= target.size())
            xmldom_detail::Fail(xmldom_detail::kFail, "cannot follow the link " + current);
        const std::string next(target.data(), std::size_t(length));
        current = next.front() == '/' ? next : FolderOf(current) + "/" + next;
    }
    xmldom_detail::Fail(xmldom_detail::kFail, "too many links from " + path);
}

[[noreturn]] void RefuseName(const std::string& path) {
    if (errno == EEXIST)
        xmldom_detail::Fail(xmldom_detail::kFail, path + " appeared meanwhile; it is left as it is");
    xmldom_detail::Fail(xmldom_detail::kFail, "cannot create " + path + ": " + ErrnoText());
}

// The file being written, in the target's folder. The folder is opened once and every name in it
// is given relative to it, so a target whose path just fits the system's limit is not refused for
// a longer temporary name. The file has no name while it is written where the file system allows
// that, so a crash leaves nothing behind; otherwise it has a temporary name beside the target,
// removed unless the file was put in place.
class PendingFile {
public:
    explicit PendingFile(const std::string& folder)
        : m_folderPath(folder), m_folder(FileOperationAllowed(FileOperation::Open)
                                             ? ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                             : -1),
          m_fd(-1) {
        if (m_folder.Get() < 0)
            xmldom_detail::Fail(xmldom_detail::kFail, "cannot open the folder " + folder + ": " + ErrnoText());
        if (!g_unnamedFilesRefused && FileOperationAllowed(FileOperation::Open))
            m_fd.Reset(::openat(m_folder.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR));
        for (int attempt = 0; m_fd.Get() < 0 && attempt < kMaxNameAttempts; ++attempt) {
            const std::string name = RandomTemporaryName();
            if (!FileOperationAllowed(FileOperation::Open))
                break;
            m_fd.Reset(
                ::openat(m_folder.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
            if (m_fd.Get() >= 0)
                m_name = name;
            else if (errno != EEXIST)
                break;
        }
        if (m_fd.Get() < 0)
            xmldom_detail::Fail(xmldom_detail::kFail, "cannot create a file in " + folder + ": " + ErrnoText());
    }
    // A file that never took its final name is emptied before its temporary name goes, so that no
    // part of it stays readable should that name stay.
    ~PendingFile() {
        if (!m_name.empty() && m_fd.Get() >= 0)
            (void)::ftruncate(m_fd.Get(), 0);
        m_fd.Close();
        if (!m_name.empty() && FileOperationAllowed(FileOperation::Unlink))
            ::unlinkat(m_folder.Get(), m_name.c_str(), 0);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    int Fd() const { return m_fd.Get(); }

    // A second descriptor of the file being written, which stays open once it has its name.
    int Duplicate() const { return ::fcntl(m_fd.Get(), F_DUPFD_CLOEXEC, 0); }

    // Gives the file the name leaf in the folder, never replacing a file of that name. Returns what
    // Finish returns.
    std::string LinkAs(const std::string& leaf) {
        RunPlantedAction(xmldom_test::SaveInstant::AtNaming);
        const bool linked = m_name.empty()
                                ? LinkUnnamed(leaf)
                                : FileOperationAllowed(FileOperation::Link) &&
                                      ::linkat(m_folder.Get(), m_name.c_str(), m_folder.Get(), leaf.c_str(), 0) == 0;
        if (!linked)
            RefuseName(m_folderPath + "/" + leaf);
        return Finish(leaf);
    }

    // Puts the file in place of leaf in the folder, whatever is there. Returns what Finish returns.
    std::string ReplaceAt(const std::string& leaf) {
        for (int attempt = 0; m_name.empty(); ++attempt) {
            const std::string name = RandomTemporaryName();
            if (LinkUnnamed(name))
                m_name = name;
            else if (errno != EEXIST || attempt + 1 == kMaxNameAttempts)
                xmldom_detail::Fail(xmldom_detail::kFail, "cannot name a file in " + m_folderPath + ": " + ErrnoText());
        }
        RunPlantedAction(xmldom_test::SaveInstant::AtNaming);
        if (!FileOperationAllowed(FileOperation::Rename) ||
            ::renameat(m_folder.Get(), m_name.c_str(), m_folder.Get(), leaf.c_str()) != 0)
            xmldom_detail::Fail(xmldom_detail::kFail,
                                "cannot replace " + m_folderPath + "/" + leaf + ": " + ErrnoText());
        m_name.clear();
        return Finish(leaf);
    }

private:
    bool LinkUnnamed(const std::string& leaf) const {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd.Get());
        return FileOperationAllowed(FileOperation::Link) &&
               ::linkat(AT_FDCWD, self.c_str(), m_folder.Get(), leaf.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }

    // The file has its final name; a temporary one goes, and the new name is made durable. A file
    // system that cannot sync folders at all (EINVAL) is taken as it is. The new name stands
    // whatever the sync gives, so its failure is no failure to place the file: an empty text when
    // the name is durable, else a note that it is not yet.
    std::string Finish(const std::string& leaf) {
        if (!m_name.empty() && FileOperationAllowed(FileOperation::Unlink))
            ::unlinkat(m_folder.Get(), m_name.c_str(), 0);
        m_name.clear();
        m_fd.Close();
        return SyncFolderNames(m_folder.Get()) ? std::string() : NotYetDurableNote(m_folderPath + "/" + leaf);
    }

    std::string m_folderPath;
    Descriptor m_folder;
    std::string m_name; // empty while the file has no name
    Descriptor m_fd;
};

// The permissions of the saved file: a replaced file keeps its own (special bits aside), so a
// save never widens them for others, plus the owner's read and write so that the program can read
// it back; a new one is private to its owner. Only a regular file is ever replaced: a device, pipe
// or socket at the name is refused, never swapped for a file.
mode_t TargetMode(const std::string& target) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            xmldom_detail::Fail(xmldom_detail::kFail, target + " is a folder");
        if (!S_ISREG(info.st_mode))
            xmldom_detail::Fail(xmldom_detail::kFail, target + " is not a regular file; it is left as it is");
        return (info.st_mode & 0777) | S_IRUSR | S_IWUSR;
    }
    if (errno != ENOENT)
        xmldom_detail::Fail(xmldom_detail::kFail, "cannot examine " + target + ": " + ErrnoText());
    return S_IRUSR | S_IWUSR;
}

void RequireExpected(const std::string& target, const FileIdentity* expected) {
    FileIdentity now;
    if (expected && (!IdentifyFile(target, now) || !(now == *expected)))
        xmldom_detail::Fail(xmldom_detail::kFail, target + " is not the file that was read; it is left as it is");
}

// Writes the file through a pending one in the target's folder, with the given permissions, and
// puts it in place of the target; path is the name the caller gave, for the messages. Returns what
// PendingFile::Finish returns.
std::string PutInPlace(const std::string& path, const std::string& target, mode_t mode,
                       const std::function<bool(int fd)>& writeContent, const FileIdentity* expected) {
    RequireExpected(target, expected);
    PendingFile pending(FolderOf(target));
    const std::string leaf = LeafOf(target);
    if (::fchmod(pending.Fd(), mode) != 0 || !writeContent(pending.Fd()) || !SyncWholeFile(pending.Fd()))
        xmldom_detail::Fail(xmldom_detail::kFail, "cannot write the new " + target + ": " + ErrnoText());
    if (g_failNextSave.exchange(false))
        xmldom_detail::Fail(xmldom_detail::kFail, "save of " + path + " stopped before replacing it");
    RunPlantedAction(xmldom_test::SaveInstant::BeforeLastCheck);
    // A file expected to be absent is created without ever replacing one that appeared meanwhile.
    if (expected && !expected->exists)
        return pending.LinkAs(leaf);
    RequireExpected(target, expected);
    return pending.ReplaceAt(leaf);
}

void RefuseLink(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        xmldom_detail::Fail(xmldom_detail::kFail, path + " is a symbolic link; it is left as it is");
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
    m_openedSize = static_cast<std::size_t>(info.st_size);
    return true;
}

void InputFile::OpenBytes(std::string_view bytes, const std::string& path) {
    m_path = path;
    m_bytes = bytes;
    m_inMemory = true;
    m_maxBytes = m_openedSize = bytes.size();
}

int InputFile::Read(char* buffer, int size) {
    if (m_failureCode != 0)
        return -1;
    if (m_inMemory) {
        const std::size_t count = std::min(m_bytes.size() - m_bytesRead, static_cast<std::size_t>(std::max(size, 0)));
        std::memcpy(buffer, m_bytes.data() + m_bytesRead, count);
        m_bytesRead += count;
        return static_cast<int>(count);
    }
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
    if (!FileOperationAllowed(FileOperation::Write))
        return false;
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

std::string ReplaceFileAtomically(const std::string& path, const std::function<bool(int fd)>& writeContent,
                                  const FileIdentity* expected) {
    if (path.empty())
        Fail(kInvalidArg, "empty file name");
    const std::string target = FollowLinks(path);
    return PutInPlace(path, target, TargetMode(target), writeContent, expected);
}

} // namespace xmldom_detail

bool PlaceNewFile(const std::string& path, std::string_view bytes, bool replace, int& fd, std::string* reason,
                  std::string* notYetDurable) {
    fd = -1;
    return RunGuarded(
        [&] {
            PendingFile pending(FolderOf(path));
            if (::fchmod(pending.Fd(), S_IRUSR | S_IWUSR) != 0 ||
                !xmldom_detail::WriteBytes(pending.Fd(), bytes.data(), bytes.size()) || !SyncFileData(pending.Fd()))
                xmldom_detail::Fail(xmldom_detail::kFail, "cannot write " + path + ": " + ErrnoText());
            Descriptor kept(pending.Duplicate());
            if (kept.Get() < 0 || ::lseek(kept.Get(), 0, SEEK_END) < 0)
                xmldom_detail::Fail(xmldom_detail::kFail, "cannot keep " + path + " open: " + ErrnoText());
            std::string note = replace ? pending.ReplaceAt(LeafOf(path)) : pending.LinkAs(LeafOf(path));
            if (notYetDurable)
                *notYetDurable = std::move(note);
            fd = kept.Release();
            return true;
        },
        reason);
}

bool ReadRegularFile(const std::string& path, std::size_t maxBytes, SecretBytes& bytes, std::string& reason) {
    bytes.clear();
    xmldom_detail::InputFile file;
    if (!file.Open(path, maxBytes)) {
        reason = file.FailureReason();
        return false;
    }
    try {
        // Room for a byte more than the file had, so that its end is seen without growing the buffer.
        bytes.resize(file.OpenedSize() + 1);
        for (std::size_t filled = 0;;) {
            // The file grew meanwhile; the reader stops it once it passes the limit.
            if (filled == bytes.size())
                bytes.resize(std::min(maxBytes + 1, 2 * bytes.size()));
            const int count =
                file.Read(bytes.data() + filled, int(std::min<std::size_t>(bytes.size() - filled, 1 << 20)));
            if (count <= 0) {
                bytes.resize(filled);
                if (count == 0)
                    return true;
                break;
            }
            filled += std::size_t(count);
        }
        reason = file.FailureReason();
    } catch (const std::bad_alloc&) {
        reason = "not enough memory to read " + path;
    }
    SecretBytes().swap(bytes);
    return false;
}

bool WriteOwnerOnlyFile(const std::string& path, std::string_view bytes, const FileIdentity* expected,
                        std::string& reason) {
    return RunGuarded(
        [&] {
            if (path.empty())
                xmldom_detail::Fail(xmldom_detail::kInvalidArg, "empty file name");
            RefuseLink(path);
            // Checked only for what it refuses: the file is private whatever the one it replaces allowed.
            TargetMode(path);
            reason = PutInPlace(
                path, path, S_IRUSR | S_IWUSR,
                [bytes](int fd) { return xmldom_detail::WriteBytes(fd, bytes.data(), bytes.size()); }, expected);
            return true;
        },
        &reason);
}

bool FileIdentity::operator==(const FileIdentity& other) const {
    if (exists != other.exists)
        return false;
    return !exists || (device == other.device && inode == other.inode && size == other.size &&
                       modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec);
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
    identity = FileIdentity{};
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT;
    identity = FileIdentity{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    return true;
}

bool WriteAllBytes(int fd, std::string_view bytes) {
    return xmldom_detail::WriteBytes(fd, bytes.data(), bytes.size());
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

bool SyncFileData(int fd) {
    return SyncAllowed(SyncKind::FileData) && ::fdatasync(fd) == 0;
}

bool SyncWholeFile(int fd) {
    return SyncAllowed(SyncKind::FileData) && ::fsync(fd) == 0;
}

bool SyncFolderNames(int folderFd) {
    return SyncAllowed(SyncKind::FolderNames) && (::fsync(folderFd) == 0 || errno == EINVAL);
}

bool SyncFolderOf(const std::string& path) {
    const Descriptor folder(FileOperationAllowed(FileOperation::Open)
                                ? ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                : -1);
    return folder.Get() >= 0 && SyncFolderNames(folder.Get());
}

bool IsLeftoverSaveName(const std::string& name) {
    const std::string prefix = kTemporaryPrefix;
    if (name.size() != prefix.size() + kTemporarySuffixLength || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return std::all_of(name.begin() + std::ptrdiff_t(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

bool FileOperationAllowed(FileOperation) {
    if (g_failingOperation == 0 || ++g_operationsCounted != g_failingOperation)
        return true;
    errno = EIO;
    return false;
}

const timespec& RunStartTime() {
    return g_runStartMoved ? *g_runStartMoved : g_runStart;
}

int RemoveLeftoverSaveFiles(const std::string& folder, const timespec& runStart) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat info {};
        if (!IsLeftoverSaveName(entry->d_name) ||
            ::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // A file changed since this run started may belong to a save still under way in another copy.
        if (S_ISREG(info.st_mode) && Before(info.st_ctim, runStart) &&
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}

namespace xmldom_test {

void FailNextSaveBeforeRename() {
    g_failNextSave = true;
}

void RefuseUnnamedFiles(bool refuse) {
    g_unnamedFilesRefused = refuse;
}

void FailNextFolderSync() {
    file_sync_test::FailNext(SyncKind::FolderNames);
}

void RunBeforeReplacing(std::function<void()> action, SaveInstant instant) {
    g_beforeReplacing[std::size_t(instant)] = std::move(action);
}

void MoveRunStart(const timespec* start) {
    g_runStartMoved = start;
}

} // namespace xmldom_test

namespace file_sync_test {

void Watch(std::function<void(SyncKind)> watcher) {
    g_syncWatcher = std::move(watcher);
    g_syncCounts[0] = g_syncCounts[1] = 0;
}

int Count(SyncKind kind) {
    return g_syncCounts[std::size_t(kind)];
}

void FailNext(SyncKind kind, int count) {
    g_syncFailures[std::size_t(kind)] = count;
}

void FailNthOperation(int n) {
    g_failingOperation = n;
    g_operationsCounted = 0;
}

int OperationsCounted() {
    return g_operationsCounted;
}

} // namespace file_sync_test
