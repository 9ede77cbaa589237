// The Create Admin dialog: chooses the administrator name and password of a new, empty account book.
#pragma once

#include "afxwin.h"

#include <string>

class CDlgCreateAdmin : public CDialog {
public:
    // Without a parent the main window becomes the owner while the dialog runs modally.
    explicit CDlgCreateAdmin(CWnd* parent = nullptr);
    // Wipes both typed passwords.
    ~CDlgCreateAdmin() override;
    // Routes the OK command to OnBnClickedOk.
    const MessageMap& GetMessageMap() const override;

    std::string m_strAccount;  // the new administrator account name
    std::string m_strPassword; // the new administrator password
    std::string m_strConfirm;  // the password typed a second time

protected:
    // Binds the three fields to their edits, each limited to 128 bytes.
    void DoDataExchange(CDataExchange* dx) override;
    // Checks the input and, when the name is free, puts it and the password into the book's
    // administrator record and ends the dialog.
    void OnBnClickedOk();
};
