#include "DlgCreateAdmin.h"

#include "AccessMessages.h"
#include "AccountBook.h"
#include "OpenBook.h"
#include "AccountName.h"
#include "Globals.h"
#include "resource.h"
#include "wipe.h"

namespace {
// Each field accepts what a book field holds.
constexpr int kFieldLimit = int(kMaxTextBytes);
// Where the trace notes that there was no main window to create the book for.
constexpr int kNoMainWindowTraceLine = 88;
} // namespace

CDlgCreateAdmin::CDlgCreateAdmin(CWnd* parent) : CDialog(IDD_CREATE_ADMIN, parent) {}

CDlgCreateAdmin::~CDlgCreateAdmin() {
    WipeString(m_strPassword);
    WipeString(m_strConfirm);
}

const MessageMap& CDlgCreateAdmin::GetMessageMap() const {
    static const MessageMap map = {msgmap::OnBnClicked(IDOK, &CDlgCreateAdmin::OnBnClickedOk)};
    return map;
}

void CDlgCreateAdmin::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_ACCOUNT, m_strAccount);
    DDV_MaxChars(dx, m_strAccount, kFieldLimit);
    DDX_Text(dx, IDC_EDIT_PASSWORD, m_strPassword);
    DDV_MaxChars(dx, m_strPassword, kFieldLimit);
    DDX_Text(dx, IDC_EDIT_CONFIRM, m_strConfirm);
    DDV_MaxChars(dx, m_strConfirm, kFieldLimit);
}

void CDlgCreateAdmin::OnBnClickedOk() {
    UpdateData(TRUE);
    if (m_strAccount.empty()) {
        ShowMessageAndFocus(*this, "Please input the account.", IDC_EDIT_ACCOUNT);
        return;
    }
    if (!NewPasswordAccepted(*this, m_strPassword, m_strConfirm)) {
        return;
    }
    // The name becomes the book's file name and the root element of its file.
    if (!IsValidAccountName(m_strAccount)) {
        ShowMessageAndFocus(*this, "Invalid account name.", IDC_EDIT_ACCOUNT);
        return;
    }
    CWinApp* app = AfxGetApp();
    if (app == nullptr || app->m_pMainWnd == nullptr) {
        WriteTrace(kNoMainWindowTraceLine, "CDlgCreateAdmin::OnBnClickedOk");
        return;
    }
    const CreateOutcome created = g_OpenBook.Create(g_szAppDir, m_strAccount, m_strPassword);
    if (created != CreateOutcome::Created) {
        ShowMessageAndFocus(
            *this, created == CreateOutcome::CannotLock ? kMsgCreateCannotLock : "Error:The Account is existend.",
            IDC_EDIT_ACCOUNT);
        return;
    }
    CDialog::OnOK();
}
