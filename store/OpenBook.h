// The open book: the one home of everything this run holds of the book it opened or created. The
// book itself (its administrator and entries), its file's path, built once, the lock, the identity
// of the file as loaded, the session journal and the earlier versions kept at each save.
#pragma once

#include "AccountBook.h"
#include "Base64.h"
#include "BookFile.h"
#include "BookJournal.h"

#include <cstddef>
#include <string>
#include <string_view>

enum class OpenOutcome {
    Opened,
    NoSuchBook,    // neither a book nor a journal of one bears the name
    InUse,         // another copy of the program holds the book
    CannotLock,    // no lock can be had in the folder; nothing is opened without one
    NotABook,      // the file is not an account file
    WrongPassword, // nothing of the book is left in memory
};

enum class CreateOutcome {
    Created,
    Taken,      // a book, a journal or anything else bears the name, or it cannot name a book
    CannotLock, // no lock can be had in the folder
};

// What an opening found of a session that did not end with a save.
struct SessionRecovery {
    bool recovered = false;           // the session was brought back into the book, which needs saving
    std::size_t changesRecovered = 0; // how many changes it made
    std::string keptPath;             // the book had changed on disk: the session was kept here instead
    std::string setAsidePath;         // the journal could not be read or applied, and is kept here
    std::string failure;              // the session could not be kept beside a changed book: why
};

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
    bool Record(JournalChange change, std::size_t row, const AccountEntry& entry, std::string* reason);
    // Saves the book to the account's file. A book this run did not open is treated as new, so a
    // file already bearing its name is kept, never replaced. The journal goes once the book is saved.
    BookSaveResult Save(const std::string& folder, std::string_view account, const CBase64& codec);
    // Lets the book's lock and journal go; a journal of a book not saved stays for the next login.
    void Close();

private:
    OpenOutcome Refuse(OpenOutcome outcome);
    // Applies the journal to the book read, or keeps the session beside a book that changed.
    void Recover(const JournalContents& journal, const CBase64& codec);
    void KeepSessionBeside(const JournalContents& journal, const CBase64& codec);
    void SetJournalAside();

    AccountBook& m_book;
    BookFile m_file;
    BookJournal m_journal;
    SessionRecovery m_recovery;
};

// The book this run has opened, held from its login or creation until the run ends.
extern OpenBook g_OpenBook;
