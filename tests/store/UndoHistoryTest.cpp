// Undo and redo as the journal holds them: the records of a step taken back or made again, brought
// back by the next login after a kill; and the history's bounds.
#include "AccountFile.h"
#include "OpenBook.h"
#include "StoreTestSupport.h"
#include "UndoHistory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using store_test::Accounts;
using store_test::Entry;
using store_test::ScratchFolder;

AccountEntries Entries(const std::vector<std::string>& accounts) {
    AccountEntries entries;
    for (const std::string& account : accounts)
        entries.push_back(Entry(account));
    return entries;
}

// One session's changes, each journaled as the window journals it.
using Session = std::function<void(OpenBook& session)>;

void Step(OpenBook& session, const JournalRecords& records) {
    std::string reason;
    ASSERT_TRUE(session.RecordStep(records, nullptr, &reason)) << reason;
}

void Do(OpenBook& session, JournalChange change, std::size_t row, const char* account = nullptr) {
    ASSERT_TRUE(session.Record(change, row, account ? Entry(account) : AccountEntry{}, nullptr, nullptr));
}

void Import(OpenBook& session, std::size_t firstRow, const std::vector<std::string>& accounts) {
    ASSERT_TRUE(session.RecordBatch(firstRow, Entries(accounts), nullptr, nullptr));
}

struct KillCase {
    const char* label;
    Session session;                 // against the book "a b c d"
    std::vector<std::string> opened; // the next login's rows
    bool tearLast = false;           // the kill tore the journal's last line
};

void PrintTo(const KillCase& c, std::ostream* out) {
    *out << c.label;
}

const KillCase kKillCases[] = {
    {"undone delete puts the row back at its place",
     [](OpenBook& s) {
         Do(s, JournalChange::Delete, 1);
         Step(s, DeleteStep(1, Entry("b")).undone);
     },
     {"a", "b", "c", "d"}},
    {"rows after an undone delete are found where they stand",
     [](OpenBook& s) {
         Do(s, JournalChange::Delete, 0);
         Do(s, JournalChange::Delete, 1);
         Step(s, DeleteStep(1, Entry("c")).undone);
         Do(s, JournalChange::Update, 2, "D");
         Do(s, JournalChange::Insert, 3, "e");
     },
     {"b", "c", "D", "e"}},
    {"undone import goes in one step",
     [](OpenBook& s) {
         Import(s, 4, {"x", "y", "z"});
         Step(s, AppendStep("Import", 4, Entries({"x", "y", "z"})).undone);
     },
     {"a", "b", "c", "d"}},
    {"an undone import torn by the kill takes nothing away",
     [](OpenBook& s) {
         Import(s, 4, {"x", "y", "z"});
         Step(s, AppendStep("Import", 4, Entries({"x", "y", "z"})).undone);
     },
     {"a", "b", "c", "d", "x", "y", "z"},
     true},
    {"redone import",
     [](OpenBook& s) {
         const UndoStep step = AppendStep("Import", 4, Entries({"x", "y"}));
         Import(s, 4, {"x", "y"});
         Step(s, step.undone);
         Step(s, step.done);
     },
     {"a", "b", "c", "d", "x", "y"}},
};

class UndoAfterKill : public testing::TestWithParam<KillCase> {};

TEST_P(UndoAfterKill, TheNextLoginHasTheUndoneState) {
    const KillCase& c = GetParam();
    const ScratchFolder folder;
    store_test::SaveBook(folder / "alice.xml", "alice", {"a", "b", "c", "d"});
    {
        AccountBook book;
        OpenBook session(book);
        ASSERT_EQ(session.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
        c.session(session);
    }
    const std::string journal = BookJournal::PathFor(folder / "alice.xml");
    if (c.tearLast)
        fs::resize_file(journal, fs::file_size(journal) - 3);
    AccountBook next;
    OpenBook open(next);
    ASSERT_EQ(open.Open(folder.Path(), "alice", "pw", CBase64()), OpenOutcome::Opened);
    EXPECT_EQ(Accounts(next.vecEntries), c.opened);
    EXPECT_TRUE(open.Recovery().setAsidePath.empty()) << open.Recovery().failure;
}

INSTANTIATE_TEST_SUITE_P(Steps, UndoAfterKill, testing::ValuesIn(kKillCases),
                         [](const testing::TestParamInfo<KillCase>& info) {
                             std::string name = info.param.label;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// The steps that can be undone and redone, as the history is added to, walked and bounded.
TEST(UndoHistory, KeepsTheLatestStepsWithinItsBounds) {
    const auto what = [](const UndoStep* step) { return step ? step->what : std::string("-"); };
    const auto step = [](const char* name, std::size_t rows) {
        return AppendStep(name, 0, Entries(std::vector<std::string>(rows, "r")));
    };
    UndoHistory history(3, 20); // three steps, twenty records
    history.Add(step("one", 1));
    history.Add(step("two", 1));
    history.Add(step("three", 1));
    history.Add(step("four", 1)); // "one" goes: three steps at most
    history.Undone();
    history.Undone();
    EXPECT_EQ(what(history.NextUndo()), "two");
    EXPECT_EQ(what(history.NextRedo()), "three");
    history.Undone();
    history.Undone(); // nothing left to undo
    EXPECT_EQ(what(history.NextUndo()), "-");
    history.Redone();
    EXPECT_EQ(what(history.NextRedo()), "three");
    history.Add(step("five", 5)); // a new change: "three" and "four" cannot be redone
    EXPECT_EQ(what(history.NextRedo()), "-");
    EXPECT_EQ(what(history.NextUndo()), "five");
    history.Undone();
    EXPECT_EQ(what(history.NextUndo()), "two");
    history.Redone();
    history.Add(step("six", 3)); // 16 + 8 records: "two" goes to stay within twenty
    history.Undone();
    EXPECT_EQ(what(history.NextUndo()), "five");
    history.Undone();
    EXPECT_EQ(what(history.NextUndo()), "-");
    history.Redone();
    history.Add(step("seven", 10)); // larger than the whole history may hold: nothing to undo
    EXPECT_EQ(what(history.NextUndo()), "-");
    EXPECT_EQ(what(history.NextRedo()), "-");
}

} // namespace
