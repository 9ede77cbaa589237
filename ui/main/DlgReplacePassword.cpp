#include "DlgReplacePassword.h"

#include "AccessMessages.h"
#include "AccountBook.h"
#include "DlgGeneratePassword.h"
#include "resource.h"
#include "wipe.h"

CDlgReplacePassword::CDlgReplacePassword(std::string account, std::string comment, PasswordGeneratorOptions& options,
                                         CWnd* parent)
    : CDialog(IDD_REPLACE_PASSWORD, parent), m_strAccount(std::move(account)), m_strComment(std::move(comment)),
      m_options(options) {}

CDlgReplacePassword::~CDlgReplacePassword() {
    WipeString(m_strPassword);
}

const MessageMap& CDlgReplacePassword::GetMessageMap() const {
    static const MessageMap map = {
        msgmap::OnBnClicked(IDC_BTN_GENERATE, &CDlgReplacePassword::OnBnClickedGenerate),
    };
    return map;
}

void CDlgReplacePassword::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_PASSWORD, m_strPassword);
    DDV_MaxChars(dx, m_strPassword, int(kMaxTextBytes));
}

BOOL CDlgReplacePassword::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CWnd* account = GetDlgItem(IDC_EDIT_ACCOUNT))
        account->SetWindowText(m_strAccount);
    if (CWnd* comment = GetDlgItem(IDC_EDIT_COMMENT))
        comment->SetWindowText(m_strComment);
    if (auto* password = static_cast<CEdit*>(GetDlgItem(IDC_EDIT_PASSWORD))) {
        password->GuardClipboard();
        password->SetFocus();
    }
    return FALSE;
}

void CDlgReplacePassword::OnBnClickedGenerate() {
    CDlgGeneratePassword generator(m_options, this);
    if (generator.DoModal() != IDOK)
        return;
    std::string password(generator.Password());
    if (CWnd* field = GetDlgItem(IDC_EDIT_PASSWORD)) {
        field->SetWindowText(password);
        field->SetFocus();
    }
    WipeString(password);
}

void CDlgReplacePassword::OnOK() {
    if (!UpdateData(TRUE))
        return;
    if (m_strPassword.empty()) {
        ShowMessageAndFocus(*this, "Please input the password.", IDC_EDIT_PASSWORD);
        return;
    }
    EndDialog(IDOK);
}
