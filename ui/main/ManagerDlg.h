// The main window: a modeless dialog showing the open account book's entries in a three-column
// list, with the edit fields and buttons that change them and the commands that open a book.
#pragma once

#include "Base64.h"
#include "EntryIndex.h"
#include "OpenBook.h"
#include "PasswordGenerator.h"
#include "UndoHistory.h"
#include "afxwin.h"

#include <string>
#include <vector>

class TextSearch;
struct ImportPlan;

class CManagerDlg : public CDialog {
public:
    // Binds the main window template and loads the program icon; the window is made by Create().
    explicit CManagerDlg(CWnd* parent = nullptr);
    // Releases the members; the window is already gone when PostNcDestroy deletes the object.
    ~CManagerDlg() override;
    // Routes every message, button and notification of the main window to its handler.
    const MessageMap& GetMessageMap() const override;

    // Reads the account file at path into the process's account book; false on any failure.
    bool LoadAccountFile(const char* path);
    // Writes the process's account book to the account's file in the program directory, unless that
    // file is not the one this run read (then the book is kept beside it). False on any failure and
    // when the book was kept beside; an earlier file is left as it was.
    bool SaveAccountFile(const char* account);
    // Whether the account's file in the program directory can be opened for reading; false for a
    // null or unusable account name.
    static bool AccountFileExists(const char* account);

    // Replaces every row of the list with the account book's entries, in book order.
    void FillAccountList();
    // Appends a row for each entry, in order, after the last row.
    void AppendRows(const AccountEntries& entries);
    // Rebuilds the account book's entries from the list rows, in row order.
    void StoreAccountList();

protected:
    // Binds the edit texts (at most 128 bytes each) and attaches the list and button members.
    void DoDataExchange(CDataExchange* dx) override;
    // Escape never closes the window; Enter runs Insert wherever the focus is.
    BOOL PreTranslateMessage(MSG* msg) override;
    // Deletes the object once its window is gone.
    void PostNcDestroy() override;
    // Adds the About item to the system menu, sets title and icons, prepares the controls and
    // starts the timer that shows the window.
    BOOL OnInitDialog() override;

    // Message handlers.
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSize(UINT type, int cx, int cy);
    void OnDestroy();
    void OnClose();
    void OnTimer(UINT_PTR id);
    void OnBnClickedLogin();
    void OnBnClickedAbout();
    void OnBnClickedCreateAdmin();
    void OnBnClickedHelp();
    void OnBnClickedExit();
    void OnBnClickedInsert();
    void OnBnClickedUpdate();
    void OnBnClickedDelete();
    void OnLvnItemchangingList(NMHDR* hdr, LRESULT* result);
    // The entry list's menu: copy the chosen row's password or account ID.
    void OnContextMenu(UINT controlId, CPoint at);

    // Appends a row unless one with the same three texts exists; false when it does. The duplicate
    // index answers, so the check costs the same at 100,000 rows as at ten.
    bool AddAccountItem(const std::string& account, const std::string& password, const std::string& comment);
    // Whether any row, the chosen one included, holds exactly these three texts.
    bool FindAccountItem(const std::string& account, const std::string& password, const std::string& comment) const;
    // Chooses, as a click would, the next row after the chosen one (wrapping around) that holds
    // the text in any column; false when none does.
    bool FindAndChoose(const std::string& text, bool forward);

    HICON m_hIcon = nullptr; // the program icon, shown in the title bar and when minimised
    CBase64 m_base64;        // the codec the account file operations use

public:
    std::string m_strAccount;            // text of the account ID edit
    std::string m_strPassword;           // text of the password edit
    std::string m_strComment;            // text of the comment edit
    CListCtrl m_listAccounts;            // the entry rows: account ID, password, comment
    CButton m_btnLogin;                  // opens an existing book
    CButton m_btnCreateAdmin;            // starts a new book
    CButton m_btnInsert;                 // appends the edited entry
    CButton m_btnUpdate;                 // replaces the chosen row
    CButton m_btnDelete;                 // removes the chosen row
    int m_nSelItem = -1;                 // the chosen row, -1 for none
    int m_bModified = 0;                 // set once a row or the book itself changed; decides the save
    bool m_bBookOpen = false;            // a book was opened or created; the entry commands work from then on
    std::string m_strFindText;           // the text Find last looked for, again with F3 and Shift+F3
    bool m_bJournalFailureShown = false; // the journal could not be written, and the user was told

private:
    void AddAboutItemToSystemMenu();
    void InitControls();
    void InitListCtrl();
    void FocusAccountField();
    void EnableEntryEditing();
    void ExitApp();
    // Shows the first missing text of the edited entry and moves the focus to its field.
    bool EntryTextsComplete();
    void ChooseRow(int row);
    void FocusControl(UINT id);
    void SaveBookAtExit();
    BookSaveResult SaveHeldBook(const char* account);
    void CopyRow(int row, AccountEntry& entry);
    // Collects every row into the entries, in row order, reusing their storage.
    void CollectRows(AccountEntries& entries);
    // Gives the rows as they stand, to a journal that must take them in full.
    RowSource WindowRows();
    // Tells the user, once, that the journal could not take a change.
    void ReportJournalFailure(bool recorded, const std::string& reason);
    void CopyRowText(int row, int column, TextField& field);
    // Makes a change to a row durable in the session journal.
    void RecordChange(JournalChange change, int row);
    void ReportRecovery();

    // Copying and finding entries.
    // The keys of the list's copies (Ctrl+C, Ctrl+B) and of Find (Ctrl+F, F3, Shift+F3).
    bool HandleCopyAndFindKeys(const MSG& msg);
    // Puts a cell of the chosen row on the clipboard, guarded.
    void CopyChosenCell(int column);
    void OnFind();
    // Finds the last text again, forwards or backwards; says so when no row holds it.
    void FindAgain(bool forward);
    int FindRow(const std::string& text, bool forward) const;
    bool RowContains(int row, const TextSearch& search) const;
    void ChooseRowAsClick(int row);

    // The window menu's commands beyond About, and their keys (ManagerTools.cpp).
    struct ToolCommand {
        UINT id;              // the menu item's command
        const char* text;     // the item, its key after a tab
        UINT key;             // with Ctrl (and Shift when shifted) runs the command too; 0: none
        bool shifted;         //
        bool separatorBefore; // a separator goes above the item
        void (CManagerDlg::*run)();
    };
    static const std::vector<ToolCommand>& ToolCommands();
    void AddToolItemsToSystemMenu(CMenu& menu);
    // Grays the commands until a book is open, and enables them then.
    void EnableToolItems(bool enable);
    // Runs the command of a window menu item; false when it is not one of these.
    bool RunToolCommand(UINT id);
    bool HandleToolKeys(const MSG& msg);
    void OnChangePassword();
    // Asks for and sets a new administrator password; false when the user cancelled.
    bool ChangeAdminPassword();

    // Locking the book (ManagerLock.cpp): Encrypt Book and Decrypt Book, each enabled only while it
    // applies to the open book.
    void OnEncryptBook();
    void OnDecryptBook();
    void ChangeLock(bool encrypt);
    void EnableLockItems();

    // Strong passwords (ManagerPasswords.cpp).
    void OnGeneratePassword();
    void OnCheckPasswords();
    // A new password for the row, from its own dialog, set as Update sets it; false when cancelled
    // or refused.
    bool ReplaceRowPassword(int row);
    PasswordGeneratorOptions m_generatorOptions; // the generator's last choices, kept for the run
    // The rows' duplicate index: how many rows hold each combination of the three texts. Rebuilt
    // when the list is filled, kept in step by every command that adds, changes or removes a row.
    EntryIndex m_index;
    // Takes the row's texts out of the index, before the row changes or goes; they are kept for
    // the change's undo until it is remembered.
    void ForgetRowTexts(int row);

    // Undo and Redo (ManagerUndo.cpp): every change to the book can be taken back and made again.
    // Insert, Update and Delete refuse a row the same as another row with this message.
    static constexpr const char* kMsgDuplicate = "The same item have been existent.";
    UndoHistory m_history;           // the session's changes, to undo and redo
    AccountEntry m_replacedRow = {}; // the texts of the row last taken out of the index
    // Remembers a change just made to a row, to be undone; an update or delete takes back the
    // texts the row held before.
    void RememberRowChange(JournalChange change, int row, const AccountEntry& entry);
    // Remembers any change just made, as the step that undoes it.
    void RememberStep(UndoStep step);
    void AddUndoItemsToSystemMenu(CMenu& menu);
    // Names the next undo and redo in the window menu, and grays the item with none.
    void ShowUndoItems();
    // Runs Undo or Redo of the window menu; false when the item is neither.
    bool RunUndoCommand(UINT id);
    // Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z, except in an edit field, which has its own undo.
    bool HandleUndoKeys(const MSG& msg);
    void OnUndo();
    void OnRedo();
    // Makes the step's records on the rows and in the journal, as a change of its own.
    bool TakeStep(const UndoStep* step, bool undo);
    // Applies the records to the rows and their index; the row to choose after, or -1 for none.
    int ApplyToRows(const JournalRecords& records);
    // Gives the row the entry's texts, and counts them in the index.
    void PutRowTexts(int row, const AccountEntry& entry);
    // Keeps the choice on the row it was, once the row at that place has gone.
    void RowRemoved(int row);

protected:
    // Moving entries in and out: Import and Export (ManagerImport.cpp).
    void OnImport();
    void OnExport();
    // Plans the import of the file at path against the rows; false, once the user has been told
    // why (or cancelled the merge of a book), when nothing can come in.
    bool PlanImport(const std::string& path, ImportPlan& plan);
    // Plans the merge of another book, once its administrator's name and password are given.
    bool PlanBookMerge(const std::string& path, ImportPlan& plan);
    // Appends the planned entries after the last row, durable as one step of the session journal.
    void AppendImported(const AccountEntries& entries);
    // The folder the last Import or Export file was chosen in; empty until one was.
    std::string m_strFileFolder;
};
