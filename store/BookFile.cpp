#include "BookFile.h"

#include "AccountFile.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

namespace {

// A lock file removed by a holder that was ending is tried again this often before giving up.
constexpr int kLockAttempts = 5;
// Kept versions saved within one second are numbered up to this.
constexpr int kMaxKeptNumber = 100;

// Earlier versions of a book kept beside it, the newest first; older ones go.
constexpr int kEarlierVersionsKept = 3;
constexpr char kEarlierVersionMarker[] = ".previous-";
constexpr char kKeptMarker[] = ".kept-";

std::function<void()> g_afterLocking;
int g_nextLockFailure = 0;

// The stamp of a kept or earlier version's name, "YYYYMMDD-HHMMSS" and its number within that
// second, so that names compare by time.
std::pair<std::string, int> StampOrder(const std::string& stamp) {
    const std::size_t dash = stamp.find('-', stamp.find('-') + 1);
    if (dash == std::string::npos)
        return {stamp, 1};
    return {stamp.substr(0, dash), std::atoi(stamp.c_str() + dash + 1)};
}

// Gives the file at bookPath a second name, without copying where the file system allows; the
// copy of a book on another file system keeps its mode.
bool KeepSecondName(const std::string& bookPath, const std::string& versionPath) {
    if (::linkat(AT_FDCWD, bookPath.c_str(), AT_FDCWD, versionPath.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno != EXDEV && errno != EPERM)
        return false;
    std::error_code failed;
    return std::filesystem::copy_file(bookPath, versionPath, failed) && !failed;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The lock file, locked; -1 when another process holds it, and -2 when no lock can be had here:
// the lock file cannot be made or locked, or its name is a link or another user's file.
int LockFile(const std::string& lockPath) {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
        if (fd < 0)
            return -2;
        struct stat locked {};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode) || locked.st_uid != ::geteuid()) {
            ::close(fd);
            return -2;
        }
        const int failure = std::exchange(g_nextLockFailure, 0);
        if (failure != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = (failure != 0 ? failure : errno) == EWOULDBLOCK;
            ::close(fd);
            return held ? -1 : -2;
        }
        if (g_afterLocking)
            std::exchange(g_afterLocking, nullptr)();
        // The holder removes its lock file as it lets go; a lock on a removed file guards nothing.
        struct stat named {};
        if (::stat(lockPath.c_str(), &named) == 0 && SameFile(locked, named))
            return fd;
        ::close(fd);
    }
    return -1;
}

} // namespace

BookFile::~BookFile() {
    Release();
}

std::string BookFile::LockPath(const std::string& bookPath) {
    return bookPath + ".lock";
}

bool BookFile::Claim(const std::string& bookPath) {
    if (bookPath.empty())
        return false;
    if (bookPath == m_bookPath)
        return true;
    Release();
    const int fd = LockFile(LockPath(bookPath));
    m_lockUnavailable = fd == -2;
    if (fd < 0)
        return false;
    m_bookPath = bookPath;
    m_lockPath = LockPath(bookPath);
    m_lockFd = fd;
    return true;
}

bool BookFile::ClaimExisting(const std::string& bookPath) {
    if (!Claim(bookPath))
        return false;
    // Taken before the book is read: a file replaced meanwhile then differs at save time, and the
    // book is kept beside it rather than over it.
    IdentifyFile(m_bookPath, m_onDisk);
    return true;
}

bool BookFile::ClaimNew(const std::string& bookPath) {
    if (!Claim(bookPath))
        return false;
    if (DirectoryEntryExists(m_bookPath)) {
        Release();
        return false;
    }
    return ClaimUnread(bookPath);
}

bool BookFile::ClaimUnread(const std::string& bookPath) {
    if (!Claim(bookPath))
        return false;
    m_onDisk = FileIdentity{};
    return true;
}

void BookFile::Release() {
    if (m_lockFd >= 0) {
        ::unlink(m_lockPath.c_str());
        ::close(m_lockFd);
    }
    m_lockFd = -1;
    m_bookPath.clear();
    m_lockPath.clear();
    m_onDisk = FileIdentity{};
}

BookSaveResult BookFile::Save(const AccountBook& book, const CBase64& codec) {
    if (m_bookPath.empty())
        return {};
    // The file this save replaces stays as an earlier version; not when another program's file
    // stands there now, which the save leaves alone anyway.
    FileIdentity replaced;
    const std::string version = m_onDisk.exists && IdentifyFile(m_bookPath, replaced) && replaced == m_onDisk
                                    ? StampedPath(kEarlierVersionMarker)
                                    : std::string();
    const bool versioned = !version.empty() && KeepSecondName(m_bookPath, version);
    std::string reason;
    if (SaveAccountBook(book, m_bookPath, codec, &m_onDisk, &reason)) {
        IdentifyFile(m_bookPath, m_onDisk);
        if (versioned)
            RemoveOldVersions();
        return {BookSaveOutcome::Saved, {}, {}};
    }
    if (versioned)
        ::unlink(version.c_str());
    FileIdentity now;
    if (!IdentifyFile(m_bookPath, now) || now == m_onDisk)
        return {BookSaveOutcome::Failed, {}, reason};
    // Another program's file stands there now; both versions are kept.
    return SaveBeside(book, codec);
}

BookSaveResult BookFile::SaveBeside(const AccountBook& book, const CBase64& codec) const {
    const FileIdentity absent;
    const std::string kept = StampedPath(kKeptMarker);
    std::string reason;
    if (!kept.empty() && SaveAccountBook(book, kept, codec, &absent, &reason))
        return {BookSaveOutcome::KeptBeside, kept, {}};
    return {BookSaveOutcome::Failed, {}, reason};
}

std::string BookFile::StampedPath(const char* marker) const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = {};
    if (!::localtime_r(&now, &local) || std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0)
        return {};
    const std::string base = m_bookPath + marker + stamp;
    for (int number = 1; number <= kMaxKeptNumber; ++number) {
        const std::string path = number == 1 ? base : base + "-" + std::to_string(number);
        if (!DirectoryEntryExists(path))
            return path;
    }
    return {};
}

void BookFile::RemoveOldVersions() const {
    const std::size_t slash = m_bookPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : m_bookPath.substr(0, slash);
    const std::string prefix = m_bookPath.substr(slash + 1) + kEarlierVersionMarker;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::pair<std::pair<std::string, int>, std::string>> versions;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0)
            versions.push_back({StampOrder(name.substr(prefix.size())), name});
    }
    ::closedir(dir);
    std::sort(versions.begin(), versions.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = kEarlierVersionsKept; i < versions.size(); ++i)
        ::unlink((folder + "/" + versions[i].second).c_str());
}

namespace book_file_test {

void RunAfterLocking(std::function<void()> action) {
    g_afterLocking = std::move(action);
}

void FailNextLock(int error) {
    g_nextLockFailure = error;
}

} // namespace book_file_test
