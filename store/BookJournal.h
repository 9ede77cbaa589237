// The session journal: every change to the open book's entries, made durable on disk as the command
// that made it returns, so that a session which never reached its save can be brought back. It lives
// beside the book as "<book file>.journal", owner-only, and goes once the book has been saved.
#pragma once

#include "AccountBook.h"
#include "xmldom_files.h"

#include <sys/types.h>

#include <string>
#include <vector>

enum class JournalChange : char {
    Insert = 'I', // a row appended at the end of the list
    Update = 'U', // a row's three texts replaced
    Delete = 'D', // a row removed
};

// One change as the journal holds it.
struct JournalRecord {
    JournalChange change = JournalChange::Insert;
    std::size_t row = 0; // the row changed; for an insert, the row it became
    AccountEntry entry;  // the row's new texts; empty for a delete
    off_t end = 0;       // where the record ends in the journal
};

// What a journal holds: the book it was written against and the changes made to it since.
struct JournalContents {
    FileIdentity base;            // the book's file as loaded at the start of the session; absent for a new book
    TextField admin = {};         // the book's administrator account
    TextField adminPassword = {}; // and its password, which opens a book that was never saved
    std::vector<JournalRecord, WipingAllocator<JournalRecord>> records;
    off_t headerEnd = 0;

    JournalContents() = default;
    JournalContents(const JournalContents&) = delete;
    JournalContents& operator=(const JournalContents&) = delete;
    ~JournalContents();
};

enum class JournalReadOutcome {
    Absent,     // no journal: the last session ended with a save, or made no change
    Read,       // the header and every whole record up to the first torn or damaged one
    Unreadable, // the journal is there, but cannot be opened or its header is damaged
};

class BookJournal {
public:
    BookJournal() = default;
    ~BookJournal();
    BookJournal(const BookJournal&) = delete;
    BookJournal& operator=(const BookJournal&) = delete;

    // The journal of the book at bookPath.
    static std::string PathFor(const std::string& bookPath);
    // A second name for the book's file as loaded, made as the journal starts, so that the session
    // can still be rebuilt when another program replaces the book meanwhile.
    static std::string BasePathFor(const std::string& bookPath);

    // Writes a new journal for the book, against its file as loaded, and makes it durable. False,
    // with the system's reason, when it cannot be made; an earlier journal is never overwritten.
    bool Start(const std::string& bookPath, const FileIdentity& loaded, const AccountBook& book, std::string* reason);
    // Goes on with a journal read at login, after its last record that was applied; whatever follows
    // (a torn record) is cut off.
    bool Resume(const std::string& bookPath, off_t end, std::string* reason);
    // Adds one change and makes it durable before returning. False, with the reason, when it could
    // not be written; the journal then holds the changes before it, never a part of this one, and
    // takes no later change, which would not fit the rows without it.
    bool Append(JournalChange change, std::size_t row, const AccountEntry& entry, std::string* reason);
    bool Active() const { return m_fd >= 0; }
    // Lets the journal go; the file stays for the next login.
    void Close();
    // Removes the journal of the book at bookPath and the book's second name, durably.
    static void RemoveFor(const std::string& bookPath);

    // Reads the journal at path. Every record is checked; reading stops at the first that is torn
    // or damaged, and the records before it are given.
    static JournalReadOutcome Read(const std::string& path, JournalContents& contents);
    // Applies the records to the entries, in order; stops at one that does not fit them. The number
    // applied.
    static std::size_t Apply(const JournalContents& contents, AccountEntries& entries);

private:
    bool Open(const std::string& bookPath, int flags, std::string* reason);
    bool WriteDurably(const std::string& line, std::string* reason);

    std::string m_path;
    int m_fd = -1;
    off_t m_end = 0;       // the end of the last whole record
    std::string m_failure; // why a change could not be written; every later one is refused with it
};
