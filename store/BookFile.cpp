#include "BookFile.h"

#include "AccountFile.h"

#include <algorithm>
#include <cerrno>
#include <compare>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// A lock file removed by a holder that was ending is tried again this often before giving up.
constexpr int kLockAttempts = 5;
// Kept versions saved within one second are numbered up to this; as many taken names are passed
// over before a save gives up keeping an earlier version.
constexpr int kMaxKeptNumber = 100;

// Earlier versions of a book kept beside it, the newest first; older ones go.
constexpr int kEarlierVersionsKept = 3;
constexpr char kEarlierVersionMarker[] = ".previous-";
constexpr char kKeptMarker[] = ".kept-";
// The names of the files beside a book that hold a copy of it, or of its entries: its earlier
// versions, books kept beside a changed file, and journals set aside with their bases.
constexpr const char* kCopyMarkers[] = {kEarlierVersionMarker, kKeptMarker, ".journal-set-aside-"};
// An earlier version's name carries the number of the save that made it, so that their order never
// depends on the clock. Written with at least this many digits, so that a listing sorted by name
// shows them in order; a number of more digits than the most is not one the program wrote.
constexpr std::size_t kVersionNumberDigits = 6;
constexpr std::size_t kMostVersionNumberDigits = 18;
// "YYYYMMDD" and "HHMMSS" in a stamp.
constexpr std::size_t kDateDigits = 8;
constexpr std::size_t kTimeDigits = 6;
// A number within one second, in a name of the time before versions were numbered.
constexpr std::size_t kMostWithinSecondDigits = 3;

std::function<void()> g_afterLocking;
int g_nextLockFailure = 0;

// "YYYYMMDD-HHMMSS", local time, for names a person reads; empty when the clock cannot be read.
std::string LocalStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = {};
    if (!::localtime_r(&now, &local) || std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0)
        return {};
    return stamp;
}

bool DigitsOnly(std::string_view text, std::size_t fewest, std::size_t most) {
    return text.size() >= fewest && text.size() <= most &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::uint64_t NumberOf(std::string_view digits) {
    std::uint64_t number = 0;
    for (char c : digits)
        number = number * 10 + std::uint64_t(c - '0');
    return number;
}

// Where an earlier version stands among the saves of its book: the number of the save that made
// it; a version named before versions were numbered comes before every numbered one, ordered by
// its time and its number within that second.
struct VersionOrder {
    std::uint64_t number = 0;
    std::string stamp;
    std::uint64_t withinSecond = 0;

    auto operator<=>(const VersionOrder&) const = default;
};

// The order of an earlier version from what follows the marker in its name: "N-YYYYMMDD-HHMMSS", or
// "YYYYMMDD-HHMMSS" and "YYYYMMDD-HHMMSS-K" as the program named them before. False for any other
// form: such a file is not one the program made.
bool ReadVersionOrder(std::string_view rest, VersionOrder& order) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t dash = rest.find('-', from);
        parts.push_back(rest.substr(from, dash == std::string_view::npos ? dash : dash - from));
        if (dash == std::string_view::npos)
            break;
        from = dash + 1;
    }
    const auto isStamp = [&](std::size_t at) {
        return parts.size() > at + 1 && DigitsOnly(parts[at], kDateDigits, kDateDigits) &&
               DigitsOnly(parts[at + 1], kTimeDigits, kTimeDigits);
    };
    if (parts.size() == 3 && DigitsOnly(parts[0], kVersionNumberDigits, kMostVersionNumberDigits) && isStamp(1)) {
        order = {NumberOf(parts[0]), {}, 0};
        return true;
    }
    if (!isStamp(0) || parts.size() > 3 || (parts.size() == 3 && !DigitsOnly(parts[2], 1, kMostWithinSecondDigits)))
        return false;
    order = {0, std::string(parts[0]) + std::string(parts[1]), parts.size() == 3 ? NumberOf(parts[2]) : 1};
    return true;
}

// A file named as an earlier version of the book.
struct EarlierVersion {
    VersionOrder order;
    std::string name; // within the book's folder
    struct stat info;
};

// The regular files of this user in the folder whose names are an earlier version's exact form;
// links, pipes, folders and other users' files of such names are none of the program's.
std::vector<EarlierVersion> FindEarlierVersions(const std::string& folder, const std::string& prefix) {
    std::vector<EarlierVersion> versions;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir)
        return versions;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        EarlierVersion version{};
        if (name.compare(0, prefix.size(), prefix) != 0 ||
            !ReadVersionOrder(name.substr(prefix.size()), version.order) ||
            ::fstatat(::dirfd(dir.get()), entry->d_name, &version.info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(version.info.st_mode) || version.info.st_uid != ::geteuid())
            continue;
        version.name = name;
        versions.push_back(std::move(version));
    }
    return versions;
}

// Gives the file at bookPath a second name, without copying where the file system allows; the
// copy of a book on another file system keeps its mode.
bool KeepSecondName(const std::string& bookPath, const std::string& versionPath) {
    if (!FileOperationAllowed(FileOperation::Link))
        return false;
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

BookSaveResult BookFile::Save(const AccountBook& book, const CBase64& codec, const BookKey* key) {
    if (m_bookPath.empty())
        return {};
    // The file this save replaces stays as an earlier version; not when another program's file
    // stands there now, which the save leaves alone anyway.
    FileIdentity replaced;
    const std::string version = m_onDisk.exists && IdentifyFile(m_bookPath, replaced) && replaced == m_onDisk
                                    ? KeepEarlierVersion()
                                    : std::string();
    std::string reason;
    if (SaveAccountBook(book, m_bookPath, codec, &m_onDisk, &reason, key)) {
        IdentifyFile(m_bookPath, m_onDisk);
        if (!version.empty())
            RemoveOldVersions(LeafOf(version), replaced);
        return {BookSaveOutcome::Saved, {}, reason};
    }
    // The book is still that file: a second name for it is no earlier version, and would push a
    // real one out at the next save.
    if (!version.empty() && FileOperationAllowed(FileOperation::Unlink))
        ::unlink(version.c_str());
    FileIdentity now;
    if (!IdentifyFile(m_bookPath, now) || now == m_onDisk)
        return {BookSaveOutcome::Failed, {}, reason};
    // Another program's file stands there now; both versions are kept.
    return SaveBeside(book, codec, key);
}

BookSaveResult BookFile::SaveBeside(const AccountBook& book, const CBase64& codec, const BookKey* key) const {
    const FileIdentity absent;
    const std::string kept = StampedPath(kKeptMarker);
    std::string reason;
    if (!kept.empty() && SaveAccountBook(book, kept, codec, &absent, &reason, key))
        return {BookSaveOutcome::KeptBeside, kept, reason};
    return {BookSaveOutcome::Failed, {}, reason};
}

std::string BookFile::StampedPath(const char* marker) const {
    const std::string stamp = LocalStamp();
    if (stamp.empty())
        return {};
    const std::string base = m_bookPath + marker + stamp;
    for (int number = 1; number <= kMaxKeptNumber; ++number) {
        const std::string path = number == 1 ? base : base + "-" + std::to_string(number);
        if (!DirectoryEntryExists(path))
            return path;
    }
    return {};
}

std::string BookFile::EarlierVersionPrefix() const {
    return LeafOf(m_bookPath) + kEarlierVersionMarker;
}

// Numbered after the newest earlier version of the book, whatever the clock says; a name that
// something else took already is passed over.
std::string BookFile::KeepEarlierVersion() const {
    const std::string stamp = LocalStamp();
    if (stamp.empty())
        return {};
    std::uint64_t number = 1;
    for (const EarlierVersion& version : FindEarlierVersions(FolderOf(m_bookPath), EarlierVersionPrefix()))
        number = std::max(number, version.order.number + 1);
    for (int attempt = 0; attempt < kMaxKeptNumber; ++attempt, ++number) {
        char digits[32] = {};
        std::snprintf(digits, sizeof digits, "%0*llu", int(kVersionNumberDigits),
                      static_cast<unsigned long long>(number));
        if (std::strlen(digits) > kMostVersionNumberDigits)
            return {};
        const std::string path = m_bookPath + kEarlierVersionMarker + digits + "-" + stamp;
        if (!DirectoryEntryExists(path))
            return KeepSecondName(m_bookPath, path) ? path : std::string();
    }
    return {};
}

// Only versions the program made are counted and removed: regular files of this user, of the exact
// form, with no other name. A second name means someone linked that file for a purpose of their
// own (or planted it), and it stays. The version just made is the one exception: the session
// journal may still hold a second name for the book as it was opened, which is that same file.
void BookFile::RemoveOldVersions(const std::string& madeNow, const FileIdentity& replaced) const {
    const std::string folder = FolderOf(m_bookPath);
    std::vector<EarlierVersion> versions = FindEarlierVersions(folder, EarlierVersionPrefix());
    std::erase_if(versions, [&](const EarlierVersion& version) {
        const bool justMade =
            version.name == madeNow && version.info.st_dev == replaced.device && version.info.st_ino == replaced.inode;
        return version.info.st_nlink != 1 && !justMade;
    });
    std::sort(versions.begin(), versions.end(),
              [](const EarlierVersion& a, const EarlierVersion& b) { return a.order > b.order; });
    for (std::size_t i = kEarlierVersionsKept; i < versions.size(); ++i)
        if (FileOperationAllowed(FileOperation::Unlink))
            ::unlink((folder + "/" + versions[i].name).c_str());
}

std::vector<std::string> BookFile::CopiesBeside() const {
    std::vector<std::string> copies;
    const std::string folder = FolderOf(m_bookPath);
    const std::string leaf = LeafOf(m_bookPath);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (m_bookPath.empty() || !dir)
        return copies;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        struct stat info {};
        const bool copy = std::any_of(std::begin(kCopyMarkers), std::end(kCopyMarkers), [&](const char* marker) {
            return name.size() > leaf.size() && name.compare(0, leaf.size(), leaf) == 0 &&
                   name.substr(leaf.size()).starts_with(marker);
        });
        if (copy && ::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            copies.push_back(folder + "/" + std::string(name));
    }
    std::sort(copies.begin(), copies.end());
    return copies;
}

namespace book_file_test {

void RunAfterLocking(std::function<void()> action) {
    g_afterLocking = std::move(action);
}

void FailNextLock(int error) {
    g_nextLockFailure = error;
}

} // namespace book_file_test
