// Test seams of the framework layer, all unset in production: tests observe and answer modal
// dialogs and system message boxes without timing races, record shell requests instead of
// starting programs, count beeps, and set the command line.
#pragma once

#include "afxtypes.h"

#include <functional>
#include <string>
#include <vector>

class CDialog;
class CFileDialog;
class CMenu;

namespace afx_test {

// Called once a modal dialog is initialised and shown, before its loop would start. The hook may
// set texts, click buttons (which may end the dialog) and run nested modal dialogs. A dialog the
// hook leaves open is ended with IDCANCEL, so a test never waits on a dialog.
using ModalHook = std::function<void(CDialog& dialog)>;
void SetModalHook(ModalHook hook);

// Answers the system message box instead of showing it; returns the button "pressed".
using MessageBoxHook = std::function<int(const std::string& text, const std::string& caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Answers shell verbs instead of performing them; returns the shell result (above 32: success).
using ShellHook = std::function<INT_PTR(const std::string& verb, const std::string& file)>;
void SetShellHook(ShellHook hook);

// Beeps are always counted, and the sound theme names of every beep and message box sound are
// recorded; the headless platform plays none of them.
int BeepCount();
UINT LastBeepType();
const std::vector<std::string>& RequestedSounds();
void ResetBeeps();

// Replaces the command line and the executable path the framework reports (empty: the real ones).
void SetCommandLine(const std::string& commandLine);
void SetModuleFileName(const std::string& path);

// Replaces the platform's hand cursor lookup (true: one is found) and counts lookups.
void SetHandCursorAvailable(bool available);
int HandCursorLookups();

// Chooses from a pop-up menu instead of showing it; returns the chosen item's id (0: none).
using PopupMenuHook = std::function<UINT(const CMenu& menu)>;
void SetPopupMenuHook(PopupMenuHook hook);

// Answers a file dialog instead of showing it: true with the path chosen (and the file kind, from
// 1, when it offers several), false for Cancel.
using FileDialogHook = std::function<bool(const CFileDialog& dialog, std::string& path, int& filterIndex)>;
void SetFileDialogHook(FileDialogHook hook);

// How long a guarded clipboard copy stays (0: the real ten seconds).
void SetSecretClipboardLifetime(int milliseconds);
// The lifetime the guarded copy now on the clipboard was given, in milliseconds (0: none waits).
int PendingSecretClipboardLifetime();

// Whether the check at start takes the X display a DISPLAY value names for one that can be reached.
bool X11DisplayJudgedReachable(const std::string& display);

// Clears every hook above.
void ResetAll();

} // namespace afx_test

namespace afx_test {
// Makes window class registration fail (true) or work again (false).
void FailClassRegistration(bool fail);
// Forgets a registered window class, so a test can start from an unregistered one.
void UnregisterClass(const std::string& className);
} // namespace afx_test
