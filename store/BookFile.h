// The open book's hold on its file: a lock that keeps every other copy of the program from opening
// the same book, and what the file was when the book was opened, so that a save never replaces a
// file this run did not read or write itself.
#pragma once

#include "AccountBook.h"
#include "Base64.h"
#include "xmldom_files.h"

#include <functional>
#include <string>
#include <vector>

class BookKey;

enum class BookSaveOutcome {
    Saved,      // the book's own file holds the book
    KeptBeside, // the file had changed on disk: it stays, and the book went to a file of its own
    Failed,     // nothing was written; the file is as it was
};

struct BookSaveResult {
    BookSaveOutcome outcome = BookSaveOutcome::Failed;
    std::string keptPath; // where the book went when it was kept beside the changed file
    std::string reason;   // why it failed, in the system's words; empty when unknown. When it was
                          // saved: a note that the new file is not yet durable, or empty
};

class BookFile {
public:
    BookFile() = default;
    ~BookFile();
    BookFile(const BookFile&) = delete;
    BookFile& operator=(const BookFile&) = delete;

    // Takes the lock of the book at bookPath and remembers the book's file as it is now, before it
    // is read; another book held before is let go. False when another process holds the lock, and
    // when no lock can be had there at all (LockUnavailable tells which).
    bool ClaimExisting(const std::string& bookPath);
    // As ClaimExisting, for a new book: false also when anything bears the book's name already.
    // The lock reserves the name until the end of the run.
    bool ClaimNew(const std::string& bookPath);
    // Takes the lock for a book whose file this run never read: any file of that name is kept,
    // never replaced. False when another process holds the lock.
    bool ClaimUnread(const std::string& bookPath);
    // Whether the last claim was refused because no lock can be had: the lock file cannot be made
    // or locked (a read-only folder, no free inodes, no locks on that file system), or its name is
    // a link or another user's file. A book is never opened without its lock.
    bool LockUnavailable() const { return m_lockUnavailable; }
    // Whether this run holds the lock of the book at bookPath.
    bool Holds(const std::string& bookPath) const { return !m_bookPath.empty() && m_bookPath == bookPath; }
    // The held book's path; empty while none is held.
    const std::string& Path() const { return m_bookPath; }
    // The held book's file as this run last read or wrote it.
    const FileIdentity& OnDisk() const { return m_onDisk; }
    // Lets the lock go and removes the lock file.
    void Release();

    // Saves the book to its file, if that is still the file that was read (or still absent, for a
    // new book). Otherwise that file is left as it is and the book is saved beside it, under a
    // name that no book can have: the book's file name followed by ".kept-" and the time. The
    // file a save replaces stays as an earlier version, the book's file name followed by
    // ".previous-", the save's number and the time; the three newest by number are kept.
    // With a key, the book is written sealed under it.
    BookSaveResult Save(const AccountBook& book, const CBase64& codec, const BookKey* key = nullptr);
    // Saves the book beside the held book's file under the ".kept-" name, leaving that file alone.
    BookSaveResult SaveBeside(const AccountBook& book, const CBase64& codec, const BookKey* key = nullptr) const;
    // The files of the user's own beside the book that hold a copy of it or of its entries: earlier
    // versions, books kept beside, journals set aside and their bases; sorted by name.
    std::vector<std::string> CopiesBeside() const;
    // A name beside the book that no book can have: the book's file name, the marker and the time.
    std::string StampedPath(const char* marker) const;

    // The lock file of an account's book: the book's file name followed by ".lock", so it is never
    // taken for a book.
    static std::string LockPath(const std::string& bookPath);

private:
    bool Claim(const std::string& bookPath);
    // The start of the names of the book's earlier versions, within its folder.
    std::string EarlierVersionPrefix() const;
    // Gives the book's file, as it is now, the name of its newest earlier version; that path, or
    // empty when none could be kept.
    std::string KeepEarlierVersion() const;
    // Removes all but the newest earlier versions of the book; madeNow is the name this save gave
    // to the file it replaced.
    void RemoveOldVersions(const std::string& madeNow, const FileIdentity& replaced) const;

    std::string m_bookPath;
    std::string m_lockPath;
    int m_lockFd = -1;
    bool m_lockUnavailable = false;
    FileIdentity m_onDisk; // the book's file as this run last read or wrote it
};

namespace book_file_test {
// Runs the action once, in the next claim, just after its lock file was locked and before it is
// checked to be still the file of that name. A test removes the file there, as a holder ending
// at that instant does.
void RunAfterLocking(std::function<void()> action);
// Makes the next lock attempt fail with the error, as flock would (ENOLCK, EWOULDBLOCK ...).
void FailNextLock(int error);
} // namespace book_file_test
