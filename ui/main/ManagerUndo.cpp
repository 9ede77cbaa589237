// The main window's Undo and Redo: every change to the book taken back, or made again, as a change
// of its own. Its records go through the rows, their duplicate index and the session journal as
// the entry commands' do, so an undo is refused as they refuse a row, and outlives a kill.
#include "ManagerDlg.h"

#include "MessageBox.h"
#include "OpenBook.h"
#include "resource.h"
#include "wipe.h"

#include <utility>

namespace {

bool KeyHeld(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

// The item of the window menu that undoes or redoes the step; the key after a tab.
std::string UndoItemText(const char* verb, const UndoStep* step, const char* key) {
    return std::string(verb) + (step ? " " + step->what : std::string()) + "\t" + key;
}

bool IsEditField(UINT id) {
    return id == IDC_EDIT_ACCOUNT || id == IDC_EDIT_PASSWORD || id == IDC_EDIT_COMMENT;
}

} // namespace

void CManagerDlg::RememberRowChange(JournalChange change, int row, const AccountEntry& entry) {
    const auto at = std::size_t(row);
    if (change == JournalChange::Insert)
        RememberStep(InsertStep(at, entry));
    else if (change == JournalChange::Update)
        RememberStep(UpdateStep(at, m_replacedRow, entry));
    else if (change == JournalChange::Delete)
        RememberStep(DeleteStep(at, m_replacedRow));
    WipeBytes(&m_replacedRow, sizeof m_replacedRow);
}

void CManagerDlg::RememberStep(UndoStep step) {
    m_history.Add(std::move(step));
    ShowUndoItems();
}

// Undo and Redo come first in the window menu, grayed until there is a change to take back.
void CManagerDlg::AddUndoItemsToSystemMenu(CMenu& menu) {
    menu.InsertMenu(0, MF_BYPOSITION | MF_STRING | MF_GRAYED, IDM_UNDO, UndoItemText("&Undo", nullptr, "Ctrl+Z"));
    menu.InsertMenu(1, MF_BYPOSITION | MF_STRING | MF_GRAYED, IDM_REDO, UndoItemText("R&edo", nullptr, "Ctrl+Y"));
    menu.InsertMenu(2, MF_BYPOSITION | MF_SEPARATOR);
}

void CManagerDlg::ShowUndoItems() {
    CMenu* menu = GetSystemMenu(FALSE);
    if (!menu)
        return;
    const UndoStep* undo = m_history.NextUndo();
    const UndoStep* redo = m_history.NextRedo();
    menu->ModifyMenu(IDM_UNDO, MF_BYCOMMAND | MF_STRING | (undo ? MF_ENABLED : MF_GRAYED), IDM_UNDO,
                     UndoItemText("&Undo", undo, "Ctrl+Z"));
    menu->ModifyMenu(IDM_REDO, MF_BYCOMMAND | MF_STRING | (redo ? MF_ENABLED : MF_GRAYED), IDM_REDO,
                     UndoItemText("R&edo", redo, "Ctrl+Y"));
}

bool CManagerDlg::RunUndoCommand(UINT id) {
    if (id == IDM_UNDO)
        OnUndo();
    else if (id == IDM_REDO)
        OnRedo();
    else
        return false;
    return true;
}

bool CManagerDlg::HandleUndoKeys(const MSG& msg) {
    if (!m_bBookOpen || !KeyHeld(VK_CONTROL) || (msg.wParam != 'Z' && msg.wParam != 'Y'))
        return false;
    const CWnd* focus = CWnd::GetFocus();
    if (focus && IsEditField(focus->GetDlgCtrlID()))
        return false;
    if (msg.wParam == 'Z' && !KeyHeld(VK_SHIFT))
        OnUndo();
    else
        OnRedo();
    return true;
}

void CManagerDlg::OnUndo() {
    if (TakeStep(m_history.NextUndo(), true))
        m_history.Undone();
    ShowUndoItems();
}

void CManagerDlg::OnRedo() {
    if (TakeStep(m_history.NextRedo(), false))
        m_history.Redone();
    ShowUndoItems();
}

// A step is refused as the entry commands refuse a change: one that would repeat a row says so, and
// one that no longer fits the rows (the history lost step with them) is forgotten.
bool CManagerDlg::TakeStep(const UndoStep* step, bool undo) {
    if (!step) {
        MessageBeep(MB_OK);
        return false;
    }
    const JournalRecords& records = undo ? step->undone : step->done;
    if (!FitsRows(records, std::size_t(m_listAccounts.GetItemCount()))) {
        m_history.Clear();
        MessageBeep(MB_OK);
        return false;
    }
    if (RepeatsRow(records, m_index)) {
        ShowMessage(kMsgDuplicate, this);
        return false;
    }
    const int chosen = ApplyToRows(records);
    m_bModified = 1;
    std::string reason;
    const bool recorded = g_OpenBook.RecordStep(records, WindowRows(), &reason);
    if (chosen >= 0)
        ChooseRowAsClick(chosen);
    ReportJournalFailure(recorded, reason);
    return true;
}

// A step of one row chooses that row, as a click would; one of many (an import) shows the first.
int CManagerDlg::ApplyToRows(const JournalRecords& records) {
    int chosen = -1;
    for (const JournalRecord& record : records) {
        const int row = int(record.row);
        switch (record.change) {
        case JournalChange::Insert:
        case JournalChange::InsertAt:
            m_listAccounts.InsertItem(row, std::string());
            PutRowTexts(row, record.entry);
            chosen = chosen == -1 ? row : chosen;
            break;
        case JournalChange::Update:
            ForgetRowTexts(row);
            PutRowTexts(row, record.entry);
            chosen = row;
            break;
        case JournalChange::Delete:
            ForgetRowTexts(row);
            m_listAccounts.DeleteItem(row);
            RowRemoved(row);
            break;
        case JournalChange::Batch:
        case JournalChange::Removal:
        case JournalChange::Snapshot:
        case JournalChange::AdminPassword:
            break;
        }
    }
    WipeBytes(&m_replacedRow, sizeof m_replacedRow);
    if (records.size() > 1 && chosen >= 0) {
        m_listAccounts.EnsureVisible(chosen, FALSE);
        return -1;
    }
    return chosen;
}

void CManagerDlg::PutRowTexts(int row, const AccountEntry& entry) {
    const EntryTexts texts = TextsOf(entry);
    std::string cell;
    m_listAccounts.SetItemText(row, 0, cell.assign(texts.account));
    m_listAccounts.SetItemText(row, 1, cell.assign(texts.password));
    m_listAccounts.SetItemText(row, 2, cell.assign(texts.comment));
    m_index.Add(texts);
    WipeString(cell);
}

void CManagerDlg::RowRemoved(int row) {
    if (m_nSelItem > row) {
        --m_nSelItem;
    } else if (m_nSelItem == row) {
        m_nSelItem = -1;
        m_btnUpdate.EnableWindow(FALSE);
        m_btnDelete.EnableWindow(FALSE);
    }
}
