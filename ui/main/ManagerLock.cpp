// The main window's commands that lock and unlock the book: Encrypt Book seals it under a key of its
// administrator password, Decrypt Book writes it plain again. Both write the book at once.
#include "ManagerDlg.h"

#include "DlgExport.h"
#include "MessageBox.h"
#include "OpenBook.h"
#include "resource.h"

#include <string>

namespace {

constexpr const char* kMsgEncrypted =
    "Encrypt success:The book now opens only with its administrator password; its earlier versions and its "
    "journal are encrypted too. Copies made elsewhere (backups, synced folders, exports) are not changed.";
constexpr const char* kMsgDecrypted =
    "Decrypt success:The book is a plain book again: anyone who can read its file can read every password in it.";

// What follows the success message when copies beside the book stayed as they were.
std::string CopiesLeftNote(std::size_t left) {
    if (left == 0)
        return {};
    return " " + std::to_string(left) + (left == 1 ? " copy" : " copies") +
           " beside the book (sealed under an earlier password, or not readable) stayed as before.";
}

} // namespace

void CManagerDlg::EnableLockItems() {
    CMenu* menu = GetSystemMenu(FALSE);
    if (!menu)
        return;
    const bool sealed = g_OpenBook.IsSealed();
    menu->EnableMenuItem(IDM_ENCRYPT_BOOK, MF_BYCOMMAND | (m_bBookOpen && !sealed ? MF_ENABLED : MF_GRAYED));
    menu->EnableMenuItem(IDM_DECRYPT_BOOK, MF_BYCOMMAND | (m_bBookOpen && sealed ? MF_ENABLED : MF_GRAYED));
}

void CManagerDlg::OnEncryptBook() {
    ChangeLock(true);
}

void CManagerDlg::OnDecryptBook() {
    ChangeLock(false);
}

// The book is written at once, locked or plain; the menu then offers the other command.
void CManagerDlg::ChangeLock(bool encrypt) {
    if (g_OpenBook.IsSealed() == encrypt)
        return;
    CDlgLockBook dialog(encrypt);
    if (dialog.DoModal() != IDOK)
        return;
    std::string reason;
    const bool done =
        encrypt ? g_OpenBook.Seal(WindowRows(), m_base64, &reason) : g_OpenBook.Unseal(WindowRows(), m_base64, &reason);
    EnableLockItems();
    if (!done) {
        ShowMessage(encrypt ? "Encrypt Failed:" + reason + " The book was left as it was."
                            : "Decrypt Failed:" + reason + " The book stays encrypted.",
                    this);
        return;
    }
    ShowMessage((encrypt ? kMsgEncrypted : kMsgDecrypted) + CopiesLeftNote(g_OpenBook.CopiesLeftAsTheyWere()), this);
}
