#include "DlgLogin.h"

#include "AccessMessages.h"
#include "MessageBox.h"
#include "AccountBook.h"
#include "BookFile.h"
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

bool CDlgLogin::CredentialsMatchBook() const {
    return m_strAccount == FieldText(g_AccountBook.szAdminAccount) &&
           m_strPassword == FieldText(g_AccountBook.szAdminPassword);
}

void CDlgLogin::OnBnClickedOk() {
    UpdateData(TRUE);
    if (m_strAccount.empty()) {
        ShowMessageAndFocus(*this, "Please input the account.", IDC_EDIT_ACCOUNT);
        return;
    }
    if (m_strPassword.empty()) {
        ShowMessageAndFocus(*this, "Please input the password.", IDC_EDIT_PASSWORD);
        return;
    }
    CWinApp* app = AfxGetApp();
    auto* mainDlg = app != nullptr ? dynamic_cast<CManagerDlg*>(app->m_pMainWnd) : nullptr;
    if (mainDlg == nullptr) {
        return;
    }
    std::string path;
    if (!CManagerDlg::AccountFileExists(m_strAccount.c_str()) || !AppDirPath((m_strAccount + ".xml").c_str(), path)) {
        ShowMessage("Login Failed:Account error.", this);
        return;
    }
    // One copy of the program at a time may hold a book open; nothing is read while another does.
    if (!g_BookFile.ClaimExisting(g_szAppDir, m_strAccount)) {
        ShowMessage(g_BookFile.LockUnavailable() ? kMsgLoginCannotLock : "Login Failed:Account is in use.", this);
        return;
    }
    // A book that is not opened is wiped before anything else happens: its secrets are another
    // person's until the password matched.
    if (!mainDlg->LoadAccountFile(path.c_str())) {
        g_AccountBook.Clear();
        g_BookFile.Release();
        ShowMessage("Invalid file.", this);
        WriteTrace(kInvalidFileTraceLine, "CDlgLogin::OnBnClickedOk");
        return;
    }
    if (CredentialsMatchBook()) {
        CDialog::OnOK();
        return;
    }
    g_AccountBook.Clear();
    g_BookFile.Release();
    ShowMessage("Login Failed:Password error.", this);
}
