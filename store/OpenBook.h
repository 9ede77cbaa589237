// The open book: the one home of everything this run holds of the book it opened or created. The
// book itself (its administrator and entries), its file's path, built once, the lock, the identity
// of the file as loaded, the session journal and the earlier versions kept at each save.
#pragma once

#include "AccountBook.h"
#include "Base64.h"
#include "BookFile.h"
#include "BookJournal.h"
#include "JournalReplay.h"
#include "SealedBook.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

enum class OpenOutcome {
    Opened,
    NoSuchBook,    // neither a book nor a journal of one bears the name
    InUse,         // another copy of the program holds the book
    CannotLock,    // no lock can be had in the folder; nothing is opened without one
    NotABook,      // the file is not an account file
    WrongPassword, // nothing of the book is left in memory
    Damaged,       // a sealed book whose file was changed, cut or extended: nothing is read, the file stays
    TooCostly,     // a sealed book that asks for more memory or passes than a login may spend
    NewerFormat,   // a book sealed by a later version of the program
    NoMemory,      // the memory a sealed book's key needs cannot be had
};

enum class CreateOutcome {
    Created,
    Taken,      // a book, a journal or anything else bears the name, or it cannot name a book
    CannotLock, // no lock can be had in the folder
};

// What an opening found of a session that did not end with a save.
struct SessionRecovery {
    bool recovered = false;              // the session was brought back into the book, which needs saving
    std::size_t changesRecovered = 0;    // how many changes it made
    std::size_t changesNotRecovered = 0; // records of a damaged journal after those, which could not be
    std::string keptPath;                // the book had changed on disk: the session was kept here instead
    std::string setAsidePath;            // the journal could not be read or applied in full, and is kept here
    std::string failure;                 // why it was set aside, or the session could not be kept beside
};

// Gives the window's rows as they stand, for a journal that must take them in full.
using RowSource = std::function<void(AccountEntries& rows)>;

class OpenBook {
public:
    explicit OpenBook(AccountBook& book) : m_book(book) {}
    OpenBook(const OpenBook&) = delete;
    OpenBook& operator=(const OpenBook&) = delete;

    // The path of an account's book in a folder; empty for a name that cannot name a book (empty,
    // not a name an account file can have, or one of the program's own files) or a path too long.
    static std::string PathOf(const std::string& folder, std::string_view account);
    // Whether the account has a book in the folder to open: its readable file, or the journal of a
    // book that was never saved.
    static bool Exists(const std::string& folder, std::string_view account);

    // Opens the account's book: takes its lock, reads it, checks the password, and brings back a
    // session that did not end with a save. Whatever fails leaves nothing of the book in memory
    // and lets the lock go.
    OpenOutcome Open(const std::string& folder, const std::string& account, const std::string& password,
                     const CBase64& codec);
    // Starts a new, empty book of that name, reserved by its lock until the run ends.
    CreateOutcome Create(const std::string& folder, const std::string& account, const std::string& password);
    // What the last Open found of an unfinished session.
    const SessionRecovery& Recovery() const { return m_recovery; }

    // Whether a book is open.
    bool IsOpen() const { return !m_file.Path().empty(); }
    // Makes one change to the list durable in the journal before the command returns. True as well
    // when no book is open. False, with the system's reason, when the journal cannot be written.
    // The journal must always describe the window's rows: after a change it could not take, the
    // next one starts it again from the rows in full, which rows gives (the book's own entries
    // when rows is empty); so does a journal grown long, to keep the next login short.
    bool Record(JournalChange change, std::size_t row, const AccountEntry& entry, const RowSource& rows,
                std::string* reason);
    // As Record, for rows appended from firstRow on in one step: the journal holds all or none of them.
    bool RecordBatch(std::size_t firstRow, const AccountEntries& added, const RowSource& rows, std::string* reason);
    // As Record, for records that make one step (an undone or redone change), written as they are;
    // an administrator password among them becomes the book's.
    bool RecordStep(const JournalRecords& records, const RowSource& rows, std::string* reason);
    // Gives the book a new administrator password, durable in the journal as Record makes a change.
    // The password changes even when the journal cannot take it; Exit saves it then.
    bool ChangeAdminPassword(std::string_view password, const RowSource& rows, std::string* reason);
    // How many of this session's changes no journal holds, because it could not take them; only the
    // save at Exit keeps them.
    std::size_t UnjournaledChanges() const { return m_unjournaled; }
    // Whether a journal of this session is on disk: it holds the session up to its unjournaled changes.
    bool HasJournal() const { return m_ownsJournal; }
    // Saves the book to the account's file. A book this run did not open is treated as new, so a
    // file already bearing its name is kept, never replaced. The journal goes once the book is saved.
    BookSaveResult Save(const std::string& folder, std::string_view account, const CBase64& codec);
    // Lets the book's lock and journal go; a journal of a book not saved stays for the next login.
    // The key of a sealed book is wiped.
    void Close();

    // Whether the open book is sealed: its file, earlier versions and journal stand only under the
    // key of its administrator password.
    bool IsSealed() const { return m_key != nullptr; }
    // Seals the book at once, with the rows in full, under a new key of its administrator password;
    // then its earlier versions, the books kept beside it and its journals set aside; the journal
    // goes on sealed. False, with the reason, when the book could not be written so: its file
    // stays as it was.
    bool Seal(const RowSource& rows, const CBase64& codec, std::string* reason);
    // The reverse: the book is written plain at once, and every copy beside it that its key opens.
    bool Unseal(const RowSource& rows, const CBase64& codec, std::string* reason);
    // How many copies beside the book the last Seal or Unseal could not rewrite.
    std::size_t CopiesLeftAsTheyWere() const { return m_copiesLeft; }

private:
    OpenOutcome Refuse(OpenOutcome outcome);
    // Whether the journal's header binds it to the book as read: its file, administrator and password.
    bool BelongsToBook(const JournalHeader& header) const;
    // Acts on what the replay of the journal onto the book found.
    void Recover(const JournalReader& reader, const ReplayResult& replay, bool savedBook);
    void KeepSessionBeside(JournalReader& reader, const JournalHeader& header, const std::string& account,
                           const CBase64& codec);
    void SetJournalAside(const char* why);
    // Starts the session's journal: against the book as loaded, or (with the rows) from the rows in full.
    bool StartJournal(bool withRows, const RowSource& rows, std::string* reason);
    // Journals one change through append, keeping the journal in step with the rows.
    bool Journal(const std::function<bool(std::string*)>& append, const RowSource& rows, std::string* reason);
    void CompactJournal(const RowSource& rows);
    // What follows a save: the file holds the session, so a journal of it goes.
    void AfterSave();
    // Writes the book at once under the key (plain when null), which becomes the book's.
    // The key is taken only when the book was written so.
    bool Rewrite(std::unique_ptr<BookKey>& key, const RowSource& rows, const CBase64& codec, std::string* reason);
    void UseKey(std::unique_ptr<BookKey> key);

    AccountBook& m_book;
    BookFile m_file;
    BookJournal m_journal;
    SessionRecovery m_recovery;
    TextField m_basePassword = {}; // the administrator password of the book as loaded or created
    bool m_inStep = true;          // the journal, or with none the book as loaded, describes the rows so far
    bool m_ownsJournal = false;    // the journal at the book's name is this session's own
    std::size_t m_unjournaled = 0; // changes since the journal last described the rows
    off_t m_compactAt = 0;         // the journal's size at which it is written anew from the rows
    std::unique_ptr<BookKey> m_key;      // a sealed book's key; null for a plain book
    std::unique_ptr<JournalSeal> m_seal; // the journal's seal under that key
    std::unique_ptr<BookKey> m_keyAtExit; // a new password's key the book could not be sealed under yet
    std::size_t m_copiesLeft = 0;
};

// The book this run has opened, held from its login or creation until the run ends.
extern OpenBook g_OpenBook;

namespace open_book_test {
// Makes journals be written anew from the rows beyond this size instead of the usual one (0: the usual).
void SetCompactFloor(off_t bytes);
} // namespace open_book_test
