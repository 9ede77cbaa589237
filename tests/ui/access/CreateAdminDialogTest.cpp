// The Create Admin dialog: the order of its checks, its messages and focus, which names are taken
// or refused, and what a success puts into the account book.
#include "AccessTestSupport.h"
#include "AccountBook.h"
#include "OtherCopy.h"
#include "DlgCreateAdmin.h"
#include "resource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <string>

namespace access_test {
namespace {

const std::string kAccountMessage = "box:Please input the account.";
const std::string kPasswordMessage = "box:Please input the password.";
const std::string kConfirmMessage = "box:Please input the confirm password.";
const std::string kMismatch = "box:Two passwords must be same.";
const std::string kInvalidName = "box:Invalid account name.";
const std::string kTaken = "box:Error:The Account is existend.";
const std::string kCreateTrace = "log:Line:88,Fun:CDlgCreateAdmin::OnBnClickedOk";

class CreateAdminDialogTest : public AccessDialogTest {
protected:
    void SetUp() override {
        AccessDialogTest::SetUp();
        m_aliceBook = BookXml(BookFixture{"alice", "secret", {{"abc", "p1", ""}}});
        WriteProgramFile("alice.xml", m_aliceBook);
        WriteProgramFile("Config.xml", "<Config/>");
        WriteProgramFile("locked.xml", m_aliceBook);
        ASSERT_EQ(::chmod((m_dir + "/locked.xml").c_str(), 0), 0);
        ASSERT_EQ(::symlink((m_dir + "/gone/nowhere.xml").c_str(), (m_dir + "/ghost.xml").c_str()), 0);
        ASSERT_EQ(::mkdir((m_dir + "/folder.xml").c_str(), 0700), 0);
        m_filesBefore = ProgramFiles();
    }

    std::string m_aliceBook;
    std::vector<std::string> m_filesBefore;
};

struct CreateCase {
    const char* label;
    std::string account;
    std::string password;
    std::string confirm;
    Events events; // what the press showed and logged
    UINT focusId;  // where the focus is afterwards (OK had it before the press)
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const CreateCase& c, std::ostream* os) {
    *os << c.label;
}

const CreateCase kCreateCases[] = {
    {"allEmpty", "", "", "", {kAccountMessage}, IDC_EDIT_ACCOUNT},
    {"accountEmpty", "", "pw", "pw", {kAccountMessage}, IDC_EDIT_ACCOUNT},
    {"passwordsEmpty", "bob", "", "", {kPasswordMessage}, IDC_EDIT_PASSWORD},
    {"passwordEmpty", "bob", "", "pw", {kPasswordMessage}, IDC_EDIT_PASSWORD},
    {"confirmEmpty", "bob", "pw", "", {kConfirmMessage}, IDC_EDIT_CONFIRM},
    {"passwordsDiffer", "bob", "pw", "px", {kMismatch}, IDC_EDIT_PASSWORD},
    {"passwordsDifferInCase", "bob", "pw", "PW", {kMismatch}, IDC_EDIT_PASSWORD},
    {"passwordsDifferByBlank", "bob", "pw", "pw ", {kMismatch}, IDC_EDIT_PASSWORD},
    {"existingNameWithMismatch", "alice", "pw", "px", {kMismatch}, IDC_EDIT_PASSWORD},
    {"invalidNameWithMismatch", "a b", "pw", "px", {kMismatch}, IDC_EDIT_PASSWORD},
    {"blanksOnlyName", "   ", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"innerBlank", "bo b", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"slash", "a/b", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"parentFolder", "../alice", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"colon", "a:b", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"leadingDigit", "1bob", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"leadingDot", ".bob", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"markup", "a<b>", "pw", "pw", {kInvalidName}, IDC_EDIT_ACCOUNT},
    {"existingBook", "alice", "pw", "pw", {kTaken}, IDC_EDIT_ACCOUNT},
    {"configurationName", "Config", "pw", "pw", {kTaken}, IDC_EDIT_ACCOUNT},
    {"unreadableFile", "locked", "pw", "pw", {kTaken}, IDC_EDIT_ACCOUNT},
    {"danglingLink", "ghost", "pw", "pw", {kTaken}, IDC_EDIT_ACCOUNT},
    {"folder", "folder", "pw", "pw", {kTaken}, IDC_EDIT_ACCOUNT},
};

class CreateAdminChecks : public CreateAdminDialogTest, public testing::WithParamInterface<CreateCase> {};

TEST_P(CreateAdminChecks, ShowsTheFirstFailureAndChangesNothing) {
    const CreateCase& c = GetParam();
    CDlgCreateAdmin dialog;
    Outcome outcome;
    const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
        outcome = Submit(
            dlg, {{IDC_EDIT_ACCOUNT, c.account}, {IDC_EDIT_PASSWORD, c.password}, {IDC_EDIT_CONFIRM, c.confirm}});
        EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText(), c.account) << "typed texts are kept";
        EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_CONFIRM)->GetWindowText(), c.confirm) << "typed texts are kept";
    });
    EXPECT_EQ(outcome.events, c.events);
    EXPECT_EQ(outcome.focusId, c.focusId);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "");
    EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), "");
    EXPECT_EQ(ProgramFiles(), m_filesBefore);
    EXPECT_EQ(ReadProgramFile("alice.xml"), m_aliceBook);
}

INSTANTIATE_TEST_SUITE_P(CreateAdmin, CreateAdminChecks, testing::ValuesIn(kCreateCases),
                         [](const testing::TestParamInfo<CreateCase>& info) { return std::string(info.param.label); });

TEST_F(CreateAdminDialogTest, FreeNamesBecomeTheAdministratorWithoutWritingAFile) {
    const struct {
        std::string account;
        std::string password;
    } cases[] = {{"bob", "pw"},   {"a1-b.c", "p w"}, {"_x", "secret"}, {"J\xC3\xBCrgen", "\xE2\x82\xAC"},
                 {"alice2", "x"}, {"config", "x"}};
    for (const auto& c : cases) {
        g_AccountBook.Clear();
        g_AccountBook.vecEntries.push_back(AccountEntry{});
        CDlgCreateAdmin dialog;
        Outcome outcome;
        const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
            outcome = Submit(
                dlg, {{IDC_EDIT_ACCOUNT, c.account}, {IDC_EDIT_PASSWORD, c.password}, {IDC_EDIT_CONFIRM, c.password}});
        });
        EXPECT_EQ(outcome.events, Events{}) << c.account;
        EXPECT_EQ(result, IDOK) << c.account;
        EXPECT_EQ(dialog.m_strAccount, c.account);
        EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), c.account);
        EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), c.password);
        EXPECT_EQ(g_AccountBook.vecEntries.size(), 1u) << "the entries are not the dialog's";
        // The name is reserved by its lock, and the new book lives in its journal until it is saved
        // at the end of the run.
        std::vector<std::string> expected = m_filesBefore;
        expected.push_back(c.account + ".xml.lock");
        expected.push_back(c.account + ".xml.journal");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ProgramFiles(), expected) << c.account;
        m_filesBefore.push_back(c.account + ".xml.journal"); // the lock goes with the next book
    }
}

// Another copy reserved the name with its lock and has not written the book yet.
TEST_F(CreateAdminDialogTest, ANameReservedByAnotherCopyIsTaken) {
    const OtherCopy other(m_dir, "bob", true);
    ASSERT_TRUE(other.Claimed());
    CDlgCreateAdmin dialog;
    Run(dialog, [&](CDialog& dlg) {
        EXPECT_EQ(Submit(dlg, {{IDC_EDIT_ACCOUNT, "bob"}, {IDC_EDIT_PASSWORD, "pw"}, {IDC_EDIT_CONFIRM, "pw"}}).events,
                  Events{kTaken});
    });
    EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "");
}

TEST_F(CreateAdminDialogTest, CorrectedInputSucceedsInTheSameDialog) {
    CDlgCreateAdmin dialog;
    const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
        EXPECT_EQ(
            Submit(dlg, {{IDC_EDIT_ACCOUNT, "alice"}, {IDC_EDIT_PASSWORD, "pw"}, {IDC_EDIT_CONFIRM, "pw"}}).events,
            Events{kTaken});
        EXPECT_EQ(Submit(dlg, {{IDC_EDIT_ACCOUNT, "carol"}, {IDC_EDIT_CONFIRM, "px"}}).events, Events{kMismatch});
        EXPECT_EQ(Submit(dlg, {{IDC_EDIT_CONFIRM, "pw"}}).events, Events{});
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "carol");
    EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), "pw");
}

TEST_F(CreateAdminDialogTest, CancelChangesNothing) {
    CDlgCreateAdmin dialog;
    const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText("bob");
        dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("pw");
        dlg.GetDlgItem(IDC_EDIT_CONFIRM)->SetWindowText("pw");
        static_cast<CButton*>(dlg.GetDlgItem(IDCANCEL))->Click();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(m_events.empty());
    EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "");
    EXPECT_EQ(ProgramFiles(), m_filesBefore);
}

TEST_F(CreateAdminDialogTest, WithoutApplicationOrMainWindowOnlyATraceIsWritten) {
    for (const bool dropApplication : {false, true}) {
        CDlgCreateAdmin dialog;
        Events events{"not run"};
        const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
            WithoutMainWindow(dropApplication, [&] {
                events = Submit(dlg, {{IDC_EDIT_ACCOUNT, "bob"}, {IDC_EDIT_PASSWORD, "pw"}, {IDC_EDIT_CONFIRM, "pw"}})
                             .events;
            });
        });
        EXPECT_EQ(result, IDCANCEL) << dropApplication;
        EXPECT_EQ(events, Events{kCreateTrace}) << dropApplication;
        EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), "") << dropApplication;
    }
}

// Longest names and passwords, in single- and multi-byte characters: typing stops at 128 bytes and
// the book holds them whole.
TEST_F(CreateAdminDialogTest, TextsAtTheByteLimitAreHeldWhole) {
    for (const LimitCase& c : kLimitCases) {
        g_AccountBook.Clear();
        CDlgCreateAdmin dialog;
        const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
            Type(dlg, IDC_EDIT_ACCOUNT, c.name + c.extra);
            Type(dlg, IDC_EDIT_PASSWORD, c.password + c.extra);
            Type(dlg, IDC_EDIT_CONFIRM, c.password + c.extra);
            EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText(), c.name);
            EXPECT_EQ(dlg.GetDlgItem(IDC_EDIT_CONFIRM)->GetWindowText(), c.password);
            m_events.clear();
            static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
            EXPECT_EQ(m_events, Events{});
        });
        EXPECT_EQ(result, IDOK) << c.extra;
        EXPECT_EQ(FieldText(g_AccountBook.szAdminAccount), c.name);
        EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), c.password);
    }
}

} // namespace
} // namespace access_test
