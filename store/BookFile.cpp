#include "BookFile.h"

#include "AccountFile.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <utility>

BookFile g_BookFile;

namespace {

// A lock file removed by a holder that was ending is tried again this often before giving up.
constexpr int kLockAttempts = 5;
// Kept versions saved within one second are numbered up to this.
constexpr int kMaxKeptNumber = 100;

std::function<void()> g_afterLocking;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The lock file, locked; -1 when another process holds it, and -2 when no lock file can be made.
int LockFile(const std::string& lockPath) {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
        if (fd < 0)
            return -2;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            ::close(fd);
            return held ? -1 : -2;
        }
        if (g_afterLocking)
            std::exchange(g_afterLocking, nullptr)();
        // The holder removes its lock file as it lets go; a lock on a removed file guards nothing.
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd, &locked) == 0 && ::stat(lockPath.c_str(), &named) == 0 && SameFile(locked, named))
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

bool BookFile::Claim(const std::string& folder, const std::string& account) {
    const std::string bookPath = AccountFilePath(folder, account);
    if (bookPath.empty())
        return false;
    if (bookPath == m_bookPath)
        return true;
    Release();
    const int fd = LockFile(LockPath(bookPath));
    if (fd == -1)
        return false;
    m_bookPath = bookPath;
    m_lockPath = LockPath(bookPath);
    m_lockFd = fd;
    return true;
}

bool BookFile::ClaimExisting(const std::string& folder, const std::string& account) {
    if (!Claim(folder, account))
        return false;
    // Taken before the book is read: a file replaced meanwhile then differs at save time, and the
    // book is kept beside it rather than over it.
    IdentifyFile(m_bookPath, m_onDisk);
    return true;
}

bool BookFile::ClaimNew(const std::string& folder, const std::string& account) {
    if (!Claim(folder, account))
        return false;
    if (DirectoryEntryExists(m_bookPath)) {
        Release();
        return false;
    }
    return ClaimUnread(folder, account);
}

bool BookFile::ClaimUnread(const std::string& folder, const std::string& account) {
    if (!Claim(folder, account))
        return false;
    m_onDisk = FileIdentity{};
    return true;
}

bool BookFile::Holds(const std::string& folder, const std::string& account) const {
    return !m_bookPath.empty() && m_bookPath == AccountFilePath(folder, account);
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
    if (SaveAccountBook(book, m_bookPath, codec, &m_onDisk)) {
        IdentifyFile(m_bookPath, m_onDisk);
        return {BookSaveOutcome::Saved, {}};
    }
    FileIdentity now;
    if (!IdentifyFile(m_bookPath, now) || now == m_onDisk)
        return {};
    // Another program's file stands there now; both versions are kept.
    const FileIdentity absent;
    const std::string kept = KeptPath();
    if (!kept.empty() && SaveAccountBook(book, kept, codec, &absent))
        return {BookSaveOutcome::KeptBeside, kept};
    return {};
}

std::string BookFile::KeptPath() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = {};
    if (!::localtime_r(&now, &local) || std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0)
        return {};
    const std::string base = m_bookPath + ".kept-" + stamp;
    for (int number = 1; number <= kMaxKeptNumber; ++number) {
        const std::string path = number == 1 ? base : base + "-" + std::to_string(number);
        if (!DirectoryEntryExists(path))
            return path;
    }
    return {};
}

namespace book_file_test {

void RunAfterLocking(std::function<void()> action) {
    g_afterLocking = std::move(action);
}

} // namespace book_file_test
