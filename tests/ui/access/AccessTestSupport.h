// A program directory, an application object with its main window, and a driver that answers
// the account dialogs and their message boxes through control ids.
#pragma once

#include "FileLogItf.h"
#include "afxwin.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CManagerDlg;

namespace access_test {

// Every message box shown and every trace line written, in the order they happened:
// "box:<text>" for a box owned by the dialog under test, "foreign box:<text>" for any other box,
// "log:<line>" for a trace line.
using Events = std::vector<std::string>;

// Stands in for the log component and records each line as an event.
class RecordingFileLog : public IFileLog {
public:
    explicit RecordingFileLog(Events& events) : m_events(events) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    BYTE Open(const char*) override { return 1; }
    HRESULT Write(const char* line) override;

private:
    Events& m_events;
};

// What one press of OK produced.
struct Outcome {
    Events events;    // boxes and trace lines, in order
    UINT focusId = 0; // control holding the focus afterwards; 0 for none
};

// Texts to type into edits, by control id.
using FieldTexts = std::vector<std::pair<UINT, std::string>>;

// The Base64 form of bytes, written here independently of the program's codec.
std::string Base64(const std::string& bytes);

// An account file as the program writes it, with the password and entry texts in Base64.
struct BookFixture {
    using Entries = std::vector<std::vector<std::string>>; // account ID, password, comment of each item
    BookFixture(std::string admin, std::string password, Entries entries = {},
                std::string app = "Zelvo Password Manager", std::string storedAccount = {});
    std::string admin;         // root name and, unless storedAccount is given, AdminInfo/Account text
    std::string password;      // plain; stored as Base64
    Entries entries;           // the items in order
    std::string app;           // value of the App attribute
    std::string storedAccount; // AdminInfo/Account text when it differs from admin
};
std::string BookXml(const BookFixture& book);

// A name and a password of exactly 128 bytes, and one more character to type past the limit.
struct LimitCase {
    std::string name;
    std::string password;
    std::string extra;
};
// Plain letters, and two- and three-byte characters filling the limit exactly.
extern const std::vector<LimitCase> kLimitCases;

// Each test runs in its own program directory with an application object whose main window is a
// modeless main dialog; the book, the hooks and the log are reset around every test.
class AccessDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Writes a file in the program directory.
    void WriteProgramFile(const std::string& name, const std::string& content) const;
    // The bytes of a file in the program directory; empty when it cannot be read.
    std::string ReadProgramFile(const std::string& name) const;
    // The program directory's file names, sorted.
    std::vector<std::string> ProgramFiles() const;

    // Runs the dialog modally; the script acts on it once it is shown. Every message box is
    // recorded and closed with its OK button. Returns the dialog's result.
    INT_PTR Run(CDialog& dialog, const std::function<void(CDialog&)>& script);
    // Puts the texts into the dialog's edits, moves the focus to OK and presses it.
    Outcome Submit(CDialog& dialog, const FieldTexts& fields);
    // Types into an edit as the keyboard would, so the edit's byte limit applies.
    static void Type(CDialog& dialog, UINT id, const std::string& text);
    // Runs the action without a main window: without the application object itself when
    // dropApplication is true, else with an application object that has no main window.
    void WithoutMainWindow(bool dropApplication, const std::function<void()>& action);

    std::string m_dir;
    Events m_events;
    RecordingFileLog m_log{m_events};
    std::unique_ptr<CWinApp> m_app;
    CManagerDlg* m_pMainDlg = nullptr;

private:
    CDialog* m_pDialogUnderTest = nullptr;
};

} // namespace access_test
