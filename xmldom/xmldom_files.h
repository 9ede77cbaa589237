// What the component knows about the files it replaces: which file a path stood for when it was
// read, and the leftovers of saves that a crash interrupted.
#pragma once

#include <sys/types.h>

#include "wipe.h"

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A file as it stood when the program read it (device, inode, size, modification time), or the
// fact that there was none. Two identities are equal when they name the same unchanged file.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileIdentity& other) const;
};

// The identity of the file the path leads to, links followed; an absent identity when nothing is
// there. False when the path cannot be examined for another reason (no access, a loop of links).
bool IdentifyFile(const std::string& path, FileIdentity& identity);

// The bytes of a file that may hold secrets; every buffer they had is zeroed when given back.
using SecretBytes = std::vector<char, WipingAllocator<char>>;

// Reads the whole file at path into bytes. Only a regular file is read, links followed (a device,
// pipe or folder is refused, and a pipe without a writer cannot hold the caller up), and only up to
// maxBytes, checked before reading and again while reading a file that grows. False with the reason
// on any failure, bytes then empty.
bool ReadRegularFile(const std::string& path, std::size_t maxBytes, SecretBytes& bytes, std::string& reason);

// Writes the bytes as the file at path, the way the component saves: a new file in the same folder,
// flushed to disk, then put in place, and the folder's names made durable, so the file is never
// seen half-written. The file is readable and writable by its owner only, whatever the umask and
// whatever the file it replaces allowed. A symbolic link at path is refused, never followed, and
// only a regular file is replaced. With an expected identity, only that file is replaced (for an
// absent one, a file that appeared meanwhile is kept). False with the reason on any failure,
// leaving what was at path untouched. True once the file took its name; reason then holds a note
// when that name is not yet durable (its folder could not be synced), and is empty otherwise.
bool WriteOwnerOnlyFile(const std::string& path, std::string_view bytes, const FileIdentity* expected,
                        std::string& reason);

// The folder of the file at path: everything before its last "/", "/" for a file in the root, "."
// for a bare name.
std::string FolderOf(const std::string& path);
// The last component of a path: the name of its file within FolderOf(path).
std::string LeafOf(const std::string& path);

// When this run started.
const timespec& RunStartTime();

// Removes, from the folder, the temporary files of saves that ended before this run started (a
// killed or crashed process leaves them). Only the component's own temporary names are touched,
// and only regular files not changed since then. Returns how many were removed.
int RemoveLeftoverSaveFiles(const std::string& folder, const timespec& runStart = RunStartTime());

// Whether a file name is one of the component's temporary names.
bool IsLeftoverSaveName(const std::string& name);

// Writes the bytes to a new file, readable and writable by its owner only, syncs it, and gives it
// the name at path in one step, so that the name never stands for a part of them. A link at that
// name is never followed. With replace false, a file already bearing the name is kept and the call
// fails; with replace true, it is replaced. On success the file stays open for writing at its end,
// and its descriptor goes to fd; notYetDurable gets a note when the name stands but its folder could
// not be synced, and an empty text otherwise. False, with the reason, on any failure before the
// name stands; nothing is left behind.
bool PlaceNewFile(const std::string& path, std::string_view bytes, bool replace, int& fd, std::string* reason,
                  std::string* notYetDurable = nullptr);

// Writes all the bytes at the descriptor's position, going on after interruptions. False, with
// errno set, when the file takes no more.
bool WriteAllBytes(int fd, std::string_view bytes);

// What a sync makes durable: the data written to a file, or the names in a folder.
enum class SyncKind { FileData, FolderNames };

// Makes what was written to the file durable, with what is needed to read it back (fdatasync).
// False, with errno set, when it cannot be.
bool SyncFileData(int fd);
// As SyncFileData, with every attribute of the file as well (fsync).
bool SyncWholeFile(int fd);
// Makes the names in the folder durable. A file system that cannot sync a folder at all (EINVAL)
// is taken as it is.
bool SyncFolderNames(int folderFd);
// As SyncFolderNames, for the folder of the file at path.
bool SyncFolderOf(const std::string& path);

// The operations on files that change what is on disk, as a test can count and fail them.
enum class FileOperation { Open, Write, Sync, Rename, Link, Unlink, FolderSync };

// Whether the operation may go ahead: true, unless a test made this one fail (errno is then EIO).
// Called before each such operation of a save, a journal or a set-aside.
bool FileOperationAllowed(FileOperation operation);

namespace file_sync_test {
// Counts every sync from now on and tells the watcher of each before it is made; null stops both.
void Watch(std::function<void(SyncKind)> watcher);
// How many syncs of the kind were made (or failed) since the watch began.
int Count(SyncKind kind);
// Makes the next `count` syncs of the kind fail with EIO, whether watched or not.
void FailNext(SyncKind kind, int count = 1);
// Counts every file operation from now on, of any kind, and fails the n-th (counted from 1) with
// EIO; 0 stops both.
void FailNthOperation(int n);
// How many operations were counted since FailNthOperation.
int OperationsCounted();
} // namespace file_sync_test
