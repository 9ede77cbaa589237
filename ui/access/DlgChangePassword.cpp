#include "DlgChangePassword.h"

#include "AccessMessages.h"
#include "AccountBook.h"
#include "resource.h"
#include "wipe.h"

namespace {
constexpr int kFieldLimit = int(kMaxTextBytes);
} // namespace

CDlgChangePassword::CDlgChangePassword(CWnd* parent) : CDialog(IDD_CHANGE_PASSWORD, parent) {}

CDlgChangePassword::~CDlgChangePassword() {
    WipeString(m_strOldPassword);
    WipeString(m_strPassword);
    WipeString(m_strConfirm);
}

const MessageMap& CDlgChangePassword::GetMessageMap() const {
    static const MessageMap map = {msgmap::OnBnClicked(IDOK, &CDlgChangePassword::OnBnClickedOk)};
    return map;
}

void CDlgChangePassword::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_OLD_PASSWORD, m_strOldPassword);
    DDV_MaxChars(dx, m_strOldPassword, kFieldLimit);
    DDX_Text(dx, IDC_EDIT_PASSWORD, m_strPassword);
    DDV_MaxChars(dx, m_strPassword, kFieldLimit);
    DDX_Text(dx, IDC_EDIT_CONFIRM, m_strConfirm);
    DDV_MaxChars(dx, m_strConfirm, kFieldLimit);
}

void CDlgChangePassword::OnBnClickedOk() {
    UpdateData(TRUE);
    if (m_strOldPassword.empty()) {
        ShowMessageAndFocus(*this, "Please input the old password.", IDC_EDIT_OLD_PASSWORD);
        return;
    }
    if (!NewPasswordAccepted(*this, m_strPassword, m_strConfirm))
        return;
    // Compared as a login compares: every byte, letter case included.
    if (m_strOldPassword != FieldText(g_AccountBook.szAdminPassword)) {
        ShowMessageAndFocus(*this, kMsgChangePasswordError, IDC_EDIT_OLD_PASSWORD);
        return;
    }
    CDialog::OnOK();
}
