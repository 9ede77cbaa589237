// The journal while a session runs: every change durable before its command returns, in step with
// the window's rows even after the disk failed under it, kept short, and brought back by the next
// login as the rows stood.
#include "AccountFile.h"
#include "JournalReplay.h"
#include "OpenBook.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using store_test::Accounts;
using store_test::Entry;
using store_test::ScratchFolder;

// A session as the window runs it: each change made to the rows first, then journaled.
class Session {
public:
    explicit Session(const ScratchFolder& folder) : m_open(m_book) {
        store_test::SaveBook(folder / "alice.xml", "alice", {"a", "b"});
        EXPECT_EQ(m_open.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
        m_rows = m_book.vecEntries;
    }

    bool Insert(const std::string& account) {
        m_rows.push_back(Entry(account));
        return Journal(JournalChange::Insert, m_rows.size() - 1, Entry(account));
    }
    bool Update(std::size_t row, const std::string& account) {
        m_rows[row] = Entry(account);
        return Journal(JournalChange::Update, row, Entry(account));
    }
    bool Delete(std::size_t row) {
        m_rows.erase(m_rows.begin() + std::ptrdiff_t(row));
        return Journal(JournalChange::Delete, row, AccountEntry{});
    }
    bool Import(const std::vector<std::string>& accounts) {
        AccountEntries added;
        for (const std::string& account : accounts)
            added.push_back(Entry(account));
        const std::size_t first = m_rows.size();
        m_rows.insert(m_rows.end(), added.begin(), added.end());
        return m_open.RecordBatch(first, added, Rows(), nullptr);
    }

    OpenBook& Book() { return m_open; }
    std::vector<std::string> Window() const { return Accounts(m_rows); }

private:
    bool Journal(JournalChange change, std::size_t row, const AccountEntry& entry) {
        return m_open.Record(change, row, entry, Rows(), nullptr);
    }
    RowSource Rows() {
        return [this](AccountEntries& rows) { rows = m_rows; };
    }

    AccountBook m_book;
    OpenBook m_open;
    AccountEntries m_rows; // the window's rows
};

// What the next login brings back after the session was killed.
std::vector<std::string> NextLogin(const ScratchFolder& folder, const std::string& password = "pw",
                                   OpenOutcome expected = OpenOutcome::Opened) {
    AccountBook book;
    OpenBook open(book);
    EXPECT_EQ(open.Open(folder.Path(), "alice", password, CBase64()), expected);
    return Accounts(book.vecEntries);
}

// The disk fails under the journal at some change; the session goes on and is then killed. The
// next login has exactly the window's rows, or the changes only Exit would have saved are counted.
TEST(JournalInStep, TheNextLoginHasTheWindowsRowsOrTheUserWasTold) {
    const struct {
        const char* label;
        std::size_t failAt; // the change whose journaling fails first
        int failures;       // how many writes fail from there
        std::size_t unjournaledAtEnd;
    } cases[] = {
        {"the journal cannot start at the first change", 0, 1, 0},
        {"a change cannot be added", 2, 1, 0},
        {"the disk stays full", 2, 100, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ScratchFolder folder;
        std::vector<std::string> journaled;
        {
            Session session(folder);
            const std::vector<std::function<bool()>> changes = {
                [&] { return session.Insert("c"); },    [&] { return session.Delete(0); },
                [&] { return session.Update(0, "B"); }, [&] { return session.Insert("d"); },
                [&] { return session.Delete(1); },
            };
            for (std::size_t i = 0; i < changes.size(); ++i) {
                if (i == c.failAt)
                    file_sync_test::FailNext(SyncKind::FileData, c.failures);
                EXPECT_EQ(changes[i](), i != c.failAt && !(c.failures > 1 && i > c.failAt)) << i;
                if (!session.Book().HasJournal()) {
                    EXPECT_FALSE(fs::exists(BookJournal::BasePathFor(folder / "alice.xml"))) << "no stray base";
                }
                if (session.Book().UnjournaledChanges() == 0)
                    journaled = session.Window();
            }
            file_sync_test::FailNext(SyncKind::FileData, 0);
            EXPECT_EQ(session.Book().UnjournaledChanges(), c.unjournaledAtEnd);
            if (c.unjournaledAtEnd == 0) {
                EXPECT_EQ(journaled, session.Window());
            }
        }
        EXPECT_EQ(NextLogin(folder), journaled);
    }
}

// Each record is written and synced before Record returns, and the journal's name is made durable
// with its folder when it starts.
TEST(JournalInStep, EachChangeIsSyncedBeforeItsCommandReturns) {
    const ScratchFolder folder;
    const std::string journal = BookJournal::PathFor(folder / "alice.xml");
    Session session(folder);
    std::vector<std::pair<SyncKind, std::uintmax_t>> syncs; // what stood on disk at each sync
    file_sync_test::Watch(
        [&](SyncKind kind) { syncs.emplace_back(kind, fs::exists(journal) ? fs::file_size(journal) : 0); });
    ASSERT_TRUE(session.Insert("c"));
    const std::uintmax_t afterFirst = fs::file_size(journal);
    ASSERT_TRUE(session.Insert("d"));
    file_sync_test::Watch(nullptr);
    ASSERT_EQ(syncs.size(), 4u);
    EXPECT_EQ(syncs[0], std::make_pair(SyncKind::FileData, std::uintmax_t(0))) << "the header, before it has a name";
    EXPECT_EQ(syncs[1].first, SyncKind::FolderNames) << "its name, once it has it";
    EXPECT_GT(syncs[1].second, 0u);
    EXPECT_EQ(syncs[2], std::make_pair(SyncKind::FileData, afterFirst)) << "the first record";
    EXPECT_EQ(syncs[3], std::make_pair(SyncKind::FileData, fs::file_size(journal))) << "the second record";
}

// A session far longer than its rows keeps a short journal, and the next login has its rows.
TEST(JournalInStep, ALongSessionKeepsAShortJournal) {
    const ScratchFolder folder;
    open_book_test::SetCompactFloor(2048);
    std::vector<std::string> window;
    {
        Session session(folder);
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(session.Update(std::size_t(i % 2), "edit" + std::to_string(i)));
        window = session.Window();
        EXPECT_LT(fs::file_size(BookJournal::PathFor(folder / "alice.xml")), 4096u);
    }
    open_book_test::SetCompactFloor(0);
    EXPECT_EQ(NextLogin(folder), window);
}

// An import is one step: the next login has all of it, or, when its write was cut short, none.
TEST(JournalInStep, AnImportComesBackWholeOrNotAtAll) {
    for (const bool cut : {false, true}) {
        SCOPED_TRACE(cut ? "cut short" : "whole");
        const ScratchFolder folder;
        {
            Session session(folder);
            ASSERT_TRUE(session.Insert("c"));
            ASSERT_TRUE(session.Import({"x", "y", "z"}));
        }
        const std::string journal = BookJournal::PathFor(folder / "alice.xml");
        if (cut)
            fs::resize_file(journal, fs::file_size(journal) - 60); // inside the last row, past a whole one
        const std::vector<std::string> whole = {"a", "b", "c", "x", "y", "z"};
        EXPECT_EQ(NextLogin(folder), std::vector<std::string>(whole.begin(), whole.end() - (cut ? 3 : 0)));
    }
}

// A new administrator password is durable at once: after a kill the next login takes it, and the
// one it replaced no longer opens the book.
TEST(JournalInStep, AChangedAdministratorPasswordOutlivesAKill) {
    const ScratchFolder folder;
    {
        Session session(folder);
        ASSERT_TRUE(session.Insert("c"));
        ASSERT_TRUE(session.Book().ChangeAdminPassword("new", nullptr, nullptr));
    }
    EXPECT_EQ(NextLogin(folder, "pw", OpenOutcome::WrongPassword), std::vector<std::string>{});
    EXPECT_EQ(NextLogin(folder, "new"), (std::vector<std::string>{"a", "b", "c"}));
}

// A long journal of every kind of change, replayed, gives what applying it to a plain list gives.
TEST(JournalReplay, GivesWhatAPlainListGives) {
    std::mt19937 random(2024);
    AccountBook book;
    for (int i = 0; i < 3000; ++i)
        book.vecEntries.push_back(Entry("r" + std::to_string(i)));
    std::vector<std::string> expected = Accounts(book.vecEntries);
    WipingString text;
    BookJournal::AppendHeader(text, FileIdentity{}, "alice", "pw");
    for (int i = 0; i < 30000; ++i) {
        const std::string account = "e" + std::to_string(i);
        const unsigned pick = random() % 20;
        const std::size_t row = expected.empty() ? 0 : random() % expected.size();
        if (pick < 6 || expected.empty()) {
            BookJournal::AppendRecord(text, JournalChange::Insert, expected.size(), Entry(account));
            expected.push_back(account);
        } else if (pick < 10) {
            BookJournal::AppendRecord(text, JournalChange::Update, row, Entry(account));
            expected[row] = account;
        } else if (pick < 19) {
            BookJournal::AppendRecord(text, JournalChange::Delete, row, AccountEntry{});
            expected.erase(expected.begin() + std::ptrdiff_t(row));
        } else {
            BookJournal::AppendRecord(text, JournalChange::Batch, 3, AccountEntry{});
            for (int k = 0; k < 3; ++k) {
                BookJournal::AppendRecord(text, JournalChange::Insert, expected.size(),
                                          Entry(account + "." + char('0' + k)));
                expected.push_back(account + "." + char('0' + k));
            }
        }
    }
    const ScratchFolder folder;
    store_test::WriteWholeFile(folder / "book.journal", text);
    JournalReader reader;
    JournalHeader header;
    ASSERT_EQ(reader.Open(folder / "book.journal", header), JournalReadOutcome::Read);
    const ReplayResult replay = ReplayJournal(reader, book);
    EXPECT_EQ(replay.stop, JournalStep::End);
    EXPECT_EQ(replay.applied, 30000u);
    EXPECT_EQ(Accounts(book.vecEntries), expected);
}

} // namespace
