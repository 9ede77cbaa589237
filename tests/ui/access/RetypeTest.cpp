// A refused text can be retyped: after each refusal of the account dialogs, of Export and of the
// merge's password, typing the right text into the edit that holds the focus replaces the wrong one,
// and the next OK goes through.
#include "AccessTestSupport.h"
#include "AccountBook.h"
#include "DlgChangePassword.h"
#include "DlgCreateAdmin.h"
#include "DlgExport.h"
#include "DlgImportBook.h"
#include "DlgLogin.h"
#include "resource.h"

#include <QLineEdit>
#include <QTest>

#include <memory>
#include <ostream>

namespace access_test {
namespace {

const BookFixture kAlice{"alice", "secret", {{"abc", "p1", ""}}};

using MakeDialog = std::function<std::unique_ptr<CDialog>(const std::string& dir, AccountBook& merged)>;
template <class Dialog> std::unique_ptr<CDialog> Make(const std::string&, AccountBook&) {
    return std::make_unique<Dialog>();
}
std::unique_ptr<CDialog> Merge(const std::string& dir, AccountBook& merged) {
    return std::make_unique<CDlgImportBook>(dir + "/alice.xml", merged);
}

struct RetypeCase {
    const char* label;
    MakeDialog make;
    FieldTexts typed;    // the texts before the first OK
    UINT enterIn;        // the edit that holds the focus when OK is pressed
    std::string refusal; // the box the first OK shows
    UINT retypeIn;       // the edit that holds the focus once the box closed
    std::string retyped; // typed there, over what it holds
};

void PrintTo(const RetypeCase& c, std::ostream* os) {
    *os << c.label;
}

const RetypeCase kRetypeCases[] = {
    {"loginPasswordKeepsFocus",
     Make<CDlgLogin>,
     {{IDC_EDIT_ACCOUNT, "alice"}, {IDC_EDIT_PASSWORD, "secreT"}},
     IDC_EDIT_PASSWORD,
     "box:Login Failed:Password error.",
     IDC_EDIT_PASSWORD,
     "secret"},
    {"loginAccountKeepsFocus",
     Make<CDlgLogin>,
     {{IDC_EDIT_ACCOUNT, "alicia"}, {IDC_EDIT_PASSWORD, "secret"}},
     IDC_EDIT_ACCOUNT,
     "box:Login Failed:Account error.",
     IDC_EDIT_ACCOUNT,
     "alice"},
    {"createAdminMovesToPassword",
     Make<CDlgCreateAdmin>,
     {{IDC_EDIT_ACCOUNT, "bob"}, {IDC_EDIT_PASSWORD, "pw1"}, {IDC_EDIT_CONFIRM, "pw2"}},
     IDC_EDIT_CONFIRM,
     "box:Two passwords must be same.",
     IDC_EDIT_PASSWORD,
     "pw2"},
    {"createAdminMovesToAccount",
     Make<CDlgCreateAdmin>,
     {{IDC_EDIT_ACCOUNT, "9bob"}, {IDC_EDIT_PASSWORD, "pw"}, {IDC_EDIT_CONFIRM, "pw"}},
     IDC_EDIT_CONFIRM,
     "box:Invalid account name.",
     IDC_EDIT_ACCOUNT,
     "bob"},
    {"changePasswordMovesToOld",
     Make<CDlgChangePassword>,
     {{IDC_EDIT_OLD_PASSWORD, "Secret"}, {IDC_EDIT_PASSWORD, "new"}, {IDC_EDIT_CONFIRM, "new"}},
     IDC_EDIT_CONFIRM,
     "box:Change Password Failed:Password error.",
     IDC_EDIT_OLD_PASSWORD,
     "secret"},
    {"exportPassword",
     Make<CDlgExport>,
     {{IDC_EDIT_PASSWORD, "secrets"}},
     IDC_EDIT_PASSWORD,
     "box:Export Failed:Password error.",
     IDC_EDIT_PASSWORD,
     "secret"},
    {"mergePassword",
     Merge,
     {{IDC_EDIT_ACCOUNT, "alice"}, {IDC_EDIT_PASSWORD, "s"}},
     IDC_EDIT_PASSWORD,
     "box:Import Failed:Password error.",
     IDC_EDIT_PASSWORD,
     "secret"},
};

class RefusedTextRetyped : public AccessDialogTest, public testing::WithParamInterface<RetypeCase> {};

TEST_P(RefusedTextRetyped, ReplacesTheRefusedTextAndGoesThrough) {
    const RetypeCase& c = GetParam();
    WriteProgramFile("alice.xml", BookXml(kAlice));
    CopyFieldText(g_AccountBook.szAdminAccount, "alice");
    CopyFieldText(g_AccountBook.szAdminPassword, "secret");
    AccountBook merged;
    const std::unique_ptr<CDialog> dialog = c.make(m_dir, merged);
    const INT_PTR result = Run(*dialog, [&](CDialog& dlg) {
        for (const auto& [id, text] : c.typed)
            dlg.GetDlgItem(id)->SetWindowText(text);
        dlg.GetDlgItem(c.enterIn)->SetFocus();
        m_events.clear();
        static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
        ASSERT_EQ(m_events, Events{c.refusal});
        CWnd* focus = CWnd::GetFocus();
        ASSERT_NE(focus, nullptr);
        ASSERT_EQ(focus->GetDlgCtrlID(), c.retypeIn);
        QTest::keyClicks(focus->GetSafeHwnd(), QString::fromStdString(c.retyped));
        EXPECT_EQ(focus->GetWindowText(), c.retyped) << "typing replaces the refused text";
        m_events.clear();
        static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
        EXPECT_EQ(m_events, Events{});
    });
    EXPECT_EQ(result, IDOK);
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedTextRetyped, testing::ValuesIn(kRetypeCases),
                         [](const testing::TestParamInfo<RetypeCase>& info) { return std::string(info.param.label); });

} // namespace
} // namespace access_test
