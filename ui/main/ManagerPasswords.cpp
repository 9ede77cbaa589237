// The main window's commands for strong passwords: a generated password for the Password field,
// and the check that finds weak and reused passwords among the rows.
#include "ManagerDlg.h"

#include "AccountBook.h"
#include "DlgCheckPasswords.h"
#include "DlgGeneratePassword.h"
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
// while the worker runs; the chosen line's entry is then chosen as a click would choose it.
void CManagerDlg::OnCheckPasswords() {
    CDlgCheckPasswords dialog;
    CopyFieldText(dialog.m_book.szAdminAccount, FieldText(g_AccountBook.szAdminAccount));
    CopyFieldText(dialog.m_book.szAdminPassword, FieldText(g_AccountBook.szAdminPassword));
    CollectRows(dialog.m_book.vecEntries);
    if (dialog.DoModal() == IDOK && dialog.m_nChosenRow >= 0 && dialog.m_nChosenRow < m_listAccounts.GetItemCount())
        ChooseRowAsClick(dialog.m_nChosenRow);
}
