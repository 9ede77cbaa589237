// The hold a run keeps on its book: one copy of the program at a time, and a save that never
// replaces a file the run did not read.
#include "AccountFile.h"
#include "BookFile.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace {

using store_test::ReadWholeFile;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

// Another copy of the program, in a process of its own, holding the book until it ends.
class OtherCopy {
public:
    OtherCopy(const std::string& folder, const std::string& account, bool newBook) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_end) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(m_end[1]); // the end comes when the test closes its side
            BookFile held;
            const char claimed = newBook ? held.ClaimNew(folder, account) : held.ClaimExisting(folder, account);
            char ignored = 0;
            if (::write(ready[1], &claimed, 1) == 1 && ::read(m_end[0], &ignored, 1) >= 0)
                ::_exit(0);
            ::_exit(1);
        }
        char claimed = 0;
        m_claimed = ::read(ready[0], &claimed, 1) == 1 && claimed;
        for (const int fd : {ready[0], ready[1], m_end[0]})
            ::close(fd);
    }
    ~OtherCopy() {
        ::close(m_end[1]);
        ::waitpid(m_pid, nullptr, 0);
    }
    bool Claimed() const { return m_claimed; }

private:
    pid_t m_pid = -1;
    int m_end[2] = {-1, -1};
    bool m_claimed = false;
};

AccountBook Book(const char* admin) {
    AccountBook book;
    CopyFieldText(book.szAdminAccount, admin);
    book.vecEntries.push_back(AccountEntry{});
    CopyFieldText(book.vecEntries[0].szAccount, "site");
    return book;
}

TEST(BookFile, OneCopyAtATimeHoldsABook) {
    ScratchFolder folder;
    WriteWholeFile(folder.File("alice.xml"), "<alice/>");
    for (const bool newBook : {false, true}) {
        const std::string account = newBook ? "bob" : "alice";
        BookFile mine;
        const auto claim = [&] { return newBook ? mine.ClaimNew(folder.Path(), account) : mine.ClaimExisting(folder.Path(), account); };
        {
            OtherCopy other(folder.Path(), account, newBook);
            ASSERT_TRUE(other.Claimed()) << account;
            EXPECT_FALSE(claim()) << account;
        }
        EXPECT_TRUE(claim()) << "the lock went with the process that held it: " << account;
    }
}

TEST(BookFile, AFileChangedByAnotherProgramIsKeptAndTheBookSavedBeside) {
    struct Case {
        const char* label;
        bool newBook;
        bool changed;
    };
    for (const Case& c : {Case{"unchanged", false, false}, Case{"replaced while open", false, true},
                          Case{"new book's name taken meanwhile", true, true}}) {
        SCOPED_TRACE(c.label);
        ScratchFolder folder;
        const std::string path = folder.File("alice.xml");
        if (!c.newBook)
            WriteWholeFile(path, "<alice>as read</alice>");
        BookFile held;
        ASSERT_TRUE(c.newBook ? held.ClaimNew(folder.Path(), "alice") : held.ClaimExisting(folder.Path(), "alice"));
        if (c.changed) {
            WriteWholeFile(path + ".sync", "<alice>from elsewhere</alice>");
            std::filesystem::rename(path + ".sync", path);
        }
        const BookSaveResult result = held.Save(Book("alice"), CBase64());
        const std::string savedAt = c.changed ? result.keptPath : path;
        EXPECT_EQ(result.outcome, c.changed ? BookSaveOutcome::KeptBeside : BookSaveOutcome::Saved);
        if (c.changed) {
            EXPECT_EQ(ReadWholeFile(path), "<alice>from elsewhere</alice>");
            EXPECT_EQ(savedAt.rfind(path + ".kept-", 0), 0u) << savedAt;
        }
        AccountBook read;
        ASSERT_TRUE(LoadAccountBook(read, savedAt, CBase64()));
        EXPECT_EQ(read.vecEntries.size(), 1u);
    }
}

} // namespace
