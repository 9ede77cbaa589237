// The session journal: every change to the open book, made durable on disk as the command that made
// it returns, so that a session which never reached its save can be brought back. It lives beside the
// book as "<book file>.journal", owner-only, and goes once the book has been saved.
//
// A journal is a header line, which binds it to one book (the identity of the book's file as loaded,
// its administrator name and password), then one line per change, each sealed with its checksum.
#pragma once

#include "AccountBook.h"
#include "xmldom_files.h"

class JournalSeal;

#include <sys/types.h>

#include <cstdint>

#include <string>
#include <string_view>
#include <vector>

enum class JournalChange : char {
    Insert = 'I',        // a row appended at the end of the list
    Update = 'U',        // a row's three texts replaced
    Delete = 'D',        // a row removed
    AdminPassword = 'P', // the administrator password changed; the entry's password holds the new one
    Batch = 'B',         // the next `row` records are inserts made in one step: all of them count, or none
    Snapshot = 'S',      // the rows are replaced by the next `row` records, all or none; only ever first
    InsertAt = 'A',      // a row put in at its place; the rows from there on move down one
    Removal = 'R',       // the next `row` records are deletes made in one step: all of them count, or none
};

// One change as the journal holds it.
struct JournalRecord {
    JournalChange change = JournalChange::Insert;
    std::size_t row = 0; // the row changed (for an insert, the row it became); for a batch or a
                         // snapshot, how many records it holds
    AccountEntry entry;  // the row's new texts; empty for a delete
};

// Records in the order they are made, wiped when given back.
using JournalRecords = std::vector<JournalRecord, WipingAllocator<JournalRecord>>;

// What a journal's header says: the book it belongs to.
struct JournalHeader {
    FileIdentity base;            // the book's file as loaded when the journal began; absent for a new book
    TextField admin = {};         // the book's administrator account
    TextField adminPassword = {}; // the administrator password of the book as loaded (or created)

    JournalHeader() = default;
    JournalHeader(const JournalHeader&) = delete;
    JournalHeader& operator=(const JournalHeader&) = delete;
    ~JournalHeader();
};

enum class JournalReadOutcome {
    Absent,     // no journal: the last session ended with a save, or made no change
    Empty,      // a journal without a whole header, left by a start cut short: it holds no change
    Read,       // the header was read; the records follow
    Unreadable, // the journal is there, but is not the user's regular file, is too large, or its header is damaged
    Sealed,     // a sealed book's journal, opened without the book's key: it holds a session
    OtherKey,   // a sealed journal under another key than the book's: it belongs to another book
};

enum class JournalStep {
    Record,  // a whole record was read
    End,     // the journal ends after the last record
    Torn,    // the journal ends in the middle of a record: a write that never finished
    Damaged, // a whole line that is not a record: nothing after it can be trusted
};

// Reads a journal record by record, in a fixed amount of memory whatever its length; what it read
// is wiped as it goes. The file is opened without blocking and without following a link, and must
// be a regular file of the user's own.
class JournalReader {
public:
    JournalReader() = default;
    ~JournalReader();
    JournalReader(const JournalReader&) = delete;
    JournalReader& operator=(const JournalReader&) = delete;

    // A sealed journal is read with the seal of its book's key; a plain one with or without.
    JournalReadOutcome Open(const std::string& path, JournalHeader& header, JournalSeal* seal = nullptr);
    // Whether the journal read is sealed.
    bool Sealed() const { return m_seal != nullptr; }
    // The next record, or why there is none.
    JournalStep Next(JournalRecord& record);
    // Where the last record given (or the header) ends in the journal.
    off_t RecordEnd() const { return m_recordEnd; }
    // How many records (whole lines, and a torn one at the end) the journal holds from the offset on.
    std::size_t CountRecordsFrom(off_t offset) const;

private:
    // The next line without its line break; complete is false for a last line without one.
    bool NextLine(std::string_view& line, bool& complete);
    // As NextLine, with a sealed journal's whole line opened; a line that does not open is given empty.
    bool NextPlainLine(std::string_view& line, bool& complete);
    bool Fill();

    const JournalSeal* m_seal = nullptr;
    std::uint64_t m_lineIndex = 0; // the sealed line read next, counted from the one after the first
    WipingString m_plain;          // the last sealed line opened

    int m_fd = -1;
    std::vector<char, WipingAllocator<char>> m_buffer;
    std::size_t m_begin = 0;  // the first byte of m_buffer not yet given
    std::size_t m_filled = 0; // the bytes of m_buffer that hold file bytes
    off_t m_bufferStart = 0;  // where m_buffer[0] stands in the file
    off_t m_recordEnd = 0;
    bool m_atEnd = false;
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
    // What a journal is written as: its header line, and the lines of records appended to text.
    static void AppendHeader(WipingString& text, const FileIdentity& base, std::string_view admin,
                             std::string_view adminPassword);
    static void AppendRecord(WipingString& text, JournalChange change, std::size_t row, const AccountEntry& entry);

    // Writes a journal for the book at bookPath: the header, binding it to the book's file as
    // loaded (base) and the administrator and password it had then; then, when the book is given,
    // its rows in full (as a snapshot) and its administrator password where that changed since. The
    // journal is written whole and synced before it takes its name, so no kill leaves a part of it.
    // A journal already at the name is replaced only when replace is set (the session's own);
    // otherwise it is kept and the start fails. False, with the system's reason, when it cannot be made.
    bool Start(const std::string& bookPath, const FileIdentity& base, std::string_view admin,
               std::string_view basePassword, const AccountBook* book, bool replace, std::string* reason);
    // Goes on with a journal read at login, after its last record that was applied; whatever follows
    // (a torn record) is cut off.
    bool Resume(const std::string& bookPath, off_t end, std::string* reason);
    // Adds one change and makes it durable before returning. False, with the reason, when it could
    // not be written; the journal then holds the changes before it, never a part of this one, and
    // takes no later change until it is started again.
    bool Append(JournalChange change, std::size_t row, const AccountEntry& entry, std::string* reason);
    // Adds rows appended in one step, from firstRow on, durably and as one change.
    bool AppendBatch(std::size_t firstRow, const AccountEntries& rows, std::string* reason);
    // Adds records written as they are, durably and in one write; a group among them (a batch or a
    // removal) is one change.
    bool AppendRecords(const JournalRecords& records, std::string* reason);
    bool Active() const { return m_fd >= 0 && m_failure.empty(); }
    // Seals every journal started or resumed from now on with the seal (null: plain), as the book
    // it serves is sealed or not.
    void SetSeal(JournalSeal* seal) { m_seal = seal; }
    // How long the journal is.
    off_t Size() const { return m_end; }
    // Lets the journal go; the file stays for the next login.
    void Close();
    // Removes the journal of the book at bookPath and the book's second name, durably.
    static void RemoveFor(const std::string& bookPath);

private:
    bool Open(const std::string& bookPath, std::string* reason);
    bool WriteDurably(std::string_view text, std::string* reason);
    // The plain journal text as it goes to the file: sealed line by line for a sealed book.
    void SealText(std::string_view text, WipingString& out, std::uint64_t& lines) const;

    JournalSeal* m_seal = nullptr;
    std::uint64_t m_sealedLines = 0; // sealed lines the journal holds after its first
    // Gives the book's file as loaded its second name, unless that name already leads to it.
    static void KeepBase(const std::string& bookPath, const FileIdentity& base);

    int m_fd = -1;
    off_t m_end = 0;           // the end of the last whole record
    std::string m_failure;     // why a change could not be written; every later one is refused with it
    std::string m_path;        // the journal's name
    bool m_nameDurable = true; // its folder was synced since it took that name
};
