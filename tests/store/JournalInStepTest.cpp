// The journal while a session runs: every change durable before its command returns, in step with
// the window's rows even after the disk failed under it, kept short, and brought back by the next
// login as the rows stood.
#include "AccountFile.h"
#include "CsvExport.h"
#include "JournalReplay.h"
#include "OpenBook.h"
#include "SealedBook.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using store_test::Accounts;
using store_test::Entry;
using store_test::ScratchFolder;

// A session as the window runs it: each change made to the rows first, then journaled.
struct Report;

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
        return m_open.RecordBatch(first, added, Rows(), &m_reason);
    }

    OpenBook& Book() { return m_open; }
    // Encrypts or decrypts the book, as the window's commands do.
    Report Lock(bool encrypt);
    // Saves the window's rows, as Exit does.
    BookSaveResult Save(const ScratchFolder& folder) {
        m_book.vecEntries = m_rows;
        return m_open.Save(folder.Path(), "alice", CBase64());
    }
    std::vector<std::string> Window() const { return Accounts(m_rows); }
    const AccountEntries& Entries() const { return m_rows; }
    // Why the last change could not be journaled.
    const std::string& Reason() const { return m_reason; }

private:
    bool Journal(JournalChange change, std::size_t row, const AccountEntry& entry) {
        return m_open.Record(change, row, entry, Rows(), &m_reason);
    }
    RowSource Rows() {
        return [this](AccountEntries& rows) { rows = m_rows; };
    }

    AccountBook m_book;
    OpenBook m_open;
    AccountEntries m_rows; // the window's rows
    std::string m_reason;
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

// An import is one step: the next login has all of it, or, when its write was cut short (within a
// row or at a row's end), none, and the journal is cut back to before it.
TEST(JournalInStep, AnImportComesBackWholeOrNotAtAll) {
    const struct {
        const char* label;
        std::function<std::uintmax_t(const std::string& journal)> cutAt; // the journal's length once cut
    } cases[] = {
        {"whole", [](const std::string& journal) { return fs::file_size(journal); }},
        {"cut within a row", [](const std::string& journal) { return fs::file_size(journal) - 60; }},
        {"cut at a row's end",
         [](const std::string& journal) {
             const std::string text = store_test::ReadWholeFile(journal);
             return text.rfind('\n', text.size() - 2) + 1;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ScratchFolder folder;
        const std::string journal = BookJournal::PathFor(folder / "alice.xml");
        std::uintmax_t beforeImport = 0;
        {
            Session session(folder);
            ASSERT_TRUE(session.Insert("c"));
            beforeImport = fs::file_size(journal);
            ASSERT_TRUE(session.Import({"x", "y", "z"}));
        }
        const std::uintmax_t length = c.cutAt(journal);
        const bool cut = length < fs::file_size(journal);
        fs::resize_file(journal, length);
        const std::vector<std::string> whole = {"a", "b", "c", "x", "y", "z"};
        EXPECT_EQ(NextLogin(folder), std::vector<std::string>(whole.begin(), whole.end() - (cut ? 3 : 0)));
        EXPECT_EQ(fs::file_size(journal), cut ? beforeImport : length);
    }
}

// A new administrator password is durable at once: after a kill the next login takes it, and the
// one it replaced no longer opens the book, also when the journal was written anew since.
TEST(JournalInStep, AChangedAdministratorPasswordOutlivesAKill) {
    const struct {
        const char* label;
        off_t compactFloor; // 0: the usual
        int failedWrites;   // of the change after the password's, which the next one rewrites from the rows
    } cases[] = {
        {"as recorded", 0, 0},
        {"journal written anew as it grew", 1, 0},
        {"journal written anew after a change it could not take", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ScratchFolder folder;
        open_book_test::SetCompactFloor(c.compactFloor);
        {
            Session session(folder);
            ASSERT_TRUE(session.Insert("c"));
            ASSERT_TRUE(session.Book().ChangeAdminPassword("new", nullptr, nullptr));
            file_sync_test::FailNext(SyncKind::FileData, c.failedWrites);
            EXPECT_EQ(session.Import({"d", "e", "f", "g", "h", "i"}), c.failedWrites == 0);
            ASSERT_TRUE(session.Insert("j"));
        }
        open_book_test::SetCompactFloor(0);
        EXPECT_EQ(NextLogin(folder, "pw", OpenOutcome::WrongPassword), std::vector<std::string>{});
        EXPECT_EQ(NextLogin(folder, "new"),
                  (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}));
    }
}

// A session that changed only the administrator password, whose book was then put back as it was
// with the same entries: the session is kept beside it, never dropped as if it had been saved.
TEST(JournalInStep, APasswordChangeIsNotTakenForASavedSession) {
    const ScratchFolder folder;
    {
        Session session(folder);
        ASSERT_TRUE(session.Book().ChangeAdminPassword("new", nullptr, nullptr));
    }
    store_test::SaveBook(folder / "alice.xml", "alice", {"a", "b"}); // restored, with the old password
    AccountBook book;
    OpenBook open(book);
    ASSERT_EQ(open.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
    AccountBook kept;
    ASSERT_TRUE(LoadAccountBook(kept, open.Recovery().keptPath, CBase64())) << "kept beside";
    EXPECT_EQ(FieldText(kept.szAdminPassword), "new");
}

// The journal's removal at a save, and its move when it is set aside, are made durable with its
// folder once it is gone from its name.
TEST(JournalInStep, TheFolderIsSyncedOnceTheJournalIsGone) {
    const struct {
        const char* label;
        std::function<void(const ScratchFolder& folder)> prepare;
        std::function<void(const ScratchFolder& folder)> act;
    } cases[] = {
        {"saved", [](const ScratchFolder&) {},
         [](const ScratchFolder& folder) {
             Session session(folder);
             ASSERT_TRUE(session.Insert("c"));
             EXPECT_EQ(session.Book().Save(folder.Path(), "alice", CBase64()).outcome, BookSaveOutcome::Saved);
         }},
        {"set aside",
         [](const ScratchFolder& folder) {
             store_test::SaveBook(folder / "alice.xml", "alice", {"a"});
             store_test::WriteWholeFile(BookJournal::PathFor(folder / "alice.xml"), "not a journal\n");
         },
         [](const ScratchFolder& folder) {
             AccountBook book;
             EXPECT_EQ(OpenBook(book).Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ScratchFolder folder;
        const std::string journal = BookJournal::PathFor(folder / "alice.xml");
        c.prepare(folder);
        bool lastSyncSawJournal = true;
        file_sync_test::Watch([&](SyncKind kind) {
            if (kind == SyncKind::FolderNames)
                lastSyncSawJournal = fs::exists(journal);
        });
        c.act(folder);
        file_sync_test::Watch(nullptr);
        EXPECT_FALSE(fs::exists(journal));
        EXPECT_FALSE(lastSyncSawJournal);
    }
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

// ---------------------------------------------------------------------------------------------
// Every file operation of each path failed in turn.

// What a path reported: whether it did what it was asked, and what the user is told.
struct Report {
    bool done = false;
    std::string told;
};

// One run of a path: the book's folder, the session that runs it, and what the next login must have.
struct SweepRun {
    const ScratchFolder folder;
    const ScratchFolder elsewhere; // where an export goes
    std::unique_ptr<Session> session;
    std::vector<std::string> confirmed; // the rows the user was told are kept
};

struct SweepPath {
    const char* name;
    std::function<void(SweepRun&)> prepare;              // before the failing operation is counted
    std::function<Report(SweepRun&)> run;                // the path, its operations counted
    std::function<void(SweepRun&, const Report&)> check; // after it, with nothing failing
    off_t compactFloor = 0; // the session's journal is written anew beyond this size (0: the usual)
};

std::vector<std::string> Loaded(const std::string& path) {
    AccountBook book;
    EXPECT_TRUE(LoadAccountBook(book, path, CBase64())) << path;
    return Accounts(book.vecEntries);
}

// No temporary file of a save is left holding any of what it was writing.
void ExpectNoFilledLeftover(const fs::path& folder) {
    for (const auto& file : fs::directory_iterator(folder)) {
        if (IsLeftoverSaveName(file.path().filename())) {
            EXPECT_EQ(fs::file_size(file.path()), 0u) << file.path();
        }
    }
}

// A change made through the journal: when it is not journaled, the user is told why; either way
// the journal is in step again at the next change.
Report Journaled(SweepRun& run, bool recorded) {
    run.confirmed = run.session->Window();
    return {recorded, recorded ? "" : run.session->Reason()};
}
void NextChangeIsJournaled(SweepRun& run, const Report&) {
    EXPECT_TRUE(run.session->Insert("e")) << "the journal takes the next change from the rows";
    run.confirmed = run.session->Window();
}

const SweepPath kSweepPaths[] = {
    {"save", [](SweepRun& run) { ASSERT_TRUE(run.session->Insert("c")); },
     [](SweepRun& run) {
         const BookSaveResult saved = run.session->Save(run.folder);
         EXPECT_NE(saved.outcome, BookSaveOutcome::KeptBeside) << "no other program changed the book";
         return Report{saved.outcome == BookSaveOutcome::Saved,
                       saved.outcome == BookSaveOutcome::Saved ? "" : saved.reason};
     },
     [](SweepRun& run, const Report& report) {
         const std::vector<std::string> before = {"a", "b"};
         EXPECT_EQ(Loaded(run.folder / "alice.xml"), report.done ? run.session->Window() : before);
     }},
    {"journal start", [](SweepRun&) {}, [](SweepRun& run) { return Journaled(run, run.session->Insert("c")); },
     NextChangeIsJournaled},
    {"append", [](SweepRun& run) { ASSERT_TRUE(run.session->Insert("c")); },
     [](SweepRun& run) { return Journaled(run, run.session->Insert("d")); }, NextChangeIsJournaled},
    // The import more than doubles the journal, which is then written anew from the rows.
    {"compaction", [](SweepRun& run) { ASSERT_TRUE(run.session->Insert("c")); },
     [](SweepRun& run) {
         return Journaled(run, run.session->Import({"t", "u", "v", "w", "x", "y", "z", "zz", "zzz", "zzzz"}));
     },
     NextChangeIsJournaled, 1},
    {"set-aside",
     [](SweepRun& run) {
         ASSERT_TRUE(run.session->Insert("c"));
         ASSERT_TRUE(run.session->Insert("d"));
         run.session.reset(); // killed
         const std::string journal = BookJournal::PathFor(run.folder / "alice.xml");
         std::string text = store_test::ReadWholeFile(journal);
         text[text.rfind('\n', text.size() - 2) + 3] ^= 1; // the last record damaged
         store_test::WriteWholeFile(journal, text);
         run.confirmed = {"a", "b", "c"};
     },
     [](SweepRun& run) {
         const std::string journal = BookJournal::PathFor(run.folder / "alice.xml");
         const std::string text = store_test::ReadWholeFile(journal);
         AccountBook book;
         OpenBook open(book);
         EXPECT_EQ(open.Open(run.folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
         EXPECT_EQ(Accounts(book.vecEntries), run.confirmed);
         // The journal is kept whole where the user is told it is.
         const SessionRecovery& recovery = open.Recovery();
         EXPECT_EQ(store_test::ReadWholeFile(recovery.setAsidePath), text) << recovery.setAsidePath;
         // The change brought back is kept by a journal of the session's own, or by the one that
         // could not be set aside; otherwise only in the one set aside, where the user is told it is.
         if (!open.HasJournal() && !fs::exists(journal))
             run.confirmed = {"a", "b"};
         return Report{recovery.setAsidePath != journal, recovery.failure + " " + recovery.setAsidePath};
     },
     [](SweepRun&, const Report&) {}},
    {"export", [](SweepRun& run) { ASSERT_TRUE(run.session->Insert("c")); },
     [](SweepRun& run) {
         std::string reason;
         const bool written = ExportCsvFile(run.session->Entries(), ExportLayout::KeePassXC, run.elsewhere / "out.csv",
                                            run.folder.Path(), reason);
         return Report{written, written ? "" : reason};
     },
     [](SweepRun& run, const Report& report) {
         EXPECT_EQ(fs::exists(run.elsewhere / "out.csv"), report.done) << "no file stands that was not written";
         if (report.done) {
             EXPECT_NE(store_test::ReadWholeFile(run.elsewhere / "out.csv").find("pw-c"), std::string::npos);
         }
         ExpectNoFilledLeftover(run.elsewhere.Path());
     }},
};

// No file in the folder holds an entry's password readable, unless the user was told a copy stayed.
void ExpectLockedWhole(SweepRun& run, bool sealed) {
    const std::string book = run.folder / "alice.xml";
    EXPECT_EQ(IsSealedBookFile(book), sealed) << "the book is as the user was told";
    if (!sealed || run.session->Book().CopiesLeftAsTheyWere() != 0)
        return;
    for (const auto& file : fs::directory_iterator(run.folder.Path()))
        EXPECT_EQ(store_test::ReadWholeFile(file.path()).find("cHctYQ=="), std::string::npos) << file.path();
}

const SweepPath kLockPaths[] = {
    {"encrypt",
     [](SweepRun& run) {
         sealed_book_test::UseCost({1, 8192});
         ASSERT_TRUE(run.session->Insert("c"));
     },
     [](SweepRun& run) { return run.session->Lock(true); },
     [](SweepRun& run, const Report& report) { ExpectLockedWhole(run, report.done); }},
    {"decrypt",
     [](SweepRun& run) {
         sealed_book_test::UseCost({1, 8192});
         ASSERT_TRUE(run.session->Insert("c"));
         ASSERT_TRUE(run.session->Lock(true).done);
     },
     [](SweepRun& run) { return run.session->Lock(false); },
     [](SweepRun& run, const Report& report) { ExpectLockedWhole(run, !report.done); }},
};

Report Session::Lock(bool encrypt) {
    const bool done = encrypt ? m_open.Seal(Rows(), CBase64(), &m_reason) : m_open.Unseal(Rows(), CBase64(), &m_reason);
    return {done, done ? "" : m_reason};
}

void PrintTo(const SweepPath& path, std::ostream* out) {
    *out << path.name;
}

class FileFaultSweep : public testing::TestWithParam<SweepPath> {};

// Each file operation of the path fails in turn, the first, the second ... until the path runs
// clean. Whatever fails, the next login has every change the user was told is kept, the user is
// told what was not done, and nothing is left that holds what was not written.
TEST_P(FileFaultSweep, NoConfirmedEditIsLostAndNoFailureIsHidden) {
    const SweepPath& path = GetParam();
    int operations = 0;
    for (int failing = 1; failing <= 500 && operations == 0; ++failing) {
        SCOPED_TRACE("operation " + std::to_string(failing) + " fails");
        SweepRun run;
        open_book_test::SetCompactFloor(path.compactFloor);
        run.session = std::make_unique<Session>(run.folder);
        path.prepare(run);
        if (run.session)
            run.confirmed = run.session->Window();
        file_sync_test::FailNthOperation(failing);
        const Report report = path.run(run);
        const int counted = file_sync_test::OperationsCounted();
        file_sync_test::FailNthOperation(0);
        open_book_test::SetCompactFloor(0);
        if (counted < failing)
            operations = counted;
        EXPECT_TRUE(report.done || !report.told.empty()) << "a failure is told";
        path.check(run, report);
        run.session.reset(); // killed
        ExpectNoFilledLeftover(run.folder.Path());
        EXPECT_EQ(NextLogin(run.folder), run.confirmed);
        if (operations) {
            EXPECT_TRUE(report.done) << "the path runs clean: " << report.told;
        }
    }
    ASSERT_GT(operations, 0) << "the path never ran clean";
    std::cout << path.name << ": " << operations << " file operations, each failed in turn\n";
}

INSTANTIATE_TEST_SUITE_P(LockPaths, FileFaultSweep, testing::ValuesIn(kLockPaths),
                         [](const testing::TestParamInfo<SweepPath>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Paths, FileFaultSweep, testing::ValuesIn(kSweepPaths),
                         [](const testing::TestParamInfo<SweepPath>& info) {
                             std::string name = info.param.name;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

} // namespace
