// Replace Password: a new password for one entry that Check Passwords found, typed or generated,
// shown beside the entry's account ID and comment, which stay as they are.
#pragma once

#include "PasswordGenerator.h"
#include "afxwin.h"

#include <string>

class CDlgReplacePassword : public CDialog {
public:
    // The entry's texts to show; Generate uses and keeps the generator's choices.
    CDlgReplacePassword(std::string account, std::string comment, PasswordGeneratorOptions& options,
                        CWnd* parent = nullptr);
    // Wipes the new password.
    ~CDlgReplacePassword() override;
    const MessageMap& GetMessageMap() const override;

    // Once the dialog ended with IDOK: the new password, never empty.
    std::string m_strPassword;

protected:
    // Binds the password, at most as long as an entry's.
    void DoDataExchange(CDataExchange* dx) override;
    // Shows the entry and puts the focus in the new password.
    BOOL OnInitDialog() override;
    // Ends the dialog once a password is typed; an empty one is refused as Update refuses it.
    void OnOK() override;

private:
    // Fills the new password from the generator's own dialog.
    void OnBnClickedGenerate();

    std::string m_strAccount;
    std::string m_strComment;
    PasswordGeneratorOptions& m_options;
};
