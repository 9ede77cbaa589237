// A session that ended without its save, as the next login finds what its journal left: damaged in
// different ways, planted, against a book that changed, or opened with the wrong password.
#include "AccountFile.h"
#include "OpenBook.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using store_test::Accounts;
using store_test::Entry;
using store_test::ReadWholeFile;
using store_test::SaveBook;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

// What is done to the book and its journal between the killed session and the next login.
using Damage = std::function<void(const std::string& book, const std::string& journal)>;

struct Change {
    JournalChange change;
    std::size_t row;
    const char* account; // null for a delete
};

// A session of the administrator's book that makes the changes, then ends without its save as a
// killed process does.
void KilledSession(const std::string& folder, const char* admin, const std::vector<Change>& changes) {
    AccountBook book;
    OpenBook session(book);
    ASSERT_EQ(session.Open(folder, admin, "pw", CBase64()), OpenOutcome::Opened);
    for (const auto& [change, row, account] : changes) {
        std::string reason;
        ASSERT_TRUE(session.Record(change, row, account ? Entry(account) : AccountEntry{}, nullptr, &reason)) << reason;
    }
}

// The journal's lines, each with its line break.
std::vector<std::string> Lines(const std::string& journal) {
    std::vector<std::string> lines;
    const std::string text = ReadWholeFile(journal);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1)
        lines.push_back(text.substr(start, (end = text.find('\n', start)) - start + 1));
    return lines;
}

void WriteLines(const std::string& journal, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line;
    WriteWholeFile(journal, text);
}

// A line planted before the session's n-th record (0: the first).
Damage Plant(std::size_t at, std::string line) {
    return [at, line](const std::string&, const std::string& journal) {
        std::vector<std::string> lines = Lines(journal);
        lines.insert(lines.begin() + std::ptrdiff_t(at + 1), line);
        WriteLines(journal, lines);
    };
}

// A well-sealed record of the entry "z" planted before the session's n-th record.
Damage Plant(std::size_t at, JournalChange change, std::size_t row) {
    WipingString line;
    BookJournal::AppendRecord(line, change, row, Entry("z"));
    return Plant(at, std::string(line.begin(), line.end()));
}

// The header written again for another book's administrator or password, against the same file.
Damage Rebind(const char* admin, const char* password) {
    return [=](const std::string& book, const std::string& journal) {
        std::vector<std::string> lines = Lines(journal);
        FileIdentity base;
        ASSERT_TRUE(IdentifyFile(book, base));
        WipingString header;
        BookJournal::AppendHeader(header, base, admin, password);
        lines[0].assign(header.begin(), header.end());
        WriteLines(journal, lines);
    };
}

// A delete of the second row, sealed as the journal seals a line but numbered "01".
Damage PlantLeadingZero(std::size_t at) {
    WipingString record;
    BookJournal::AppendRecord(record, JournalChange::Delete, 1, AccountEntry{});
    std::string body(record.begin(), record.end() - 10); // without " <checksum>\n"
    body.insert(2, "0");
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char byte : body) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    char seal[16];
    std::snprintf(seal, sizeof seal, " %08x\n", unsigned(crc ^ 0xFFFFFFFFu));
    return Plant(at, body + seal);
}

// The journal moved elsewhere, and a symbolic link to it left at its name.
void LinkToJournal(const std::string&, const std::string& journal) {
    fs::rename(journal, journal + "-moved");
    fs::create_symlink(journal + "-moved", journal);
}

void Untouched(const std::string&, const std::string&) {}

void TearLastRecord(const std::string&, const std::string& journal) {
    fs::resize_file(journal, fs::file_size(journal) - 3);
}

// A bit gone wrong in a record whose line break is still there.
Damage FlipInLine(std::size_t line) {
    return [line](const std::string&, const std::string& journal) {
        std::vector<std::string> lines = Lines(journal);
        lines[line][2] ^= 1;
        WriteLines(journal, lines);
    };
}

// The first record sealed with the second one's checksum.
void BorrowChecksum(const std::string&, const std::string& journal) {
    std::vector<std::string> lines = Lines(journal);
    lines[1].replace(lines[1].size() - 9, 8, lines[2].substr(lines[2].size() - 9, 8));
    WriteLines(journal, lines);
}

// The book replaced by another program's file, or by the session's own save when the run was killed
// before the journal was removed.
Damage SavedAs(std::vector<std::string> accounts) {
    return [accounts](const std::string& book, const std::string&) { SaveBook(book, "alice", accounts); };
}

void EmptyJournal(const std::string&, const std::string& journal) {
    WriteWholeFile(journal, "");
}

void PipeAtJournal(const std::string&, const std::string& journal) {
    fs::remove(journal);
    ASSERT_EQ(::mkfifo(journal.c_str(), 0600), 0);
}

void GiveJournalAway(const std::string&, const std::string& journal) {
    ASSERT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
}

// Another book's journal, with its base, moved beside a book it does not belong to, whose file
// happens to be the one it names.
void ForeignJournal(const std::string& book, const std::string& journal) {
    const std::string bob = fs::path(book).replace_filename("bob.xml");
    SaveBook(bob, "bob", {"b"});
    KilledSession(fs::path(book).parent_path(), "bob", {{JournalChange::Insert, 1, "bobs"}});
    fs::rename(BookJournal::PathFor(bob), journal);
    fs::rename(BookJournal::BasePathFor(bob), BookJournal::BasePathFor(book));
}

enum class Left { Unchanged, Cut, Gone, SetAside };

struct DamageCase {
    const char* label;
    Damage damage;
    std::vector<std::string> opened; // the book's entries after the login
    std::size_t changesRecovered;    // brought back into the book, or kept beside it
    std::size_t changesNotRecovered;
    Left journal;
    std::vector<std::string> keptBeside = {}; // the session saved beside the book, when it changed
    bool needsRoot = false;
    const char* password = "pw";
    OpenOutcome outcome = OpenOutcome::Opened;
};

void PrintTo(const DamageCase& c, std::ostream* out) {
    *out << c.label;
}

const std::string kHugeRowRecord = "D 18446744073709551616 AA== AA== AA== 00000000\n"; // one past 64 bits

// The session below inserts c and d, updates a to A and deletes b: "A c d".
const DamageCase kDamageCases[] = {
    {"whole", Untouched, {"A", "c", "d"}, 4, 0, Left::Unchanged},
    {"torn last record", TearLastRecord, {"A", "b", "c", "d"}, 3, 0, Left::Cut},
    {"damaged last record", FlipInLine(4), {"A", "b", "c", "d"}, 3, 1, Left::SetAside},
    {"damaged record in the middle", FlipInLine(2), {"a", "b", "c"}, 1, 3, Left::SetAside},
    {"first record sealed with another's checksum", BorrowChecksum, {"a", "b"}, 0, 4, Left::SetAside},
    {"update of a row the book lacks first", Plant(0, JournalChange::Update, 99), {"a", "b"}, 0, 5, Left::SetAside},
    {"insert past the end in the middle", Plant(1, JournalChange::Insert, 7), {"a", "b", "c"}, 1, 4, Left::SetAside},
    {"row number past 64 bits", Plant(0, kHugeRowRecord), {"a", "b"}, 0, 5, Left::SetAside},
    {"row number with a leading zero", PlantLeadingZero(0), {"a", "b"}, 0, 5, Left::SetAside},
    {"insert numbered before the last row", Plant(0, JournalChange::Insert, 1), {"a", "b"}, 0, 5, Left::SetAside},
    {"update of the row past the last", Plant(0, JournalChange::Update, 2), {"a", "b"}, 0, 5, Left::SetAside},
    {"delete of the row past the last", Plant(0, JournalChange::Delete, 2), {"a", "b"}, 0, 5, Left::SetAside},
    {"snapshot count that wraps", Plant(0, JournalChange::Snapshot, SIZE_MAX), {"a", "b"}, 0, 5, Left::SetAside},
    {"batch count that wraps", Plant(0, JournalChange::Batch, SIZE_MAX), {"a", "b"}, 0, 5, Left::SetAside},
    {"a link to the user's own journal", LinkToJournal, {"a", "b"}, 0, 0, Left::SetAside},
    {"damaged header", FlipInLine(0), {"a", "b"}, 0, 0, Left::SetAside},
    {"header of another administrator", Rebind("bob", "pw"), {"a", "b"}, 0, 0, Left::SetAside},
    {"header of another password", Rebind("alice", "other"), {"a", "b"}, 0, 0, Left::SetAside},
    {"a pipe at the journal's name", PipeAtJournal, {"a", "b"}, 0, 0, Left::SetAside},
    {"another user's journal", GiveJournalAway, {"a", "b"}, 0, 0, Left::SetAside, {}, true},
    {"another book's journal", ForeignJournal, {"a", "b"}, 0, 0, Left::SetAside},
    {"a start cut short", EmptyJournal, {"a", "b"}, 0, 0, Left::Gone},
    {"book changed on disk", SavedAs({"x"}), {"x"}, 4, 0, Left::Gone, {"A", "c", "d"}},
    {"saved before the journal went", SavedAs({"A", "c", "d"}), {"A", "c", "d"}, 0, 0, Left::Gone},
    {"wrong password", Untouched, {}, 0, 0, Left::Unchanged, {}, false, "PW", OpenOutcome::WrongPassword},
};

class SessionJournal : public testing::TestWithParam<DamageCase> {};

TEST_P(SessionJournal, TheNextLoginFindsWhatTheJournalHolds) {
    const DamageCase& c = GetParam();
    if (c.needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    const ScratchFolder folder;
    const std::string book = folder / "alice.xml";
    const std::string journal = BookJournal::PathFor(book);
    SaveBook(book, "alice", {"a", "b"});
    KilledSession(folder.Path(), "alice",
                  {{JournalChange::Insert, 2, "c"},
                   {JournalChange::Update, 0, "A"},
                   {JournalChange::Insert, 3, "d"},
                   {JournalChange::Delete, 1, nullptr}});
    struct stat journalMode {};
    ASSERT_EQ(::stat(journal.c_str(), &journalMode), 0);
    EXPECT_EQ(journalMode.st_mode & 0777, 0600u);
    c.damage(book, journal);
    const std::string journalBefore = fs::is_regular_file(journal) ? ReadWholeFile(journal) : "";

    AccountBook next;
    OpenBook open(next);
    EXPECT_EQ(open.Open(folder.Path(), "alice", c.password, CBase64()), c.outcome);
    EXPECT_EQ(Accounts(next.vecEntries), c.opened);
    const SessionRecovery& recovery = open.Recovery();
    EXPECT_EQ(recovery.recovered, c.changesRecovered > 0 && c.keptBeside.empty());
    EXPECT_EQ(recovery.changesRecovered, c.changesRecovered);
    EXPECT_EQ(recovery.changesNotRecovered, c.changesNotRecovered);
    switch (c.journal) {
    case Left::Unchanged:
        EXPECT_EQ(ReadWholeFile(journal), journalBefore);
        break;
    case Left::Cut:
        EXPECT_EQ(ReadWholeFile(journal), journalBefore.substr(0, journalBefore.rfind('\n') + 1));
        break;
    case Left::Gone:
        EXPECT_FALSE(fs::exists(journal));
        break;
    case Left::SetAside:
        EXPECT_FALSE(recovery.failure.empty());
        EXPECT_NE(recovery.setAsidePath, journal);
        if (fs::is_regular_file(recovery.setAsidePath)) {
            EXPECT_EQ(ReadWholeFile(recovery.setAsidePath), journalBefore) << "never deleted, never cut";
        }
        EXPECT_TRUE(fs::exists(recovery.setAsidePath + "-base")) << "the book's second name goes with it";
        break;
    }
    EXPECT_EQ(recovery.setAsidePath.empty(), c.journal != Left::SetAside);
    AccountBook kept;
    EXPECT_EQ(!recovery.keptPath.empty() && LoadAccountBook(kept, recovery.keptPath, CBase64()), !c.keptBeside.empty());
    EXPECT_EQ(Accounts(kept.vecEntries), c.keptBeside);
    if (c.outcome != OpenOutcome::Opened)
        return;
    // The recovered session is saved at Exit; the journal and its base go with the save.
    ASSERT_EQ(open.Save(folder.Path(), "alice", CBase64()).outcome, BookSaveOutcome::Saved);
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_FALSE(fs::exists(BookJournal::BasePathFor(book)));
    AccountBook reread;
    ASSERT_TRUE(LoadAccountBook(reread, book, CBase64()));
    EXPECT_EQ(Accounts(reread.vecEntries), c.opened);
}

INSTANTIATE_TEST_SUITE_P(Damage, SessionJournal, testing::ValuesIn(kDamageCases),
                         [](const testing::TestParamInfo<DamageCase>& info) {
                             std::string name = info.param.label;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// A book that is a link into a synced folder, whose file the sync tool replaces: the session is
// rebuilt on the file the link led to when the session began, and kept beside.
TEST(SessionJournalOfALinkedBook, IsKeptBesideTheFileThatReplacedIt) {
    const ScratchFolder folder;
    const std::string target = folder / "synced-alice.xml";
    SaveBook(target, "alice", {"a"});
    ASSERT_EQ(::symlink(target.c_str(), (folder / "alice.xml").c_str()), 0);
    KilledSession(folder.Path(), "alice", {{JournalChange::Insert, 1, "b"}});
    SaveBook(target, "alice", {"x"});
    AccountBook next;
    OpenBook open(next);
    ASSERT_EQ(open.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
    AccountBook kept;
    ASSERT_TRUE(LoadAccountBook(kept, open.Recovery().keptPath, CBase64())) << open.Recovery().failure;
    EXPECT_EQ(Accounts(kept.vecEntries), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Accounts(next.vecEntries), std::vector<std::string>{"x"});
}

// A book that was never saved lives in its journal: a whole header opens it, a start cut short
// holds nothing and keeps no name, and another administrator's journal opens nothing.
TEST(NewBookJournal, IsTheBookUntilItIsSaved) {
    const struct {
        const char* label;
        Damage leave;
        OpenOutcome login;
        CreateOutcome create;
    } cases[] = {
        {"header only", Untouched, OpenOutcome::Opened, CreateOutcome::Taken},
        {"cut short", EmptyJournal, OpenOutcome::NoSuchBook, CreateOutcome::Created},
        {"another administrator's", Rebind("bob", "pw"), OpenOutcome::WrongPassword, CreateOutcome::Taken},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ScratchFolder folder;
        const std::string journal = BookJournal::PathFor(folder / "carol.xml");
        {
            AccountBook created;
            ASSERT_EQ(OpenBook(created).Create(folder.Path(), "carol", "pw"), CreateOutcome::Created);
        }
        c.leave(folder / "carol.xml", journal);
        AccountBook book;
        OpenBook open(book);
        EXPECT_EQ(open.Open(folder.Path(), "carol", "pw", CBase64()), c.login);
        EXPECT_EQ(open.Recovery().recovered, c.login == OpenOutcome::Opened) << "saved at Exit, changed or not";
        open.Close();
        EXPECT_TRUE(fs::exists(journal)) << "a login removes no journal of a book never saved";
        EXPECT_EQ(open.Create(folder.Path(), "carol", "new"), c.create);
        EXPECT_EQ(open.HasJournal(), c.create == CreateOutcome::Created) << "the new book's journal starts";
    }
}

} // namespace
