// How the account dialogs report a field the user must correct: the program's own message box,
// owned by the dialog, then the focus on that field.
#pragma once

#include "afxwin.h"

#include <string>

// No lock can be had for the book here (a read-only folder, a file system without locks, a
// planted link), so it is not opened: another copy could open it too.
inline constexpr const char* kMsgLoginCannotLock = "Login Failed:The account cannot be locked in this folder.";
inline constexpr const char* kMsgCreateCannotLock = "Error:The Account cannot be locked in this folder.";

// An encrypted book that cannot be opened, whatever the password: the file is left as it is.
inline constexpr const char* kMsgLoginDamaged =
    "Login Failed:The encrypted book was damaged or changed by another program, so nothing of it can be read. "
    "The file was left as it is; an earlier version of it may still open.";
inline constexpr const char* kMsgLoginTooCostly =
    "Login Failed:The encrypted book asks for more memory or time to open than this program allows (at most "
    "1 GiB and 64 passes), so it was not opened.";
inline constexpr const char* kMsgLoginNewerFormat =
    "Login Failed:The book was encrypted by a later version of this program, which is needed to open it.";
inline constexpr const char* kMsgLoginNoMemory =
    "Login Failed:There is not enough free memory to open the encrypted book.";

// Shows the text in the program's message box owned by the dialog and, once the user closed it,
// moves the focus to the dialog's control of that id.
void ShowMessageAndFocus(CDialog& owner, const std::string& text, UINT controlId);

// Checks a new password and its confirmation as Create Admin does: both typed, and the same. On the
// first failure it says so, moves the focus to the field concerned and returns false.
bool NewPasswordAccepted(CDialog& dialog, const std::string& password, const std::string& confirm);
