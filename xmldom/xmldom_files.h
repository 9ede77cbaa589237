// What the component knows about the files it replaces: which file a path stood for when it was
// read, and the leftovers of saves that a crash interrupted.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <functional>
#include <string>

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

namespace file_sync_test {
// Counts every sync from now on and tells the watcher of each before it is made; null stops both.
void Watch(std::function<void(SyncKind)> watcher);
// How many syncs of the kind were made (or failed) since the watch began.
int Count(SyncKind kind);
// Makes the next `count` syncs of the kind fail with EIO, whether watched or not.
void FailNext(SyncKind kind, int count = 1);
} // namespace file_sync_test
