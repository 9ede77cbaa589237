#include "MessageBox.h"

#include "resource.h"

CMessageBox::CMessageBox(const std::string& text, CWnd* owner) : CDialog(IDD_MESSAGE_BOX, owner), m_strText(text) {
    m_bMessageBox = true;
}

const MessageMap& CMessageBox::GetMessageMap() const {
    static const MessageMap map = {
        msgmap::OnBnClicked(IDC_BTN_MSGBOX_OK, &CMessageBox::OnOK),
        msgmap::OnMessage(WM_PAINT, &CMessageBox::OnPaint),
    };
    return map;
}

void CMessageBox::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_STATIC_MSGBOX_TEXT, m_stcText);
}

BOOL CMessageBox::OnInitDialog() {
    CDialog::OnInitDialog();
    MessageBeep(MB_ICONQUESTION);
    m_stcText.SetWindowText(m_strText);
    return TRUE;
}

void CMessageBox::OnPaint() {
    CPaintDC dc(this);
}

void ShowMessage(const std::string& text, CWnd* owner) {
    CMessageBox box(text, owner);
    box.DoModal();
}
