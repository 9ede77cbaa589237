// The Change Password dialog: the order of its checks, its messages and focus, and that only the
// book's own administrator password lets it through.
#include "AccessTestSupport.h"
#include "AccountBook.h"
#include "DlgChangePassword.h"
#include "resource.h"

#include <ostream>
#include <string>

namespace access_test {
namespace {

struct ChangeCase {
    const char* label;
    std::string oldPassword, password, confirm;
    Events events;
    UINT focusId;
    INT_PTR result;
};

void PrintTo(const ChangeCase& c, std::ostream* os) {
    *os << c.label;
}

const ChangeCase kChangeCases[] = {
    {"allEmpty", "", "", "", {"box:Please input the old password."}, IDC_EDIT_OLD_PASSWORD, IDCANCEL},
    {"newEmpty", "secret", "", "n", {"box:Please input the password."}, IDC_EDIT_PASSWORD, IDCANCEL},
    {"confirmEmpty", "secret", "n", "", {"box:Please input the confirm password."}, IDC_EDIT_CONFIRM, IDCANCEL},
    {"newTypedDifferently", "secret", "n", "N", {"box:Two passwords must be same."}, IDC_EDIT_PASSWORD, IDCANCEL},
    {"oldWrong", "Secret", "n", "n", {"box:Change Password Failed:Password error."}, IDC_EDIT_OLD_PASSWORD, IDCANCEL},
    {"oldRight", "secret", "n", "n", {}, 0, IDOK},
};

class ChangePasswordChecks : public AccessDialogTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangePasswordChecks, LetOnlyTheBooksOwnPasswordThrough) {
    const ChangeCase& c = GetParam();
    CopyFieldText(g_AccountBook.szAdminAccount, "alice");
    CopyFieldText(g_AccountBook.szAdminPassword, "secret");
    CDlgChangePassword dialog;
    Outcome outcome;
    const INT_PTR result = Run(dialog, [&](CDialog& dlg) {
        outcome = Submit(
            dlg,
            {{IDC_EDIT_OLD_PASSWORD, c.oldPassword}, {IDC_EDIT_PASSWORD, c.password}, {IDC_EDIT_CONFIRM, c.confirm}});
    });
    EXPECT_EQ(outcome.events, c.events);
    if (result != IDOK) {
        EXPECT_EQ(outcome.focusId, c.focusId);
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), "secret") << "the dialog only asks";
}

INSTANTIATE_TEST_SUITE_P(ChangePassword, ChangePasswordChecks, testing::ValuesIn(kChangeCases),
                         [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.label); });

} // namespace
} // namespace access_test
