// A session that ended without its save, as the next login finds what its journal left: damaged in
// different ways, against a book that changed, or opened with the wrong password.
#include "AccountFile.h"
#include "OpenBook.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using store_test::ReadWholeFile;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

AccountEntry Entry(const std::string& account) {
    AccountEntry entry;
    CopyFieldText(entry.szAccount, account);
    CopyFieldText(entry.szPassword, "pw-" + account);
    return entry;
}

std::vector<std::string> Accounts(const AccountBook& book) {
    std::vector<std::string> accounts;
    for (const AccountEntry& entry : book.vecEntries)
        accounts.emplace_back(FieldText(entry.szAccount));
    return accounts;
}

struct DamageCase {
    const char* label;
    std::function<void(const std::string& book, const std::string& journal)> damage;
    const char* password;
    OpenOutcome outcome;
    std::vector<std::string> opened;     // the book's entries after the login
    std::size_t changesRecovered;        // brought back into the book
    bool journalStays;                   // the journal is left as it was, for a later login
    std::vector<std::string> keptBeside; // the session saved beside the book, when it changed
    bool setAside;
};

void PrintTo(const DamageCase& c, std::ostream* out) {
    *out << c.label;
}

void Untouched(const std::string&, const std::string&) {}

void TearLastRecord(const std::string&, const std::string& journal) {
    fs::resize_file(journal, fs::file_size(journal) - 3);
}

void FlipByte(const std::string& journal, std::size_t at) {
    std::string bytes = ReadWholeFile(journal);
    bytes[at] ^= 1;
    WriteWholeFile(journal, bytes);
}

void DamageHeader(const std::string&, const std::string& journal) {
    FlipByte(journal, 3);
}

// A bit gone wrong in the last record, its line break still there: "D 1" reads "D 0".
void DamageLastRecord(const std::string&, const std::string& journal) {
    FlipByte(journal, fs::file_size(journal) - 14);
}

void ReplaceBookWith(const std::string& book, const std::vector<std::string>& accounts) {
    AccountBook other;
    CopyFieldText(other.szAdminAccount, "alice");
    CopyFieldText(other.szAdminPassword, "pw");
    for (const std::string& account : accounts)
        other.vecEntries.push_back(Entry(account));
    ASSERT_TRUE(SaveAccountBook(other, book + ".new", CBase64()));
    fs::rename(book + ".new", book);
}

// Another program (a sync tool) replaces the book with a file of its own.
void ReplaceBook(const std::string& book, const std::string&) {
    ReplaceBookWith(book, {"x"});
}

// The run was killed after its save had replaced the book, before the journal was removed.
void SaveSession(const std::string& book, const std::string&) {
    ReplaceBookWith(book, {"A", "c", "d"});
}

// The session below inserts c and d, updates a to A and deletes b: "A c d".
const DamageCase kDamageCases[] = {
    {"whole", Untouched, "pw", OpenOutcome::Opened, {"A", "c", "d"}, 4, true, {}, false},
    {"torn last record", TearLastRecord, "pw", OpenOutcome::Opened, {"A", "b", "c", "d"}, 3, false, {}, false},
    {"damaged last record", DamageLastRecord, "pw", OpenOutcome::Opened, {"A", "b", "c", "d"}, 3, false, {}, false},
    {"damaged header", DamageHeader, "pw", OpenOutcome::Opened, {"a", "b"}, 0, false, {}, true},
    {"book changed on disk", ReplaceBook, "pw", OpenOutcome::Opened, {"x"}, 4, false, {"A", "c", "d"}, false},
    {"saved before the journal went", SaveSession, "pw", OpenOutcome::Opened, {"A", "c", "d"}, 0, false, {}, false},
    {"wrong password", Untouched, "PW", OpenOutcome::WrongPassword, {}, 0, true, {}, false},
};

class SessionJournal : public testing::TestWithParam<DamageCase> {};

TEST_P(SessionJournal, TheNextLoginFindsWhatTheJournalHolds) {
    const DamageCase& c = GetParam();
    const ScratchFolder folder;
    const std::string book = folder / "alice.xml";
    const std::string journal = BookJournal::PathFor(book);
    {
        AccountBook saved;
        CopyFieldText(saved.szAdminAccount, "alice");
        CopyFieldText(saved.szAdminPassword, "pw");
        saved.vecEntries = {Entry("a"), Entry("b")};
        ASSERT_TRUE(SaveAccountBook(saved, book, CBase64()));
        // The session ends without its save, as a killed process does.
        AccountBook session;
        OpenBook open(session);
        ASSERT_EQ(open.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
        std::string reason;
        EXPECT_TRUE(open.Record(JournalChange::Insert, 2, Entry("c"), &reason)) << reason;
        EXPECT_TRUE(open.Record(JournalChange::Update, 0, Entry("A"), &reason));
        EXPECT_TRUE(open.Record(JournalChange::Insert, 3, Entry("d"), &reason));
        EXPECT_TRUE(open.Record(JournalChange::Delete, 1, AccountEntry{}, &reason));
    }
    struct stat journalMode {};
    ASSERT_EQ(::stat(journal.c_str(), &journalMode), 0);
    EXPECT_EQ(journalMode.st_mode & 0777, 0600u);
    c.damage(book, journal);
    const std::string journalBefore = ReadWholeFile(journal);

    AccountBook next;
    OpenBook open(next);
    EXPECT_EQ(open.Open(folder.Path(), "alice", c.password, CBase64()), c.outcome);
    EXPECT_EQ(Accounts(next), c.opened);
    EXPECT_EQ(open.Recovery().recovered, c.changesRecovered > 0 && c.keptBeside.empty());
    EXPECT_EQ(open.Recovery().changesRecovered, c.changesRecovered);
    EXPECT_EQ(fs::exists(journal) && ReadWholeFile(journal) == journalBefore, c.journalStays);
    EXPECT_EQ(open.Recovery().setAsidePath.empty(), !c.setAside);
    if (c.setAside) {
        EXPECT_EQ(ReadWholeFile(open.Recovery().setAsidePath), journalBefore) << "never deleted";
    }
    AccountBook kept;
    EXPECT_EQ(!open.Recovery().keptPath.empty() && LoadAccountBook(kept, open.Recovery().keptPath, CBase64()),
              !c.keptBeside.empty());
    EXPECT_EQ(Accounts(kept), c.keptBeside);
    if (c.outcome != OpenOutcome::Opened)
        return;
    // The recovered session is saved at Exit, and the journal goes with the save.
    ASSERT_EQ(open.Save(folder.Path(), "alice", CBase64()).outcome, BookSaveOutcome::Saved);
    EXPECT_FALSE(fs::exists(journal));
    AccountBook reread;
    ASSERT_TRUE(LoadAccountBook(reread, book, CBase64()));
    EXPECT_EQ(Accounts(reread), c.opened);
}

// A book that is a link into a synced folder, whose file the sync tool replaces: the session is
// rebuilt on the file the link led to when the session began, and kept beside.
TEST(SessionJournalOfALinkedBook, IsKeptBesideTheFileThatReplacedIt) {
    const ScratchFolder folder;
    const std::string target = folder / "synced-alice.xml";
    ReplaceBookWith(target, {"a"});
    ASSERT_EQ(::symlink(target.c_str(), (folder / "alice.xml").c_str()), 0);
    {
        AccountBook session;
        OpenBook open(session);
        ASSERT_EQ(open.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
        ASSERT_TRUE(open.Record(JournalChange::Insert, 1, Entry("b"), nullptr));
    }
    ReplaceBookWith(target, {"x"});
    AccountBook next;
    OpenBook open(next);
    ASSERT_EQ(open.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
    AccountBook kept;
    ASSERT_TRUE(LoadAccountBook(kept, open.Recovery().keptPath, CBase64())) << open.Recovery().failure;
    EXPECT_EQ(Accounts(kept), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Accounts(next), std::vector<std::string>{"x"});
}

INSTANTIATE_TEST_SUITE_P(Damage, SessionJournal, testing::ValuesIn(kDamageCases),
                         [](const testing::TestParamInfo<DamageCase>& info) {
                             std::string name = info.param.label;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

} // namespace
