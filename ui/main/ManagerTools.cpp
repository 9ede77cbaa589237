// The main window's commands beyond the entry commands, reached from its window menu and keys:
// the menu items, their keys, and the commands that need no dialog of their own.
#include "ManagerDlg.h"

#include "DlgChangePassword.h"
#include "Identity.h"
#include "MessageBox.h"
#include "OpenBook.h"
#include "resource.h"

#include <utility>

namespace {

constexpr const char* kMsgPasswordChanged = "Change password success.";
constexpr const char* kMsgPasswordUntilExit =
    "Password changed until Exit:The session journal could not record the new password. It holds until Exit "
    "saves the book; should the program end before, the old password opens the book again.\n";

bool KeyHeld(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

} // namespace

const std::vector<CManagerDlg::ToolCommand>& CManagerDlg::ToolCommands() {
    static const std::vector<ToolCommand> commands = {
        {IDM_IMPORT, "&Import...\tCtrl+I", 'I', false, true, &CManagerDlg::OnImport},
        {IDM_EXPORT, "Ex&port...\tCtrl+Shift+E", 'E', true, false, &CManagerDlg::OnExport},
        {IDM_GENERATE_PASSWORD, "&Generate Password...\tCtrl+G", 'G', false, true, &CManagerDlg::OnGeneratePassword},
        {IDM_CHANGE_PASSWORD, "C&hange Password...", 0, false, false, &CManagerDlg::OnChangePassword},
        {IDM_ENCRYPT_BOOK, "Encr&ypt Book...", 0, false, false, &CManagerDlg::OnEncryptBook},
        {IDM_DECRYPT_BOOK, "&Decrypt Book...", 0, false, false, &CManagerDlg::OnDecryptBook},
        {IDM_CHECK_PASSWORDS, "Chec&k Passwords...\tCtrl+Shift+H", 'H', true, false, &CManagerDlg::OnCheckPasswords},
    };
    return commands;
}

void CManagerDlg::AddToolItemsToSystemMenu(CMenu& menu) {
    for (const ToolCommand& command : ToolCommands()) {
        if (command.separatorBefore)
            menu.AppendMenu(MF_SEPARATOR);
        menu.AppendMenu(MF_STRING | MF_GRAYED, command.id, command.text);
    }
}

void CManagerDlg::EnableToolItems(bool enable) {
    if (CMenu* menu = GetSystemMenu(FALSE))
        for (const ToolCommand& command : ToolCommands())
            menu->EnableMenuItem(command.id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    if (enable)
        EnableLockItems();
}

bool CManagerDlg::RunToolCommand(UINT id) {
    for (const ToolCommand& command : ToolCommands())
        if (command.id == id) {
            // A grayed item does nothing, however it is reached.
            if (m_bBookOpen)
                (this->*command.run)();
            return true;
        }
    return false;
}

bool CManagerDlg::HandleToolKeys(const MSG& msg) {
    if (!m_bBookOpen || !KeyHeld(VK_CONTROL))
        return false;
    for (const ToolCommand& command : ToolCommands())
        if (command.key != 0 && msg.wParam == command.key && KeyHeld(VK_SHIFT) == command.shifted) {
            (this->*command.run)();
            return true;
        }
    return false;
}

// The new password is durable in the session journal before the message confirms it; Exit saves it.
// One the journal could not take is said to hold only until Exit, whether or not the journal had
// failed before.
void CManagerDlg::OnChangePassword() {
    ChangeAdminPassword();
}

bool CManagerDlg::ChangeAdminPassword() {
    CDlgChangePassword dialog;
    if (dialog.DoModal() != IDOK)
        return false;
    UndoStep step = AdminPasswordStep(FieldText(g_AccountBook.szAdminPassword), dialog.m_strPassword);
    std::string reason;
    const bool recorded = g_OpenBook.ChangeAdminPassword(dialog.m_strPassword, WindowRows(), &reason);
    RememberStep(std::move(step));
    m_bModified = 1;
    if (recorded) {
        ReportJournalFailure(recorded, reason);
        ShowMessage(kMsgPasswordChanged, this);
        return true;
    }
    m_bJournalFailureShown = true;
    MessageBox(nullptr, kMsgPasswordUntilExit + reason, kAppTitle, MB_ICONWARNING | MB_OK);
    return true;
}
