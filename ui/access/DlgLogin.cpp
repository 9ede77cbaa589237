#include "DlgLogin.h"

#include "AccessMessages.h"
#include "MessageBox.h"
#include "AccountBook.h"
#include "OpenBook.h"
#include "Globals.h"
#include "ManagerDlg.h"
#include "resource.h"
#include "wipe.h"

namespace {
// Each field accepts what a book field holds.
constexpr int kFieldLimit = int(kMaxTextBytes);
// Where the trace names a book that could not be read.
constexpr int kInvalidFileTraceLine = 87;
} // namespace

CDlgLogin::CDlgLogin(CWnd* parent) : CDialog(IDD_LOGIN, parent) {}

CDlgLogin::CDlgLogin(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CDlgLogin::~CDlgLogin() {
    WipeString(m_strPassword);
}

const MessageMap& CDlgLogin::GetMessageMap() const {
    static const MessageMap map = {msgmap::OnBnClicked(IDOK, &CDlgLogin::OnBnClickedOk)};
    return map;
}

void CDlgLogin::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_ACCOUNT, m_strAccount);
    DDV_MaxChars(dx, m_strAccount, kFieldLimit);
    DDX_Text(dx, IDC_EDIT_PASSWORD, m_strPassword);
    DDV_MaxChars(dx, m_strPassword, kFieldLimit);
}

bool CDlgLogin::AccountAndPasswordTyped() {
    UpdateData(TRUE);
    if (m_strAccount.empty()) {
        ShowMessageAndFocus(*this, "Please input the account.", IDC_EDIT_ACCOUNT);
        return false;
    }
    if (m_strPassword.empty()) {
        ShowMessageAndFocus(*this, "Please input the password.", IDC_EDIT_PASSWORD);
        return false;
    }
    return true;
}

void CDlgLogin::OnBnClickedOk() {
    if (!AccountAndPasswordTyped())
        return;
    CWinApp* app = AfxGetApp();
    auto* mainDlg = app != nullptr ? dynamic_cast<CManagerDlg*>(app->m_pMainWnd) : nullptr;
    if (mainDlg == nullptr) {
        return;
    }
    // A book that is not opened leaves nothing in memory: its secrets are another person's until
    // the password matched.
    switch (g_OpenBook.Open(g_szAppDir, m_strAccount, m_strPassword, CBase64())) {
    case OpenOutcome::Opened:
        CDialog::OnOK();
        return;
    case OpenOutcome::NoSuchBook:
        ShowMessage("Login Failed:Account error.", this);
        return;
    case OpenOutcome::InUse:
        ShowMessage("Login Failed:Account is in use.", this);
        return;
    case OpenOutcome::CannotLock:
        ShowMessage(kMsgLoginCannotLock, this);
        return;
    case OpenOutcome::NotABook:
        ShowMessage("Invalid file.", this);
        WriteTrace(kInvalidFileTraceLine, "CDlgLogin::OnBnClickedOk");
        return;
    case OpenOutcome::WrongPassword:
        ShowMessage("Login Failed:Password error.", this);
        return;
    case OpenOutcome::Damaged:
        ShowMessage(kMsgLoginDamaged, this);
        return;
    case OpenOutcome::TooCostly:
        ShowMessage(kMsgLoginTooCostly, this);
        return;
    case OpenOutcome::NewerFormat:
        ShowMessage(kMsgLoginNewerFormat, this);
        return;
    case OpenOutcome::NoMemory:
        ShowMessage(kMsgLoginNoMemory, this);
        return;
    }
}
