// The Generate Password dialog: a random password made to the user's choices, shown with its
// strength, for the main window's Password field.
#pragma once

#include "PasswordGenerator.h"
#include "afxwin.h"

#include <string_view>

class CDlgGeneratePassword : public CDialog {
public:
    // Shows and changes the choices it is given; the caller keeps them for the next time.
    explicit CDlgGeneratePassword(PasswordGeneratorOptions& options, CWnd* parent = nullptr);
    const MessageMap& GetMessageMap() const override;

    // The password shown, empty when none could be made; valid while the dialog object lives.
    std::string_view Password() const { return m_password.Text(); }

protected:
    // Shows the choices and a first password.
    BOOL OnInitDialog() override;
    // Ends the dialog with the password shown; when there is none, says why and stays open.
    void OnOK() override;

private:
    // A kind of character or the look-alikes was chosen or left out. The last kind stays chosen.
    void OnChoiceClicked();
    // Every change of the length makes a new password, or takes it away while the length is not
    // one a password may have (as on the way from "1" to "12").
    void OnLengthChanged();
    // A new password with the same choices; says why when none can be made.
    void OnBnClickedGenerate();

    void ShowChoices();
    void ShowKinds();
    // Reads the check boxes into the options; false when no kind of character is chosen.
    bool ReadKinds(PasswordGeneratorOptions& options) const;
    // Makes a new password with the choices shown, the length as typed, and shows it with its strength.
    void Generate();
    // Shows the password and its strength, or the reason there is none.
    void ShowPassword();
    // Says why there is no password, and moves the focus to what would mend it.
    void ExplainMissingPassword();

    PasswordGeneratorOptions& m_options;
    GeneratedPassword m_password;
    GeneratorError m_error = GeneratorError::None;
    bool m_bShowingChoices = false; // the controls are being filled, not changed by the user
};
