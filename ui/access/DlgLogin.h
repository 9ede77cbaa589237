// The Login dialog: opens an existing account book by its administrator name and password.
#pragma once

#include "afxwin.h"

#include <string>

class CDlgLogin : public CDialog {
public:
    // Without a parent the main window becomes the owner while the dialog runs modally.
    explicit CDlgLogin(CWnd* parent = nullptr);
    // Wipes the typed password.
    ~CDlgLogin() override;
    // Routes the OK command to OnBnClickedOk.
    const MessageMap& GetMessageMap() const override;

    std::string m_strAccount;  // the administrator account name as typed
    std::string m_strPassword; // the administrator password as typed

protected:
    // A dialog on another template that asks for a book's administrator as Login does.
    CDlgLogin(UINT templateId, CWnd* parent);
    // Binds both fields to their edits, each limited to 128 bytes.
    void DoDataExchange(CDataExchange* dx) override;
    // Checks the input, loads the named book and ends the dialog only when name and password match.
    void OnBnClickedOk();
    // Takes the typed texts; on the first empty field, says so, moves the focus there and returns false.
    bool AccountAndPasswordTyped();
};
