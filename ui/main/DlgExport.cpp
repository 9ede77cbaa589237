#include "DlgExport.h"

#include "AccessMessages.h"
#include "AccountBook.h"
#include "resource.h"
#include "wipe.h"

CDlgExport::CDlgExport(CWnd* parent) : CDialog(IDD_EXPORT, parent) {}

CDlgExport::CDlgExport(UINT templateId, const char* wrongPassword, CWnd* parent)
    : CDialog(templateId, parent), m_wrongPassword(wrongPassword) {}

CDlgLockBook::CDlgLockBook(bool encrypt, CWnd* parent)
    : CDlgExport(encrypt ? IDD_ENCRYPT_BOOK : IDD_DECRYPT_BOOK,
                 encrypt ? kMsgEncryptPasswordError : kMsgDecryptPasswordError, parent) {}

CDlgExport::~CDlgExport() {
    WipeString(m_strPassword);
}

const MessageMap& CDlgExport::GetMessageMap() const {
    static const MessageMap map = {msgmap::OnBnClicked(IDOK, &CDlgExport::OnBnClickedOk)};
    return map;
}

void CDlgExport::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_PASSWORD, m_strPassword);
    DDV_MaxChars(dx, m_strPassword, int(kMaxTextBytes));
}

void CDlgExport::OnBnClickedOk() {
    UpdateData(TRUE);
    if (m_strPassword.empty()) {
        ShowMessageAndFocus(*this, "Please input the password.", IDC_EDIT_PASSWORD);
        return;
    }
    // Compared as a login compares: every byte, letter case included.
    if (m_strPassword != FieldText(g_AccountBook.szAdminPassword)) {
        ShowMessageAndFocus(*this, m_wrongPassword, IDC_EDIT_PASSWORD);
        return;
    }
    CDialog::OnOK();
}
