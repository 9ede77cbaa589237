// How the account dialogs report a field the user must correct: the program's own message box,
// owned by the dialog, then the focus on that field.
#pragma once

#include "afxwin.h"

#include <string>

// No lock can be had for the book here (a read-only folder, a file system without locks, a
// planted link), so it is not opened: another copy could open it too.
inline constexpr const char* kMsgLoginCannotLock = "Login Failed:The account cannot be locked in this folder.";
inline constexpr const char* kMsgCreateCannotLock = "Error:The Account cannot be locked in this folder.";

// Shows the text in the program's message box owned by the dialog and, once the user closed it,
// moves the focus to the dialog's control of that id.
void ShowMessageAndFocus(CDialog& owner, const std::string& text, UINT controlId);

// Checks a new password and its confirmation as Create Admin does: both typed, and the same. On the
// first failure it says so, moves the focus to the field concerned and returns false.
bool NewPasswordAccepted(CDialog& dialog, const std::string& password, const std::string& confirm);
