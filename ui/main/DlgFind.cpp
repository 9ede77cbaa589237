#include "DlgFind.h"

#include "AccountBook.h"
#include "MessageBox.h"
#include "resource.h"

#include <utility>

CDlgFind::CDlgFind(FindNext findNext, CWnd* parent) : CDialog(IDD_FIND, parent), m_findNext(std::move(findNext)) {}

const MessageMap& CDlgFind::GetMessageMap() const {
    static const MessageMap map = {msgmap::OnBnClicked(IDOK, &CDlgFind::OnBnClickedFindNext)};
    return map;
}

void CDlgFind::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_FIND, m_strText);
    DDV_MaxChars(dx, m_strText, int(kMaxTextBytes));
}

void CDlgFind::OnBnClickedFindNext() {
    if (!UpdateData(TRUE))
        return;
    if (!m_strText.empty() && m_findNext && m_findNext(m_strText)) {
        EndDialog(IDOK);
        return;
    }
    if (!m_strText.empty())
        ShowMessage(kMsgItemNotFound, this);
    if (CWnd* edit = GetDlgItem(IDC_EDIT_FIND))
        edit->SetFocus();
}
