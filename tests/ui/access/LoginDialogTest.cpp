// The Login dialog: the order of its checks, its messages and focus, and what each attempt leaves
// in the account book.
#include "AccessTestSupport.h"
#include "AccountBook.h"
#include "FilePermissionsBind.h"
#include "OtherCopy.h"
#include "DlgLogin.h"
#include "resource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>

namespace access_test {
namespace {

const std::string kAccountMessage = "box:Please input the account.";
const std::string kPasswordMessage = "box:Please input the password.";
const std::string kAccountError = "box:Login Failed:Account error.";
const std::string kPasswordError = "box:Login Failed:Password error.";
const std::string kInvalidFile = "box:Invalid file.";
const std::string kLoginTrace = "log:Line:87,Fun:CDlgLogin::OnBnClickedOk";

const BookFixture kAlice{"alice", "secret", {{"abc", "p1", ""}, {"mail", "p2", "home"}}};

class LoginDialogTest : public AccessDialogTest {
protected:
    void SetUp() override {
        AccessDialogTest::SetUp();
        WriteProgramFile("alice.xml", BookXml(kAlice));
        WriteProgramFile("broken.xml", "<alice App=\"Zelvo Password Manager\"><AdminInfo>");
        WriteProgramFile("foreign.xml", BookXml(BookFixture{"foreign", "x", {}, "Another Program"}));
        WriteProgramFile("renamed.xml", BookXml(BookFixture{"renamed", "secret", {}, kAlice.app, "robert"}));
        // The configuration file shares the folder; even shaped like a book it is no book.
        WriteProgramFile("Config.xml", BookXml(BookFixture{"Config", "x", {}}));
        ASSERT_EQ(::mkdir((m_dir + "/folder.xml").c_str(), 0700), 0);
    }

    // Runs a fresh dialog with one press of OK.
    Outcome LoginOnce(const std::string& account, const std::string& password, INT_PTR* result = nullptr) {
        CDlgLogin dialog;
        Outcome outcome;
        const INT_PTR r = Run(dialog, [&](CDialog& dlg) {
            outcome = Submit(dlg, {{IDC_EDIT_ACCOUNT, account}, {IDC_EDIT_PASSWORD, password}});
            EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText(), account) << "typed texts are kept";
            EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_PASSWORD)->GetWindowText(), password) << "typed texts are kept";
        });
        if (result) {
            *result = r;
        }
        return outcome;
    }
};

struct LoginCase {
    const char* label;
    std::string account;
    std::string password;
    Events events;         // what the press showed and logged
    UINT focusId;          // where the focus is afterwards (OK had it before the press)
    INT_PTR result;        // how the dialog ended
    std::string bookAdmin; // the administrator the book holds afterwards; a failure leaves none
};

// Every byte of the administrator fields is zero and no entry is held.
bool BookIsWiped() {
    const auto zero = [](char c) { return c == '\0'; };
    return std::all_of(std::begin(g_AccountBook.szAdminAccount), std::end(g_AccountBook.szAdminAccount), zero) &&
           std::all_of(std::begin(g_AccountBook.szAdminPassword), std::end(g_AccountBook.szAdminPassword), zero) &&
           g_AccountBook.vecEntries.empty() && g_AccountBook.vecEntries.capacity() == 0;
}

// Failures name the case instead of dumping its bytes.
void PrintTo(const LoginCase& c, std::ostream* os) {
    *os << c.label;
}

const LoginCase kLoginCases[] = {
    {"bothEmpty", "", "", {kAccountMessage}, IDC_EDIT_ACCOUNT, IDCANCEL, ""},
    {"accountEmpty", "", "secret", {kAccountMessage}, IDC_EDIT_ACCOUNT, IDCANCEL, ""},
    {"passwordEmpty", "alice", "", {kPasswordMessage}, IDC_EDIT_PASSWORD, IDCANCEL, ""},
    {"blanksOnlyName", "   ", "secret", {kAccountError}, IDOK, IDCANCEL, ""},
    {"noFile", "nobody", "secret", {kAccountError}, IDOK, IDCANCEL, ""},
    {"nameInOtherCase", "Alice", "secret", {kAccountError}, IDOK, IDCANCEL, ""},
    {"pathInName", "../alice", "secret", {kAccountError}, IDOK, IDCANCEL, ""},
    {"folderNamedLikeBook", "folder", "secret", {kAccountError}, IDOK, IDCANCEL, ""},
    {"configurationFile", "Config", "x", {kAccountError}, IDOK, IDCANCEL, ""},
    {"damagedFile", "broken", "secret", {kInvalidFile, kLoginTrace}, IDOK, IDCANCEL, ""},
    {"otherProgramsFile", "foreign", "x", {kInvalidFile, kLoginTrace}, IDOK, IDCANCEL, ""},
    {"wrongPassword", "alice", "wrong", {kPasswordError}, IDOK, IDCANCEL, ""},
    {"passwordInOtherCase", "alice", "Secret", {kPasswordError}, IDOK, IDCANCEL, ""},
    {"passwordWithTrailingBlank", "alice", "secret ", {kPasswordError}, IDOK, IDCANCEL, ""},
    {"passwordPrefix", "alice", "secre", {kPasswordError}, IDOK, IDCANCEL, ""},
    {"nameInFileDiffers", "renamed", "secret", {kPasswordError}, IDOK, IDCANCEL, ""},
    {"rightPassword", "alice", "secret", {}, IDOK, IDOK, "alice"},
};

class LoginChecks : public LoginDialogTest, public testing::WithParamInterface<LoginCase> {};

TEST_P(LoginChecks, ShowsTheFirstFailureAndKeepsTheDialogOpen) {
    const LoginCase& c = GetParam();
    INT_PTR result = 0;
    const Outcome outcome = LoginOnce(c.account, c.password, &result);
    EXPECT_EQ(outcome.events, c.events);
    if (c.result != IDOK) {
        EXPECT_EQ(outcome.focusId, c.focusId);
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), c.bookAdmin);
    if (c.result != IDOK) {
        EXPECT_TRUE(BookIsWiped());
    }
}

INSTANTIATE_TEST_SUITE_P(Login, LoginChecks, testing::ValuesIn(kLoginCases),
                         [](const testing::TestParamInfo<LoginCase>& info) { return std::string(info.param.label); });

TEST_F(LoginDialogTest, ABookOpenInAnotherCopyIsNotLoaded) {
    INT_PTR result = 0;
    {
        const OtherCopy other(m_dir, "alice", false);
        ASSERT_TRUE(other.Claimed());
        EXPECT_EQ(LoginOnce("alice", "secret", &result).events, Events{"box:Login Failed:Account is in use."});
        EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "");
    }
    EXPECT_EQ(LoginOnce("alice", "secret", &result).events, Events{}) << "the lock went with its process";
}

// A copy that ends just as this one locks removes the locked file; the lock is taken again on the
// file of that name, so it still keeps other copies out.
TEST_F(LoginDialogTest, ALockOnAFileRemovedMeanwhileIsTakenAgain) {
    book_file_test::RunAfterLocking([&] { ::unlink(BookFile::LockPath(m_dir + "/alice.xml").c_str()); });
    EXPECT_EQ(LoginOnce("alice", "secret").events, Events{});
    EXPECT_FALSE(OtherCopy(m_dir, "alice", false).Claimed());
}

// Wherever no lock can be had, the book is not opened: another copy could open it too.
TEST_F(LoginDialogTest, ABookThatCannotBeLockedIsNotOpened) {
    const std::string lock = BookFile::LockPath(m_dir + "/alice.xml");
    struct Case {
        const char* name;
        std::function<bool()> arrange; // false where this user cannot arrange it
        std::string message;
    };
    const Case cases[] = {
        {"a link planted at the lock's name", [&] { return ::symlink((m_dir + "/x").c_str(), lock.c_str()) == 0; },
         "box:Login Failed:The account cannot be locked in this folder."},
        // Open to everyone, so that only its owner tells it from this user's own lock file.
        {"another user's file at the lock's name",
         [&] {
             const int fd = ::open(lock.c_str(), O_CREAT | O_WRONLY, 0666);
             const bool planted = fd >= 0 && ::fchmod(fd, 0666) == 0 && ::fchown(fd, 65534, 65534) == 0;
             ::close(fd);
             return planted;
         },
         "box:Login Failed:The account cannot be locked in this folder."},
        {"no locks on the file system", [] { return book_file_test::FailNextLock(ENOLCK), true; },
         "box:Login Failed:The account cannot be locked in this folder."},
        {"a read-only folder", [&] { return ::chmod(m_dir.c_str(), 0500) == 0; },
         "box:Login Failed:The account cannot be locked in this folder."},
        {"held by another copy", [] { return book_file_test::FailNextLock(EWOULDBLOCK), true; },
         "box:Login Failed:Account is in use."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.arrange()) {
            ::unlink(lock.c_str());
            std::printf("not arranged as this user: %s\n", c.name);
            continue;
        }
        Outcome outcome;
        {
            const FilePermissionsBind bind;
            ASSERT_TRUE(bind.Bound());
            outcome = LoginOnce("alice", "secret");
        }
        ::chmod(m_dir.c_str(), 0700);
        ::unlink(lock.c_str());
        EXPECT_EQ(outcome.events, Events{c.message});
        EXPECT_TRUE(FieldText(g_AccountBook.szAdminAccount).empty()) << "nothing of the book was read";
    }
}

TEST_F(LoginDialogTest, UnreadableFileIsAnAccountError) {
    WriteProgramFile("locked.xml", BookXml(kAlice));
    ASSERT_EQ(::chmod((m_dir + "/locked.xml").c_str(), 0), 0);
    const FilePermissionsBind bind;
    ASSERT_TRUE(bind.Bound());
    EXPECT_EQ(LoginOnce("locked", "secret").events, Events{kAccountError});
}

TEST_F(LoginDialogTest, WrongThenRightPasswordLoadsEachEntryOnce) {
    CDlgLogin dialog;
    const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
        EXPECT_EQ(Submit(dlg, {{IDC_EDIT_ACCOUNT, "alice"}, {IDC_EDIT_PASSWORD, "wrong"}}).events,
                  Events{kPasswordError});
        EXPECT_EQ(Submit(dlg, {{IDC_EDIT_PASSWORD, "secret"}}).events, Events{});
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_strAccount, "alice");
    EXPECT_EQ(dialog.m_strPassword, "secret");
    EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), "secret");
    ASSERT_EQ(g_AccountBook.vecEntries.size(), kAlice.entries.size());
    for (std::size_t i = 0; i < kAlice.entries.size(); ++i) {
        EXPECT_EQ(FieldText(g_AccountBook.vecEntries[i].szAccount), kAlice.entries[i][0]);
        EXPECT_EQ(FieldText(g_AccountBook.vecEntries[i].szPassword), kAlice.entries[i][1]);
        EXPECT_EQ(FieldText(g_AccountBook.vecEntries[i].szComment), kAlice.entries[i][2]);
    }
}

TEST_F(LoginDialogTest, WrongPasswordThenCancelLeavesNothingOfTheBook) {
    CDlgLogin dialog;
    const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
        EXPECT_EQ(Submit(dlg, {{IDC_EDIT_ACCOUNT, "alice"}, {IDC_EDIT_PASSWORD, "wrong"}}).events,
                  Events{kPasswordError});
        EXPECT_TRUE(OtherCopy(m_dir, "alice", false).Claimed()) << "the book's lock went with the wrong password";
        static_cast<CButton*>(dlg.GetDlgItem(IDCANCEL))->Click();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(BookIsWiped());
}

TEST_F(LoginDialogTest, CancelChecksNothingAndChangesNothing) {
    CDlgLogin dialog;
    const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText("alice");
        dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("secret");
        static_cast<CButton*>(dlg.GetDlgItem(IDCANCEL))->Click();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(m_events.empty());
    EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "");
    EXPECT_TRUE(g_AccountBook.vecEntries.empty());
    // A later login works normally.
    EXPECT_EQ(LoginOnce("alice", "secret").events, Events{});
    EXPECT_EQ(g_AccountBook.vecEntries.size(), kAlice.entries.size());
}

TEST_F(LoginDialogTest, WithoutApplicationOrMainWindowNothingHappens) {
    for (const bool dropApplication : {false, true}) {
        CDlgLogin dialog;
        Events events{"not run"};
        const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
            WithoutMainWindow(dropApplication, [&] {
                events = Submit(dlg, {{IDC_EDIT_ACCOUNT, "alice"}, {IDC_EDIT_PASSWORD, "secret"}}).events;
            });
        });
        EXPECT_EQ(result, IDCANCEL) << dropApplication;
        EXPECT_EQ(events, Events{}) << dropApplication;
        EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "") << dropApplication;
    }
}

// Longest names and passwords, in single- and multi-byte characters: typing stops at 128 bytes and
// the book holds what was kept whole.
TEST_F(LoginDialogTest, TextsAtTheByteLimitAreTypedAndComparedWhole) {
    for (const LimitCase& c : kLimitCases) {
        ASSERT_EQ(c.name.size(), 128u);
        ASSERT_EQ(c.password.size(), 128u);
        WriteProgramFile(c.name + ".xml", BookXml(BookFixture{c.name, c.password, {{"abc", "p", "c"}}}));
        g_AccountBook.Clear();
        CDlgLogin dialog;
        const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
            Type(dlg, IDC_EDIT_ACCOUNT, c.name + c.extra);
            Type(dlg, IDC_EDIT_PASSWORD, c.password + c.extra);
            EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText(), c.name);
            EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_PASSWORD)->GetWindowText(), c.password);
            m_events.clear();
            static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
            EXPECT_EQ(m_events, Events{});
        });
        EXPECT_EQ(result, IDOK) << c.extra;
        EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), c.name);
        EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), c.password);
        EXPECT_EQ(g_AccountBook.vecEntries.size(), 1u);
    }
}

} // namespace
} // namespace access_test
