// The application object: start-up and shutdown of the program around the main window's run.
#pragma once

#include "afxwin.h"

#include "SkinLibrary.h"

#include <string>

class CManagerApp : public CWinApp {
public:
    CManagerApp() = default;

    // Starts COM and the log component, reads the configuration, opens the log, registers the
    // dialogs' window class, loads the skin and creates the hidden main window. FALSE ends the run.
    BOOL InitInstance() override;
    // Saves the configuration, destroys the main window, releases the log component, ends COM and
    // unloads the skin; returns the process exit code.
    int ExitInstance() override;
    // The application's own commands: the standard Help command (F1 in any dialog).
    const std::vector<CommandEntry>& GetMessageMap() const override;

protected:
    // Works out the program directory from the command line's first token.
    void InitAppDir();
    // Reads the column widths from the named file in the program directory; false when the file
    // is missing, unreadable or another application's.
    bool ReadConfig(const char* fileName);
    // Writes the program's identity and the column widths to the named file in the program
    // directory; false when it could not be written (the previous file then stays as it was), and
    // when it is a link whose target this run could not read as its configuration, which is never
    // replaced.
    bool WriteConfig(const char* fileName);
    // Creates the log directory and opens the log file in it; the log component's truth value.
    BYTE OpenLog();
    // Registers the window class that every dialog template names.
    bool RegisterWndClass();
    // Loads the skin bitmap through the skin library; true when it was loaded.
    bool LoadSkin();
    // Creates the main window object (not yet its window) and makes it the main window.
    void NewMainDlg();

private:
    // Destroys the main window, or deletes the object itself when its window never came to be.
    void DestroyMainWnd();

    CSkinLibrary m_skin;
    // A linked configuration that could not be read: the file it leads to is the user's, left alone.
    std::string m_configLeftAlone;
};
