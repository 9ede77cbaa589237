// The main window's commands for strong passwords: a generated password for the Password field,
// and the check that finds weak and reused passwords among the rows.
#include "ManagerDlg.h"

#include "AccountBook.h"
#include "OpenBook.h"
#include "DlgCheckPasswords.h"
#include "DlgGeneratePassword.h"
#include "DlgReplacePassword.h"
#include "resource.h"
#include "wipe.h"

// Use fills the Password field and nothing else: the rows, the other fields and the book's
// modified state stay as they were until the user inserts or updates.
void CManagerDlg::OnGeneratePassword() {
    CDlgGeneratePassword dialog(m_generatorOptions);
    if (dialog.DoModal() != IDOK)
        return;
    std::string password(dialog.Password());
    if (CWnd* field = GetDlgItem(IDC_EDIT_PASSWORD))
        field->SetWindowText(password);
    WipeString(password);
}

// The check reads a copy of the rows as the list holds them, so the window stays free to repaint
// while the worker runs; the copy is taken again after each change made from the dialog. The chosen
// line's entry is then chosen as a click would choose it, ready for a new password.
void CManagerDlg::OnCheckPasswords() {
    CDlgCheckPasswords dialog;
    dialog.m_bookEncrypted = g_OpenBook.IsSealed();
    const auto copyBook = [this, &dialog] {
        CopyFieldText(dialog.m_book.szAdminAccount, FieldText(g_AccountBook.szAdminAccount));
        CopyFieldText(dialog.m_book.szAdminPassword, FieldText(g_AccountBook.szAdminPassword));
        CollectRows(dialog.m_book.vecEntries);
    };
    copyBook();
    dialog.m_replacePassword = [this, &copyBook](std::size_t row) {
        const bool replaced = ReplaceRowPassword(int(row));
        if (replaced)
            copyBook();
        return replaced;
    };
    dialog.m_changeAdminPassword = [this, &copyBook] {
        const bool changed = ChangeAdminPassword();
        if (changed)
            copyBook();
        return changed;
    };
    if (dialog.DoModal() == IDOK && dialog.m_nChosenRow >= 0 && dialog.m_nChosenRow < m_listAccounts.GetItemCount()) {
        ChooseRowAsClick(dialog.m_nChosenRow);
        FocusControl(IDC_EDIT_PASSWORD);
    }
}

// The row is chosen and its new password put in the Password field, then Update does the rest: the
// duplicate rule, the journal, the modified book. The row's other texts stay as they are.
bool CManagerDlg::ReplaceRowPassword(int row) {
    if (row < 0 || row >= m_listAccounts.GetItemCount())
        return false;
    CDlgReplacePassword dialog(m_listAccounts.GetItemText(row, 0), m_listAccounts.GetItemText(row, 2),
                               m_generatorOptions);
    if (dialog.DoModal() != IDOK)
        return false;
    ChooseRowAsClick(row);
    if (CWnd* field = GetDlgItem(IDC_EDIT_PASSWORD))
        field->SetWindowText(dialog.m_strPassword);
    OnBnClickedUpdate();
    AccountEntry updated;
    CopyRow(row, updated);
    const bool replaced = FieldText(updated.szPassword) == dialog.m_strPassword;
    WipeBytes(&updated, sizeof updated);
    return replaced;
}
