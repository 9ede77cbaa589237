#include "OpenBook.h"

#include "AccountFile.h"
#include "AccountName.h"
#include "SealCopies.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

OpenBook g_OpenBook(g_AccountBook);

namespace {
// A journal that cannot be read or applied is moved to the book's file name, this marker and the time.
constexpr char kSetAsideMarker[] = ".journal-set-aside-";
// A journal is written anew from the rows once it is longer than this, or than twice what it was
// when last written so, whichever is more: the next login then reads the rows, not the whole session.
constexpr off_t kCompactFloorBytes = off_t(8) << 20;
off_t g_compactFloor = kCompactFloorBytes;

constexpr char kDamaged[] = "Its journal is damaged from that point on.";
constexpr char kUnfit[] = "Its journal does not fit the book from that point on.";
constexpr char kUnreadable[] = "Its journal cannot be read.";
constexpr char kAnotherBook[] = "Its journal belongs to another book.";
constexpr char kBaseGone[] = "The book it was written against is gone.";
constexpr char kSealedForAnother[] = "Its journal is sealed, and the book is not.";

// The journal at path, opened to read; Absent or Empty when it holds nothing.
JournalReadOutcome OpenJournal(const std::string& bookPath, JournalReader& reader, JournalHeader& header,
                               JournalSeal* seal = nullptr) {
    return reader.Open(BookJournal::PathFor(bookPath), header, seal);
}

// Whether the journal of the book at bookPath holds a session: it has a whole header, or is there
// without being a file the program can read (which it never deletes).
bool HoldsSession(const std::string& bookPath) {
    JournalReader reader;
    JournalHeader header;
    const JournalReadOutcome read = OpenJournal(bookPath, reader, header);
    return read == JournalReadOutcome::Read || read == JournalReadOutcome::Unreadable ||
           read == JournalReadOutcome::Sealed;
}

// The base of a journal, read as a book, when it is still the file the journal was written against.
bool LoadBase(const std::string& bookPath, const FileIdentity& expected, AccountBook& base, const CBase64& codec,
              const BookKey* key) {
    const std::string path = BookJournal::BasePathFor(bookPath);
    struct stat info {};
    FileIdentity named;
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
           IdentifyFile(path, named) && named == expected && LoadAccountBook(base, path, codec, key);
}

OpenOutcome FromBookRead(BookRead read) {
    switch (read) {
    case BookRead::Read:
        return OpenOutcome::Opened;
    case BookRead::WrongPassword:
        return OpenOutcome::WrongPassword;
    case BookRead::Damaged:
        return OpenOutcome::Damaged;
    case BookRead::TooCostly:
        return OpenOutcome::TooCostly;
    case BookRead::NewerFormat:
        return OpenOutcome::NewerFormat;
    case BookRead::NoMemory:
        return OpenOutcome::NoMemory;
    case BookRead::NotABook:
        break;
    }
    return OpenOutcome::NotABook;
}

} // namespace

std::string OpenBook::PathOf(const std::string& folder, std::string_view account) {
    const std::string name(account);
    if (!IsValidAccountName(name) || IsReservedAccountName(name))
        return {};
    return AccountFilePath(folder, name);
}

bool OpenBook::Exists(const std::string& folder, std::string_view account) {
    const std::string path = PathOf(folder, account);
    return !path.empty() && (AccountFileReadable(path) || HoldsSession(path));
}

OpenOutcome OpenBook::Refuse(OpenOutcome outcome) {
    m_book.Clear();
    Close();
    return outcome;
}

bool OpenBook::BelongsToBook(const JournalHeader& header) const {
    return header.base == m_file.OnDisk() && FieldText(header.admin) == FieldText(m_book.szAdminAccount) &&
           FieldText(header.adminPassword) == FieldText(m_book.szAdminPassword);
}

OpenOutcome OpenBook::Open(const std::string& folder, const std::string& account, const std::string& password,
                           const CBase64& codec) {
    m_recovery = {};
    const std::string path = PathOf(folder, account);
    if (!Exists(folder, account))
        return OpenOutcome::NoSuchBook;
    Close();
    // One copy of the program at a time may hold a book open; nothing is read while another does.
    if (!m_file.ClaimExisting(path))
        return m_file.LockUnavailable() ? OpenOutcome::CannotLock : OpenOutcome::InUse;
    m_book.Clear();
    const bool savedBook = m_file.OnDisk().exists;
    if (savedBook) {
        // A sealed book is opened by the password itself; a plain one is checked against it below.
        std::unique_ptr<BookKey> key;
        const OpenOutcome read = FromBookRead(ReadAccountBook(m_book, path, codec, password, key));
        if (read != OpenOutcome::Opened)
            return Refuse(read);
        UseKey(std::move(key));
    }
    JournalReader reader;
    JournalHeader header;
    const JournalReadOutcome read = OpenJournal(path, reader, header, m_seal.get());
    if (!savedBook) {
        // A book that was never saved lives in its journal alone, with its administrator.
        if (read != JournalReadOutcome::Read)
            return Refuse(OpenOutcome::NotABook);
        CopyFieldText(m_book.szAdminAccount, FieldText(header.admin));
        CopyFieldText(m_book.szAdminPassword, FieldText(header.adminPassword));
    }
    if (account != FieldText(m_book.szAdminAccount))
        return Refuse(OpenOutcome::WrongPassword);
    CopyFieldText(m_basePassword, FieldText(m_book.szAdminPassword));
    // The session is brought back before the password is checked, since it may have changed the
    // password: the one it set opens the book, and the one it replaced no longer does. Nothing on
    // disk changes until the password matched.
    const bool belongs = read == JournalReadOutcome::Read && BelongsToBook(header);
    const ReplayResult replay = belongs ? ReplayJournal(reader, m_book) : ReplayResult{};
    if (password != FieldText(m_book.szAdminPassword))
        return Refuse(OpenOutcome::WrongPassword);
    m_compactAt = g_compactFloor;
    if (belongs)
        Recover(reader, replay, savedBook);
    else if (read == JournalReadOutcome::Read && !(header.base == m_file.OnDisk()))
        KeepSessionBeside(reader, header, account, codec);
    else if (read == JournalReadOutcome::Read || read == JournalReadOutcome::OtherKey)
        SetJournalAside(kAnotherBook);
    else if (read == JournalReadOutcome::Sealed)
        SetJournalAside(kSealedForAnother);
    else if (read == JournalReadOutcome::Unreadable)
        SetJournalAside(kUnreadable);
    else if (read == JournalReadOutcome::Empty || DirectoryEntryExists(BookJournal::BasePathFor(path)))
        // A journal whose start never finished holds no change, nor does a base without a journal.
        BookJournal::RemoveFor(path);
    return OpenOutcome::Opened;
}

void OpenBook::Recover(const JournalReader& reader, const ReplayResult& replay, bool savedBook) {
    m_recovery.changesRecovered = replay.applied;
    // A book never saved is still only in its journal: it is saved at Exit, changed or not.
    m_recovery.recovered = replay.applied > 0 || !savedBook;
    if (replay.stop == JournalStep::Damaged) {
        // Nothing after the damage can be trusted, nor is anything of it cut: the journal is kept
        // whole, and what came back goes to a journal of its own.
        m_recovery.changesNotRecovered = replay.notApplied;
        SetJournalAside(replay.unfit ? kUnfit : kDamaged);
        if (m_recovery.recovered)
            m_inStep = StartJournal(true, nullptr, nullptr);
        return;
    }
    if (!m_recovery.recovered) {
        // A session that changed nothing of a saved book has nothing to bring back.
        BookJournal::RemoveFor(m_file.Path());
        return;
    }
    m_ownsJournal = true;
    // A journal left plain by a session that sealed its book (or the reverse) is written anew, as
    // the book now is.
    if (reader.Sealed() != IsSealed()) {
        m_inStep = StartJournal(true, nullptr, nullptr);
        return;
    }
    // A torn last record is a command that never returned: it is cut off. Should the journal not
    // open again, the next change writes it anew from the rows.
    m_inStep = m_journal.Resume(m_file.Path(), replay.end, nullptr);
    m_compactAt = std::max(g_compactFloor, 2 * reader.RecordEnd());
}

// The journal was written against another file than the one there now: the session is rebuilt on
// the file it was written against, kept by its second name, and saved beside the book.
void OpenBook::KeepSessionBeside(JournalReader& reader, const JournalHeader& header, const std::string& account,
                                 const CBase64& codec) {
    AccountBook session;
    if (header.base.exists && !LoadBase(m_file.Path(), header.base, session, codec, m_key.get())) {
        SetJournalAside(kBaseGone);
        return;
    }
    if (!header.base.exists) {
        CopyFieldText(session.szAdminAccount, FieldText(header.admin));
        CopyFieldText(session.szAdminPassword, FieldText(header.adminPassword));
    }
    if (FieldText(session.szAdminAccount) != account || FieldText(header.admin) != account ||
        FieldText(header.adminPassword) != FieldText(session.szAdminPassword)) {
        SetJournalAside(kAnotherBook);
        return;
    }
    const ReplayResult replay = ReplayJournal(reader, session);
    if (replay.stop == JournalStep::Damaged) {
        SetJournalAside(replay.unfit ? kUnfit : kDamaged);
        return;
    }
    // A run ended between its save and the journal's removal: the book is the session already, its
    // administrator password included.
    if (SameEntryTexts(session.vecEntries, m_book.vecEntries) &&
        FieldText(session.szAdminPassword) == FieldText(m_book.szAdminPassword)) {
        BookJournal::RemoveFor(m_file.Path());
        return;
    }
    const BookSaveResult kept = m_file.SaveBeside(session, codec, m_key.get());
    if (kept.outcome != BookSaveOutcome::KeptBeside) {
        m_recovery.failure = kept.reason.empty() ? "It could not be saved." : kept.reason;
        SetJournalAside(nullptr);
        return;
    }
    m_recovery.changesRecovered = replay.applied;
    m_recovery.keptPath = kept.keptPath;
    BookJournal::RemoveFor(m_file.Path());
}

// Never deleted: moved out of the way, with the book's second name, so that a person can still
// bring it back by renaming.
void OpenBook::SetJournalAside(const char* why) {
    if (why)
        m_recovery.failure = why;
    const std::string aside = m_file.StampedPath(kSetAsideMarker);
    const std::string journal = BookJournal::PathFor(m_file.Path());
    // Where it cannot be moved, it stays where it is, and the user is told that name.
    if (aside.empty() || !FileOperationAllowed(FileOperation::Rename) ||
        std::rename(journal.c_str(), aside.c_str()) != 0) {
        m_recovery.setAsidePath = journal;
        return;
    }
    m_recovery.setAsidePath = aside;
    if (FileOperationAllowed(FileOperation::Rename))
        std::rename(BookJournal::BasePathFor(m_file.Path()).c_str(), (aside + "-base").c_str());
    SyncFolderOf(journal);
}

CreateOutcome OpenBook::Create(const std::string& folder, const std::string& account, const std::string& password) {
    m_recovery = {};
    const std::string path = PathOf(folder, account);
    const auto taken = [&] { return DirectoryEntryExists(path) || HoldsSession(path); };
    if (path.empty() || taken())
        return CreateOutcome::Taken;
    Close();
    // The lock reserves the name: no other copy of the program can create this book meanwhile.
    if (!m_file.ClaimNew(path))
        return m_file.LockUnavailable() ? CreateOutcome::CannotLock : CreateOutcome::Taken;
    if (taken()) {
        Close();
        return CreateOutcome::Taken;
    }
    // A journal whose start never finished holds nothing, and must not keep the name from a new book.
    BookJournal::RemoveFor(path);
    CopyFieldText(m_book.szAdminAccount, account);
    CopyFieldText(m_book.szAdminPassword, password);
    CopyFieldText(m_basePassword, password);
    m_compactAt = g_compactFloor;
    // From now on the new book lives in its journal until it is saved. Should the journal not be
    // made now, the first change tries again from the rows, and says why it cannot.
    m_inStep = StartJournal(false, nullptr, nullptr);
    return CreateOutcome::Created;
}

bool OpenBook::StartJournal(bool withRows, const RowSource& rows, std::string* reason) {
    if (withRows && rows)
        rows(m_book.vecEntries);
    const bool started =
        m_journal.Start(m_file.Path(), m_file.OnDisk(), FieldText(m_book.szAdminAccount), FieldText(m_basePassword),
                        withRows ? &m_book : nullptr, m_ownsJournal, reason);
    m_ownsJournal = m_ownsJournal || started;
    return started;
}

bool OpenBook::Journal(const std::function<bool(std::string*)>& append, const RowSource& rows, std::string* reason) {
    if (!IsOpen())
        return true;
    // A journal that missed a change no longer describes the rows: only the rows in full bring it
    // back in step (they hold this change already).
    const bool recorded = m_inStep ? (m_journal.Active() || StartJournal(false, nullptr, reason)) && append(reason)
                                   : StartJournal(true, rows, reason);
    m_inStep = recorded;
    if (!recorded) {
        ++m_unjournaled;
        return false;
    }
    m_unjournaled = 0;
    if (m_journal.Size() > m_compactAt)
        CompactJournal(rows);
    return true;
}

void OpenBook::CompactJournal(const RowSource& rows) {
    // Should it fail, the journal as it is still holds the session; it is tried again once it has
    // grown as much again.
    if (StartJournal(true, rows, nullptr))
        m_compactAt = std::max(g_compactFloor, 2 * m_journal.Size());
    else
        m_compactAt *= 2;
}

bool OpenBook::Record(JournalChange change, std::size_t row, const AccountEntry& entry, const RowSource& rows,
                      std::string* reason) {
    return Journal([&](std::string* why) { return m_journal.Append(change, row, entry, why); }, rows, reason);
}

bool OpenBook::RecordBatch(std::size_t firstRow, const AccountEntries& added, const RowSource& rows,
                           std::string* reason) {
    return Journal([&](std::string* why) { return m_journal.AppendBatch(firstRow, added, why); }, rows, reason);
}

bool OpenBook::RecordStep(const JournalRecords& records, const RowSource& rows, std::string* reason) {
    // A sealed book takes another password only by being sealed anew under it.
    if (IsSealed() && records.size() == 1 && records.front().change == JournalChange::AdminPassword)
        return ChangeAdminPassword(FieldText(records.front().entry.szPassword), rows, reason);
    for (const JournalRecord& record : records)
        if (record.change == JournalChange::AdminPassword)
            CopyFieldText(m_book.szAdminPassword, FieldText(record.entry.szPassword));
    return Journal([&](std::string* why) { return m_journal.AppendRecords(records, why); }, rows, reason);
}

bool OpenBook::ChangeAdminPassword(std::string_view password, const RowSource& rows, std::string* reason) {
    CopyFieldText(m_book.szAdminPassword, password);
    // A sealed book is sealed anew at once, under a key of the new password with a new salt: a
    // journal under the old key could not bring the new password back, since only the new one
    // opens the book once it is written.
    if (IsSealed()) {
        std::unique_ptr<BookKey> key = BookKey::DeriveNew(password);
        if (!key) {
            if (reason)
                *reason = "There is not enough memory to make the book's key.";
            return false;
        }
        if (Rewrite(key, rows, CBase64(), reason))
            return true;
        // Until Exit: the file and its journal stay under the old key, which the old password opens
        // after a kill; the save at Exit seals the book under the new one.
        m_keyAtExit = std::move(key);
        return false;
    }
    AccountEntry change;
    CopyFieldText(change.szPassword, password);
    const bool recorded = Journal(
        [&](std::string* why) { return m_journal.Append(JournalChange::AdminPassword, 0, change, why); }, rows, reason);
    WipeBytes(&change, sizeof change);
    return recorded;
}

BookSaveResult OpenBook::Save(const std::string& folder, std::string_view account, const CBase64& codec) {
    const std::string path = PathOf(folder, account);
    if (path.empty())
        return {};
    if (!m_file.Holds(path)) {
        Close();
        if (!m_file.ClaimUnread(path))
            return {};
    }
    const BookSaveResult result = m_file.Save(m_book, codec, m_keyAtExit ? m_keyAtExit.get() : m_key.get());
    if (result.outcome == BookSaveOutcome::Failed)
        return result;
    if (m_keyAtExit)
        UseKey(std::move(m_keyAtExit));
    AfterSave();
    return result;
}

void OpenBook::AfterSave() {
    // The file holds the session now; a journal would start against it.
    CopyFieldText(m_basePassword, FieldText(m_book.szAdminPassword));
    if (m_ownsJournal) {
        m_journal.Close();
        BookJournal::RemoveFor(m_file.Path());
        m_ownsJournal = false;
    }
}

void OpenBook::UseKey(std::unique_ptr<BookKey> key) {
    m_journal.SetSeal(nullptr);
    m_seal.reset();
    m_key = std::move(key);
    if (m_key)
        m_seal = std::make_unique<JournalSeal>(*m_key);
    m_journal.SetSeal(m_seal.get());
}

bool OpenBook::Seal(const RowSource& rows, const CBase64& codec, std::string* reason) {
    std::unique_ptr<BookKey> key = BookKey::DeriveNew(FieldText(m_book.szAdminPassword));
    if (!key) {
        if (reason)
            *reason = "There is not enough memory to make the book's key.";
        return false;
    }
    return Rewrite(key, rows, codec, reason);
}

bool OpenBook::Unseal(const RowSource& rows, const CBase64& codec, std::string* reason) {
    std::unique_ptr<BookKey> plain;
    return Rewrite(plain, rows, codec, reason);
}

// The book is written whole under the new key before anything else changes: a kill at any point
// leaves a book that opens with its password, plain or sealed. The copies beside it follow.
bool OpenBook::Rewrite(std::unique_ptr<BookKey>& key, const RowSource& rows, const CBase64& codec,
                       std::string* reason) {
    m_copiesLeft = 0;
    if (!IsOpen())
        return false;
    if (rows)
        rows(m_book.vecEntries);
    const BookSaveResult saved = m_file.Save(m_book, codec, key.get());
    if (saved.outcome != BookSaveOutcome::Saved) {
        if (saved.outcome == BookSaveOutcome::KeptBeside)
            ::unlink(saved.keptPath.c_str());
        if (reason)
            *reason = saved.outcome == BookSaveOutcome::KeptBeside
                          ? "The book's file was changed by another program meanwhile; it was left as it is."
                          : saved.reason;
        return false;
    }
    std::unique_ptr<BookKey> previous = std::move(m_key);
    UseKey(std::move(key));
    m_keyAtExit.reset();
    AfterSave();
    m_inStep = true;
    m_unjournaled = 0;
    m_copiesLeft =
        RewriteCopies(m_file.CopiesBeside(), previous.get(), m_key.get(), FieldText(m_book.szAdminPassword), codec);
    // A journal of the session, or its base, that could not be removed is a copy left as it was.
    for (const std::string& left : {BookJournal::PathFor(m_file.Path()), BookJournal::BasePathFor(m_file.Path())})
        m_copiesLeft += DirectoryEntryExists(left) ? 1 : 0;
    return true;
}

void OpenBook::Close() {
    m_journal.Close();
    UseKey(nullptr);
    m_keyAtExit.reset();
    m_file.Release();
    m_ownsJournal = false;
    m_inStep = true;
    m_unjournaled = 0;
    WipeBytes(m_basePassword, sizeof m_basePassword);
}

namespace open_book_test {

void SetCompactFloor(off_t bytes) {
    g_compactFloor = bytes > 0 ? bytes : kCompactFloorBytes;
}

} // namespace open_book_test
