// Where the window's file dialogs open: the folder last used for them, or else the user's home
// folder, so that a clear-text export never lands beside the books by default.
#pragma once

#include <string>

// The folder last used when it still is one, else the home folder ($HOME, or the user's entry in the
// password database); empty when neither is known.
std::string FileDialogFolder(const std::string& lastUsed);
