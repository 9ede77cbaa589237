#include "AccessMessages.h"

#include "MessageBox.h"

void ShowMessageAndFocus(CDialog& owner, const std::string& text, UINT controlId) {
    ShowMessage(text, &owner);
    if (CWnd* control = owner.GetDlgItem(controlId)) {
        control->SetFocus();
    }
}
