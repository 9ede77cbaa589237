// How the account dialogs report a field the user must correct: the program's own message box,
// owned by the dialog, then the focus on that field.
#pragma once

#include "afxwin.h"

#include <string>

// Shows the text in the program's message box owned by the dialog and, once the user closed it,
// moves the focus to the dialog's control of that id.
void ShowMessageAndFocus(CDialog& owner, const std::string& text, UINT controlId);
