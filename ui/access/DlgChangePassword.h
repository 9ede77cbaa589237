// The Change Password dialog: replaces the open book's administrator password, once the one it
// replaces has been given.
#pragma once

#include "afxwin.h"

#include <string>

// Said when the password to replace is not the book's.
inline constexpr const char* kMsgChangePasswordError = "Change Password Failed:Password error.";

class CDlgChangePassword : public CDialog {
public:
    explicit CDlgChangePassword(CWnd* parent = nullptr);
    // Wipes the three typed passwords.
    ~CDlgChangePassword() override;
    const MessageMap& GetMessageMap() const override;

    std::string m_strOldPassword; // the administrator password to replace
    std::string m_strPassword;    // the new one
    std::string m_strConfirm;     // the new one typed a second time

protected:
    // Binds the three fields to their edits, each limited to 128 bytes.
    void DoDataExchange(CDataExchange* dx) override;
    // Checks the fields in order, as Create Admin does, then the password to replace; ends the
    // dialog only when all pass.
    void OnBnClickedOk();
};
