#include "AccessMessages.h"

#include "MessageBox.h"
#include "resource.h"

void ShowMessageAndFocus(CDialog& owner, const std::string& text, UINT controlId) {
    ShowMessage(text, &owner);
    if (CWnd* control = owner.GetDlgItem(controlId)) {
        control->SetFocus();
    }
}

bool NewPasswordAccepted(CDialog& dialog, const std::string& password, const std::string& confirm) {
    if (password.empty()) {
        ShowMessageAndFocus(dialog, "Please input the password.", IDC_EDIT_PASSWORD);
        return false;
    }
    if (confirm.empty()) {
        ShowMessageAndFocus(dialog, "Please input the confirm password.", IDC_EDIT_CONFIRM);
        return false;
    }
    if (password != confirm) {
        ShowMessageAndFocus(dialog, "Two passwords must be same.", IDC_EDIT_PASSWORD);
        return false;
    }
    return true;
}
