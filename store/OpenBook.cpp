#include "OpenBook.h"

#include "AccountFile.h"
#include "AccountName.h"

#include <cstdio>

OpenBook g_OpenBook(g_AccountBook);

namespace {
// A journal that cannot be read or applied is moved to the book's file name, this marker and the time.
constexpr char kSetAsideMarker[] = ".journal-set-aside-";
} // namespace

std::string OpenBook::PathOf(const std::string& folder, std::string_view account) {
    const std::string name(account);
    if (!IsValidAccountName(name) || IsReservedAccountName(name))
        return {};
    return AccountFilePath(folder, name);
}

bool OpenBook::Exists(const std::string& folder, std::string_view account) {
    const std::string path = PathOf(folder, account);
    return !path.empty() && (AccountFileReadable(path) || DirectoryEntryExists(BookJournal::PathFor(path)));
}

OpenOutcome OpenBook::Refuse(OpenOutcome outcome) {
    m_book.Clear();
    Close();
    return outcome;
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
    const std::string journalPath = BookJournal::PathFor(path);
    JournalContents journal;
    JournalReadOutcome read = JournalReadOutcome::Absent;
    if (m_file.OnDisk().exists) {
        if (!LoadAccountBook(m_book, path, codec))
            return Refuse(OpenOutcome::NotABook);
    } else {
        // A book that was never saved lives in its journal alone, with its administrator.
        read = BookJournal::Read(journalPath, journal);
        if (read != JournalReadOutcome::Read)
            return Refuse(OpenOutcome::NotABook);
        CopyFieldText(m_book.szAdminAccount, FieldText(journal.admin));
        CopyFieldText(m_book.szAdminPassword, FieldText(journal.adminPassword));
    }
    // The journal of a saved book is read only once the password matched: it is another person's
    // until then.
    if (account != FieldText(m_book.szAdminAccount) || password != FieldText(m_book.szAdminPassword))
        return Refuse(OpenOutcome::WrongPassword);
    if (m_file.OnDisk().exists)
        read = BookJournal::Read(journalPath, journal);
    if (read == JournalReadOutcome::Unreadable)
        SetJournalAside();
    else if (read == JournalReadOutcome::Read)
        Recover(journal, codec);
    return OpenOutcome::Opened;
}

void OpenBook::Recover(const JournalContents& journal, const CBase64& codec) {
    if (!(journal.base == m_file.OnDisk())) {
        KeepSessionBeside(journal, codec);
        return;
    }
    const std::size_t applied = BookJournal::Apply(journal, m_book.vecEntries);
    // A session that changed nothing of a saved book has nothing to bring back.
    if (applied == 0 && journal.base.exists) {
        BookJournal::RemoveFor(m_file.Path());
        return;
    }
    m_recovery.recovered = true;
    m_recovery.changesRecovered = applied;
    const off_t end = applied == 0 ? journal.headerEnd : journal.records[applied - 1].end;
    // Should the journal not open again, the next change starts a new one, or says why it cannot.
    m_journal.Resume(m_file.Path(), end, nullptr);
}

// The journal was written against another file than the one there now: the session is rebuilt on
// the file it was written against, kept by its second name, and saved beside the book.
void OpenBook::KeepSessionBeside(const JournalContents& journal, const CBase64& codec) {
    AccountBook session;
    const std::string basePath = BookJournal::BasePathFor(m_file.Path());
    FileIdentity base;
    if (journal.base.exists &&
        !(IdentifyFile(basePath, base) && base == journal.base && LoadAccountBook(session, basePath, codec))) {
        m_recovery.failure = "The book it was written against is gone.";
        SetJournalAside();
        return;
    }
    if (!journal.base.exists) {
        CopyFieldText(session.szAdminAccount, FieldText(journal.admin));
        CopyFieldText(session.szAdminPassword, FieldText(journal.adminPassword));
    }
    const std::size_t applied = BookJournal::Apply(journal, session.vecEntries);
    // A run ended between its save and the journal's removal: the book is the session already.
    if (SameEntryTexts(session.vecEntries, m_book.vecEntries)) {
        BookJournal::RemoveFor(m_file.Path());
        return;
    }
    m_recovery.changesRecovered = applied;
    const BookSaveResult kept = m_file.SaveBeside(session, codec);
    if (kept.outcome != BookSaveOutcome::KeptBeside) {
        m_recovery.failure = kept.reason.empty() ? "It could not be saved." : kept.reason;
        m_recovery.changesRecovered = 0;
        SetJournalAside();
        return;
    }
    m_recovery.keptPath = kept.keptPath;
    BookJournal::RemoveFor(m_file.Path());
}

// Never deleted: moved out of the way, with the book's second name, so that a person can still
// bring it back by renaming.
void OpenBook::SetJournalAside() {
    const std::string aside = m_file.StampedPath(kSetAsideMarker);
    const std::string journal = BookJournal::PathFor(m_file.Path());
    // Where it cannot be moved, it stays where it is, and the user is told that name.
    if (aside.empty() || std::rename(journal.c_str(), aside.c_str()) != 0) {
        m_recovery.setAsidePath = journal;
        return;
    }
    m_recovery.setAsidePath = aside;
    std::rename(BookJournal::BasePathFor(m_file.Path()).c_str(), (aside + "-base").c_str());
}

CreateOutcome OpenBook::Create(const std::string& folder, const std::string& account, const std::string& password) {
    m_recovery = {};
    const std::string path = PathOf(folder, account);
    const auto taken = [&] { return DirectoryEntryExists(path) || DirectoryEntryExists(BookJournal::PathFor(path)); };
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
    CopyFieldText(m_book.szAdminAccount, account);
    CopyFieldText(m_book.szAdminPassword, password);
    // From now on the new book lives in its journal until it is saved. Should the journal not be
    // made now, the first change tries again and says why it cannot.
    m_journal.Start(path, m_file.OnDisk(), m_book, nullptr);
    return CreateOutcome::Created;
}

bool OpenBook::Record(JournalChange change, std::size_t row, const AccountEntry& entry, std::string* reason) {
    if (!IsOpen())
        return true;
    if (!m_journal.Active() && !m_journal.Start(m_file.Path(), m_file.OnDisk(), m_book, reason))
        return false;
    return m_journal.Append(change, row, entry, reason);
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
    const BookSaveResult result = m_file.Save(m_book, codec);
    if (result.outcome != BookSaveOutcome::Failed) {
        m_journal.Close();
        BookJournal::RemoveFor(path);
    }
    return result;
}

void OpenBook::Close() {
    m_journal.Close();
    m_file.Release();
}
