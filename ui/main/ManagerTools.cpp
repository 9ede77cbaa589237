// The main window's commands beyond the entry commands, reached from its window menu and keys:
// the menu items, their keys, and the commands that need no dialog of their own.
#include "ManagerDlg.h"

#include "DlgChangePassword.h"
#include "MessageBox.h"
#include "OpenBook.h"
#include "resource.h"

#include <utility>

namespace {

constexpr const char* kMsgPasswordChanged = "Change password success.";

bool KeyHeld(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

} // namespace

const std::vector<CManagerDlg::ToolCommand>& CManagerDlg::ToolCommands() {
    static const std::vector<ToolCommand> commands = {
        {IDM_IMPORT, "Import...\tCtrl+I", 'I', false, true, &CManagerDlg::OnImport},
        {IDM_EXPORT, "Export...\tCtrl+Shift+E", 'E', true, false, &CManagerDlg::OnExport},
        {IDM_GENERATE_PASSWORD, "Generate Password...\tCtrl+G", 'G', false, true, &CManagerDlg::OnGeneratePassword},
        {IDM_CHANGE_PASSWORD, "Change Password...", 0, false, false, &CManagerDlg::OnChangePassword},
        {IDM_CHECK_PASSWORDS, "Check Passwords...\tCtrl+Shift+H", 'H', true, false, &CManagerDlg::OnCheckPasswords},
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
void CManagerDlg::OnChangePassword() {
    CDlgChangePassword dialog;
    if (dialog.DoModal() != IDOK)
        return;
    UndoStep step = AdminPasswordStep(FieldText(g_AccountBook.szAdminPassword), dialog.m_strPassword);
    std::string reason;
    const bool recorded = g_OpenBook.ChangeAdminPassword(dialog.m_strPassword, WindowRows(), &reason);
    RememberStep(std::move(step));
    m_bModified = 1;
    ReportJournalFailure(recorded, reason);
    ShowMessage(kMsgPasswordChanged, this);
}
