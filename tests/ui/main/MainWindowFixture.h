// A main window created as the application creates it, in a temporary program directory, with
// every modal dialog and system message box observed through the framework's test seams.
#pragma once

#include "ManagerDlg.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QTableView;

// One entry as the user sees it: account ID, password, comment.
struct Row {
    std::string account, password, comment;
    friend bool operator==(const Row&, const Row&) = default;
};
void PrintTo(const Row& row, std::ostream* out);

// An account book file written by hand: plain administrator name, every other text Base64.
std::string BookXml(const std::string& admin, const std::string& password, const std::vector<Row>& rows);
// The rows of an account file read with libxml2 and decoded independently; nullopt when the file
// is missing or its items are not numbered 0, 1, 2 ... in order.
std::optional<std::vector<Row>> ReadBookRows(const std::string& path);

class MainWindowTest : public ::testing::Test {
public: // the case tables below drive the window through these
    void SetUp() override;
    void TearDown() override;

    // Creates the window and waits until its start-up timer has shown it.
    CManagerDlg& OpenWindow();
    // Destroys the window as shutdown does; the object deletes itself.
    void DestroyWindow();
    // Ends one case of a table: destroys the window if it is still open, and forgets the book, the
    // dialogs and messages seen, and any answer a failed step left unused.
    void EndCase();
    // Runs the message loop until the quit message; false when none came within the time given.
    bool QuitPosted(int timeoutMs = 2000);

    // Writes a hand-made book into the program directory and logs in to it.
    void LoginTo(const std::string& admin, const std::vector<Row>& rows);
    // Writes a hand-made book into the program directory, replacing any file of its name.
    void WriteBook(const std::string& admin, const std::vector<Row>& rows);
    // Logs in to the book with its password, through the Login dialog.
    void Login(const std::string& admin);
    // Creates a new book through the Create Admin dialog.
    void CreateAdmin(const std::string& admin);

    CWnd* Item(UINT id) const { return m_dlg->GetDlgItem(id); }
    void Click(UINT id) const;
    void SetText(UINT id, const std::string& text) const { Item(id)->SetWindowText(text); }
    void TypeEntry(const Row& row) const;
    QTableView* ListView() const;
    std::vector<Row> ListRows() const;
    // Clicks a row of the list (or, for -1, the empty area below the rows), as the user would.
    void ClickRow(int row, bool ctrl = false) const;
    UINT FocusId() const;
    std::string BookPath(const std::string& admin) const { return m_dir.path().toStdString() + "/" + admin + ".xml"; }
    std::string FileText(const std::string& path) const;

    QTemporaryDir m_dir;
    CManagerDlg* m_dlg = nullptr;
    std::vector<UINT> m_templates;                      // every modal dialog run, in order
    std::vector<std::string> m_messages;                // every text of the program's message box
    std::vector<std::string> m_systemMessages;          // every system message box text
    std::vector<std::string> m_shellFiles;              // every file the shell was asked to open
    std::deque<std::function<void(CDialog&)>> m_script; // answers for the next dialogs other than messages
};
