// The main window's copies from the entry list and its Find: keys, the list's menu, and the
// search through the rows.
#include "ManagerDlg.h"

#include "AccountBook.h"
#include "DlgFind.h"
#include "MessageBox.h"
#include "TextSearch.h"
#include "resource.h"
#include "wipe.h"

#include <array>
#include <string_view>

namespace {

constexpr int kAccountColumn = 0;
constexpr int kPasswordColumn = 1;
constexpr int kColumnCount = 3;

constexpr UINT kCopyPasswordCommand = 1;
constexpr UINT kCopyAccountCommand = 2;

bool ControlHeld() {
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

} // namespace

bool CManagerDlg::HandleCopyAndFindKeys(const MSG& msg) {
    if (!m_bBookOpen)
        return false;
    const bool ctrl = ControlHeld();
    const CWnd* focus = GetFocus();
    const bool inList = focus && focus->GetSafeHwnd() == m_listAccounts.GetSafeHwnd();
    if (ctrl && inList && (msg.wParam == 'C' || msg.wParam == 'B')) {
        // The list never copies a cell itself: that copy would not be guarded.
        CopyChosenCell(msg.wParam == 'C' ? kPasswordColumn : kAccountColumn);
        return true;
    }
    if (ctrl && msg.wParam == 'F') {
        OnFind();
        return true;
    }
    if (msg.wParam == VK_F3 && !ctrl) {
        FindAgain((GetKeyState(VK_SHIFT) & 0x8000) == 0);
        return true;
    }
    return false;
}

void CManagerDlg::CopyChosenCell(int column) {
    if (m_nSelItem < 0 || m_nSelItem >= m_listAccounts.GetItemCount())
        return;
    std::string text = m_listAccounts.GetItemText(m_nSelItem, column);
    AfxCopySecretToClipboard(text);
    WipeString(text);
}

void CManagerDlg::OnContextMenu(UINT controlId, CPoint at) {
    if (controlId != IDC_LIST_ACCOUNTS || !m_bBookOpen || m_nSelItem < 0)
        return;
    CMenu menu;
    menu.AppendMenu(MF_STRING, kCopyPasswordCommand, "Copy &Password\tCtrl+C");
    menu.AppendMenu(MF_STRING, kCopyAccountCommand, "Copy Account &ID\tCtrl+B");
    const UINT chosen = menu.TrackPopupMenu(TPM_RETURNCMD, at.x, at.y, this);
    if (chosen == kCopyPasswordCommand)
        CopyChosenCell(kPasswordColumn);
    else if (chosen == kCopyAccountCommand)
        CopyChosenCell(kAccountColumn);
}

void CManagerDlg::OnFind() {
    CDlgFind find([this](const std::string& text) {
        m_strFindText = text;
        return FindAndChoose(text, true);
    });
    find.m_strText = m_strFindText;
    find.DoModal();
    WipeString(find.m_strText);
}

void CManagerDlg::FindAgain(bool forward) {
    if (m_strFindText.empty()) {
        OnFind();
        return;
    }
    if (!FindAndChoose(m_strFindText, forward))
        ShowMessage(kMsgItemNotFound, this);
}

bool CManagerDlg::FindAndChoose(const std::string& text, bool forward) {
    const int row = FindRow(text, forward);
    if (row < 0)
        return false;
    ChooseRowAsClick(row);
    return true;
}

int CManagerDlg::FindRow(const std::string& text, bool forward) const {
    const int count = m_listAccounts.GetItemCount();
    const bool chosen = m_nSelItem >= 0 && m_nSelItem < count;
    int row = chosen ? m_nSelItem : (forward ? -1 : count);
    const TextSearch search(text);
    for (int step = 0; step < count; ++step) {
        row = ((forward ? row + 1 : row - 1) % count + count) % count;
        if (RowContains(row, search))
            return row;
    }
    return -1;
}

bool CManagerDlg::RowContains(int row, const TextSearch& search) const {
    std::array<char, kMaxTextBytes * 2 + 1> cell{};
    bool found = false;
    for (int column = 0; column < kColumnCount && !found; ++column) {
        const int length = m_listAccounts.GetItemText(row, column, cell.data(), int(cell.size()));
        found = search.FoundIn(std::string_view(cell.data(), std::size_t(length)));
    }
    WipeBytes(cell.data(), cell.size());
    return found;
}

void CManagerDlg::ChooseRowAsClick(int row) {
    m_listAccounts.SetItemState(-1, 0, LVIS_SELECTED);
    m_listAccounts.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_listAccounts.EnsureVisible(row, FALSE);
}
