// The Export dialog: says that the exported file will hold every password in clear, and asks for
// the administrator password before any is written out.
#pragma once

#include "afxwin.h"

#include <string>

// Said when the password given is not the open book's administrator password.
inline constexpr const char* kMsgExportPasswordError = "Export Failed:Password error.";

class CDlgExport : public CDialog {
public:
    explicit CDlgExport(CWnd* parent = nullptr);
    // Wipes the typed password.
    ~CDlgExport() override;
    const MessageMap& GetMessageMap() const override;

    std::string m_strPassword; // the administrator password as typed

protected:
    // A dialog of the same kind on another template, refusing a wrong password with its own message.
    CDlgExport(UINT templateId, const char* wrongPassword, CWnd* parent);
    // Binds the password to its edit, limited to 128 bytes.
    void DoDataExchange(CDataExchange* dx) override;
    // Ends the dialog only when the password is the open book's administrator password.
    void OnBnClickedOk();

private:
    const char* m_wrongPassword = kMsgExportPasswordError;
};

// Encrypt Book and Decrypt Book: what the command means, then the administrator password.
class CDlgLockBook : public CDlgExport {
public:
    // For encrypting the book when encrypt is set, for decrypting it otherwise.
    explicit CDlgLockBook(bool encrypt, CWnd* parent = nullptr);
};

inline constexpr const char* kMsgEncryptPasswordError = "Encrypt Failed:Password error.";
inline constexpr const char* kMsgDecryptPasswordError = "Decrypt Failed:Password error.";
