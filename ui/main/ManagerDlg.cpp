// The main window: start-up and close behaviour, the entry list and its copies to and from the
// account book, and the commands on entries.
#include "ManagerDlg.h"

#include "AccountBook.h"
#include "AccountFile.h"
#include "OpenBook.h"
#include "DlgAbout.h"
#include "DlgCreateAdmin.h"
#include "DlgLogin.h"
#include "Globals.h"
#include "Identity.h"
#include "MessageBox.h"
#include "MessageText.h"
#include "resource.h"
#include "resources.h"
#include "wipe.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

// The one-shot timer that shows the window once start-up has finished.
constexpr UINT_PTR kStartupTimerId = 100;
constexpr UINT kStartupTimerMs = 5;

constexpr const char* kHelpFileName = "Manager.chm";

constexpr const char* kMsgNoAccount = "Please input the account.";
constexpr const char* kMsgNoPassword = "Please input the password.";
constexpr const char* kMsgLoginSuccess = "Login success.";
constexpr const char* kMsgSaveFailed = "Save account file failed.";
constexpr const char* kMsgKeptBeside = "Account file changed by another program:Both versions were kept. "
                                       "This session's book was saved as ";
constexpr const char* kMsgSavedNotDurable = "Account file saved:";
// The program's own message box holds one line, so only the short message is shown there; those
// that name a file or give the system's reason go to the system message box, as at exit.
constexpr const char* kMsgRecovered = "Unsaved session recovered:";
constexpr const char* kMsgRecoveredKept = "Unsaved session recovered:Account file changed by another program since, "
                                          "so both versions were kept. The session's book was saved as ";
constexpr const char* kMsgJournalSetAside = "Unsaved session not recovered:";
constexpr const char* kMsgJournalFailed = "Session journal failed:This change and the later ones are kept only until "
                                          "Exit saves the book. Should the program end before, they are lost.\n";

// "1 change" or "N changes".
std::string CountOfChanges(std::size_t count) {
    return CountOf(count, "change", "changes");
}

// Line and function of the trace written when the book could not be saved at exit.
constexpr int kSaveFailedTraceLine = 89;
constexpr const char* kDestroyFunction = "CManagerDlg::OnDestroy";

// Column 2 takes what the first two leave of the list's width, and nothing when they take it all.
int RemainingColumnWidth(int listWidth, int col0Width, int col1Width) {
    const std::int64_t rest = std::int64_t(listWidth) - col0Width - col1Width;
    return int(std::clamp<std::int64_t>(rest, 0, INT_MAX));
}

// What the login says of a journal it set aside: how much of the session came back, why the rest
// did not, and where the journal is now.
std::string SetAsideMessage(const SessionRecovery& recovery) {
    const std::string why = Sentence(recovery.failure.empty() ? "Its journal cannot be read." : recovery.failure);
    const std::string where = " The journal was kept as " + recovery.setAsidePath + ".";
    if (recovery.changesRecovered > 0)
        return kMsgRecovered + CountOfChanges(recovery.changesRecovered) + " restored; " +
               std::to_string(recovery.changesNotRecovered) + " more could not be. " + why + where;
    const std::string lost = recovery.changesNotRecovered > 0
                                 ? " " + CountOfChanges(recovery.changesNotRecovered) + " could not be restored."
                                 : std::string();
    return kMsgJournalSetAside + why + lost + where + " The book was opened as last saved.";
}

// What Cancel on a failed save at Exit gives up: nothing the next login cannot bring back, unless
// the journal could not keep the session's last changes.
std::string WhatCancelGivesUp() {
    if (!g_OpenBook.HasJournal())
        return "\nCancel gives up what this session changed: the session journal could not keep it.";
    if (g_OpenBook.UnjournaledChanges() == 0)
        return {};
    return "\nCancel gives up the last " + CountOfChanges(g_OpenBook.UnjournaledChanges()) +
           ", which the session journal could not keep. The next login brings back the ones before them.";
}

} // namespace

CManagerDlg::CManagerDlg(CWnd* parent) : CDialog(IDD_ZELVO_MANAGER_DIALOG, parent) {
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : AfxLoadIconResource(IDR_MAINFRAME);
    m_bModified = 0;
}

// The edit texts hold the last chosen entry in clear.
CManagerDlg::~CManagerDlg() {
    WipeString(m_strAccount);
    WipeString(m_strPassword);
    WipeString(m_strComment);
    WipeString(m_strFindText);
    WipeBytes(&m_replacedRow, sizeof m_replacedRow);
}

const MessageMap& CManagerDlg::GetMessageMap() const {
    using C = CManagerDlg;
    static const MessageMap map = {
        msgmap::OnSysCommand(&C::OnSysCommand),
        msgmap::OnMessage(WM_PAINT, &C::OnPaint),
        msgmap::OnQueryDragIcon(&C::OnQueryDragIcon),
        msgmap::OnSize(&C::OnSize),
        msgmap::OnMessage(WM_DESTROY, &C::OnDestroy),
        msgmap::OnMessage(WM_CLOSE, &C::OnClose),
        msgmap::OnTimer(&C::OnTimer),
        msgmap::OnBnClicked(IDC_BTN_LOGIN, &C::OnBnClickedLogin),
        msgmap::OnBnClicked(IDC_BTN_ABOUT, &C::OnBnClickedAbout),
        msgmap::OnBnClicked(IDC_BTN_CREATE_ADMIN, &C::OnBnClickedCreateAdmin),
        msgmap::OnBnClicked(IDC_BTN_HELP, &C::OnBnClickedHelp),
        msgmap::OnBnClicked(UINT(IDOK), &C::OnBnClickedExit),
        msgmap::OnBnClicked(IDC_BTN_INSERT, &C::OnBnClickedInsert),
        msgmap::OnBnClicked(IDC_BTN_UPDATE, &C::OnBnClickedUpdate),
        msgmap::OnBnClicked(IDC_BTN_DELETE, &C::OnBnClickedDelete),
        msgmap::OnNotify(LVN_ITEMCHANGING, IDC_LIST_ACCOUNTS, &C::OnLvnItemchangingList),
        msgmap::OnContextMenu(&C::OnContextMenu),
    };
    return map;
}

void CManagerDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_ACCOUNT, m_strAccount);
    DDV_MaxChars(dx, m_strAccount, int(kMaxTextBytes));
    DDX_Text(dx, IDC_EDIT_PASSWORD, m_strPassword);
    DDV_MaxChars(dx, m_strPassword, int(kMaxTextBytes));
    DDX_Text(dx, IDC_EDIT_COMMENT, m_strComment);
    DDV_MaxChars(dx, m_strComment, int(kMaxTextBytes));
    DDX_Control(dx, IDC_LIST_ACCOUNTS, m_listAccounts);
    DDX_Control(dx, IDC_BTN_LOGIN, m_btnLogin);
    DDX_Control(dx, IDC_BTN_CREATE_ADMIN, m_btnCreateAdmin);
    DDX_Control(dx, IDC_BTN_INSERT, m_btnInsert);
    DDX_Control(dx, IDC_BTN_UPDATE, m_btnUpdate);
    DDX_Control(dx, IDC_BTN_DELETE, m_btnDelete);
}

// ---------------------------------------------------------------------------------------------
// Start-up.

BOOL CManagerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AddAboutItemToSystemMenu();
    SetWindowText(kAppTitle);
    SetIcon(m_hIcon, ICON_BIG);
    SetIcon(m_hIcon, ICON_SMALL);
    InitControls();
    SetTimer(kStartupTimerId, kStartupTimerMs);
    return TRUE;
}

void CManagerDlg::AddAboutItemToSystemMenu() {
    CMenu* menu = GetSystemMenu(FALSE);
    if (!menu)
        return;
    const std::string aboutText = AfxLoadResourceString(IDS_ABOUTBOX);
    if (aboutText.empty())
        return;
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText);
    AddToolItemsToSystemMenu(*menu);
    AddUndoItemsToSystemMenu(*menu);
}

void CManagerDlg::InitControls() {
    InitListCtrl();
    m_nSelItem = -1;
    for (const UINT id : {IDC_EDIT_ACCOUNT, IDC_EDIT_PASSWORD, IDC_EDIT_COMMENT})
        if (CWnd* edit = GetDlgItem(id))
            edit->EnableWindow(FALSE);
    m_btnInsert.EnableWindow(FALSE);
    m_btnUpdate.EnableWindow(FALSE);
    m_btnDelete.EnableWindow(FALSE);
    // The field shows the password in clear; what is copied from it is guarded all the same.
    if (auto* password = static_cast<CEdit*>(GetDlgItem(IDC_EDIT_PASSWORD)))
        password->GuardClipboard();
}

void CManagerDlg::InitListCtrl() {
    if (!m_listAccounts.HasWindow())
        return;
    m_listAccounts.SetExtendedStyle(m_listAccounts.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    CRect outer;
    m_listAccounts.GetWindowRect(&outer);
    // A negative width read from the configuration shows the column closed, not at a default width.
    const int col0Width = std::max(g_nCol0Width, 0);
    const int col1Width = std::max(g_nCol1Width, 0);
    const int col2Width = RemainingColumnWidth(outer.Width(), col0Width, col1Width);
    m_listAccounts.InsertColumn(0, "ID(Account)", LVCFMT_LEFT, col0Width);
    m_listAccounts.InsertColumn(1, "Password", LVCFMT_LEFT, col1Width);
    m_listAccounts.InsertColumn(2, "Comment", LVCFMT_LEFT, col2Width);
}

void CManagerDlg::OnTimer(UINT_PTR id) {
    if (id == kStartupTimerId) {
        KillTimer(kStartupTimerId);
        ShowWindow(SW_SHOW);
    }
    Default();
}

// ---------------------------------------------------------------------------------------------
// Window messages.

void CManagerDlg::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CDlgAbout about;
        about.DoModal();
        return;
    }
    if (RunToolCommand(id & 0xFFF0) || RunUndoCommand(id & 0xFFF0))
        return;
    CDialog::OnSysCommandDefault(id, lParam);
}

void CManagerDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, dc.GetSafeHdc(), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - iconWidth + 1) / 2;
    const int y = (client.Height() - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

// The drag image of the minimised window is the program icon.
HCURSOR CManagerDlg::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(m_hIcon);
}

// The controls keep their places whatever the window's size.
void CManagerDlg::OnSize(UINT, int, int) {
    Default();
}

BOOL CManagerDlg::PreTranslateMessage(MSG* msg) {
    if (msg && msg->message == WM_KEYDOWN) {
        if (msg->wParam == VK_ESCAPE)
            return TRUE;
        if (msg->wParam == VK_RETURN) {
            OnBnClickedInsert();
            return TRUE;
        }
        if (HandleUndoKeys(*msg) || HandleCopyAndFindKeys(*msg) || HandleToolKeys(*msg))
            return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

// ---------------------------------------------------------------------------------------------
// Commands that open dialogs or help.

void CManagerDlg::OnBnClickedLogin() {
    CDlgLogin login;
    if (login.DoModal() != IDOK)
        return;
    ShowMessage(kMsgLoginSuccess, this);
    FillAccountList();
    ReportRecovery();
    EnableEntryEditing();
    m_btnCreateAdmin.EnableWindow(FALSE);
    m_btnLogin.EnableWindow(FALSE);
    FocusAccountField();
}

// Tells what the login brought back of a session that ended without saving; a session brought
// back into the book is saved at Exit.
void CManagerDlg::ReportRecovery() {
    const SessionRecovery& recovery = g_OpenBook.Recovery();
    if (recovery.recovered)
        m_bModified = 1;
    if (!recovery.keptPath.empty()) {
        MessageBox(nullptr, kMsgRecoveredKept + recovery.keptPath, kAppTitle, MB_ICONWARNING | MB_OK);
    } else if (!recovery.setAsidePath.empty()) {
        MessageBox(nullptr, SetAsideMessage(recovery), kAppTitle, MB_ICONWARNING | MB_OK);
    } else if (recovery.recovered) {
        ShowMessage(kMsgRecovered + CountOfChanges(recovery.changesRecovered) + " restored.", this);
    }
}

void CManagerDlg::OnBnClickedCreateAdmin() {
    CDlgCreateAdmin createAdmin;
    if (createAdmin.DoModal() != IDOK)
        return;
    EnableEntryEditing();
    m_btnLogin.EnableWindow(FALSE);
    m_btnCreateAdmin.EnableWindow(FALSE);
    m_bModified = 1;
    FocusAccountField();
}

// The button that opened the book is disabled now; the keyboard goes on in the first entry field.
void CManagerDlg::FocusAccountField() {
    if (CWnd* edit = GetDlgItem(IDC_EDIT_ACCOUNT))
        edit->SetFocus();
}

void CManagerDlg::EnableEntryEditing() {
    m_bBookOpen = true;
    EnableToolItems(true);
    for (const UINT id : {IDC_EDIT_ACCOUNT, IDC_EDIT_PASSWORD, IDC_EDIT_COMMENT})
        if (CWnd* edit = GetDlgItem(id))
            edit->EnableWindow(TRUE);
    m_btnInsert.EnableWindow(TRUE);
}

void CManagerDlg::OnBnClickedAbout() {
    CDlgAbout about;
    about.DoModal();
}

// The help file is installed in the program directory; a missing file or viewer is not reported.
void CManagerDlg::OnBnClickedHelp() {
    std::string helpPath;
    if (AppDirPath(kHelpFileName, helpPath))
        ShellExecute(nullptr, "open", helpPath, "", "", SW_SHOW);
}

// ---------------------------------------------------------------------------------------------
// Closing and destruction.

void CManagerDlg::OnBnClickedExit() {
    ExitApp();
}
void CManagerDlg::OnClose() {
    ExitApp();
}

void CManagerDlg::ExitApp() {
    if (m_listAccounts.HasWindow()) {
        g_nCol0Width = m_listAccounts.GetColumnWidth(0);
        g_nCol1Width = m_listAccounts.GetColumnWidth(1);
    }
    PostQuitMessage(0);
    Default();
}

void CManagerDlg::OnDestroy() {
    CDialog::OnDestroy();
    StoreAccountList();
    m_index.Clear();
    if (m_bModified != 0 && g_AccountBook.szAdminAccount[0] != '\0')
        SaveBookAtExit();
    g_OpenBook.Close();
}

// The book is whole in g_AccountBook, so a failed save can be tried again once the user has freed
// space or made the folder writable. A failed save replaces nothing: the previous book is still there.
void CManagerDlg::SaveBookAtExit() {
    for (;;) {
        const BookSaveResult result = SaveHeldBook(g_AccountBook.szAdminAccount);
        // A book in place whose name is not yet durable is saved; the user is told that much.
        const std::string note = result.reason.empty() ? "" : "\n" + result.reason;
        if (result.outcome == BookSaveOutcome::Saved) {
            if (!note.empty())
                MessageBox(nullptr, kMsgSavedNotDurable + note, kAppTitle, MB_ICONWARNING | MB_OK);
            return;
        }
        if (result.outcome == BookSaveOutcome::KeptBeside) {
            MessageBox(nullptr, kMsgKeptBeside + result.keptPath + note, kAppTitle, MB_ICONWARNING | MB_OK);
            return;
        }
        // What to free or mend before Retry, under the message.
        const std::string text =
            (result.reason.empty() ? kMsgSaveFailed : kMsgSaveFailed + ("\n" + result.reason)) + WhatCancelGivesUp();
        if (MessageBox(nullptr, text, kAppTitle, MB_ICONERROR | MB_RETRYCANCEL) != IDRETRY) {
            WriteTrace(kSaveFailedTraceLine, kDestroyFunction);
            return;
        }
    }
}

BookSaveResult CManagerDlg::SaveHeldBook(const char* account) {
    if (!account)
        return {};
    return g_OpenBook.Save(g_szAppDir, account, m_base64);
}

void CManagerDlg::PostNcDestroy() {
    CDialog::PostNcDestroy();
    delete this;
}

// ---------------------------------------------------------------------------------------------
// The list and the account book.

void CManagerDlg::FillAccountList() {
    m_listAccounts.DeleteAllItems();
    m_index.Clear();
    AppendRows(g_AccountBook.vecEntries);
}

// One buffer carries every text into the list, and is wiped once they are all in.
void CManagerDlg::AppendRows(const AccountEntries& entries) {
    m_listAccounts.ReserveItems(m_listAccounts.GetItemCount() + int(entries.size()));
    m_index.Reserve(m_index.Rows() + entries.size());
    std::string cell;
    cell.reserve(kMaxTextBytes);
    for (const AccountEntry& entry : entries) {
        const EntryTexts texts = TextsOf(entry);
        const int row = m_listAccounts.InsertItem(m_listAccounts.GetItemCount(), cell.assign(texts.account));
        m_listAccounts.SetItemText(row, 1, cell.assign(texts.password));
        m_listAccounts.SetItemText(row, 2, cell.assign(texts.comment));
        m_listAccounts.SetItemData(row, UINT_PTR(INT_PTR(entry.nIndex)));
        m_index.Add(texts);
    }
    WipeString(cell);
}

void CManagerDlg::StoreAccountList() {
    CollectRows(g_AccountBook.vecEntries);
}

RowSource CManagerDlg::WindowRows() {
    return [this](AccountEntries& rows) { CollectRows(rows); };
}

void CManagerDlg::CollectRows(AccountEntries& entries) {
    const int count = m_listAccounts.GetItemCount();
    // The rows replace the entries in the storage the book already has: after a login it holds as
    // many entries as the list started with, and a fresh block that large would be paid for again
    // in page faults at every exit. Entries beyond the rows are wiped before they are dropped.
    // Rows that no longer fit get a block of exactly their number instead: growing would copy
    // entries that are overwritten below, into a block twice as large that is wiped in full.
    if (std::size_t(count) > entries.capacity()) {
        AccountEntries().swap(entries);
        entries.reserve(std::size_t(count));
    } else if (std::size_t(count) < entries.size()) {
        WipeBytes(entries.data() + count, (entries.size() - std::size_t(count)) * sizeof(AccountEntry));
    }
    entries.resize(std::size_t(count));
    for (int row = 0; row < count; ++row)
        CopyRow(row, entries[std::size_t(row)]);
}

// The row's three texts as an entry collected from the list.
void CManagerDlg::CopyRow(int row, AccountEntry& entry) {
    entry = AccountEntry{};
    entry.nIndex = -1;
    CopyRowText(row, 0, entry.szAccount);
    CopyRowText(row, 1, entry.szPassword);
    CopyRowText(row, 2, entry.szComment);
}

// Copies a cell into a field without a string of its own, so nothing of it is left on the heap.
// One byte more than a field holds is enough to tell a text that is too long, as CopyFieldText would.
void CManagerDlg::CopyRowText(int row, int column, TextField& field) {
    char text[kMaxTextBytes + 2];
    const int length = m_listAccounts.GetItemText(row, column, text, int(sizeof text));
    CopyFieldText(field, std::string_view(text, std::size_t(length)));
    WipeBytes(text, sizeof text);
}

bool CManagerDlg::LoadAccountFile(const char* path) {
    return path != nullptr && LoadAccountBook(g_AccountBook, path, m_base64);
}

bool CManagerDlg::SaveAccountFile(const char* account) {
    return SaveHeldBook(account).outcome == BookSaveOutcome::Saved;
}

bool CManagerDlg::AccountFileExists(const char* account) {
    const std::string path = account ? OpenBook::PathOf(g_szAppDir, account) : std::string();
    return !path.empty() && AccountFileReadable(path);
}

// ---------------------------------------------------------------------------------------------
// Entry commands.

void CManagerDlg::OnLvnItemchangingList(NMHDR* hdr, LRESULT* result) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(hdr);
    if (change && change->uNewState == (LVIS_SELECTED | LVIS_FOCUSED))
        ChooseRow(change->iItem);
    if (result)
        *result = 0;
}

void CManagerDlg::ChooseRow(int row) {
    m_nSelItem = row;
    m_strAccount = m_listAccounts.GetItemText(row, 0);
    m_strPassword = m_listAccounts.GetItemText(row, 1);
    m_strComment = m_listAccounts.GetItemText(row, 2);
    UpdateData(FALSE);
    m_btnUpdate.EnableWindow(TRUE);
    m_btnDelete.EnableWindow(TRUE);
}

void CManagerDlg::OnBnClickedInsert() {
    UpdateData(TRUE);
    if (!EntryTextsComplete())
        return;
    if (!AddAccountItem(m_strAccount, m_strPassword, m_strComment))
        ShowMessage(kMsgDuplicate, this);
}

void CManagerDlg::OnBnClickedUpdate() {
    if (m_nSelItem == -1)
        return;
    UpdateData(TRUE);
    if (!EntryTextsComplete())
        return;
    if (FindAccountItem(m_strAccount, m_strPassword, m_strComment)) {
        ShowMessage(kMsgDuplicate, this);
        FocusControl(IDC_EDIT_PASSWORD);
        return;
    }
    ForgetRowTexts(m_nSelItem);
    m_listAccounts.SetItemText(m_nSelItem, 0, m_strAccount);
    m_listAccounts.SetItemText(m_nSelItem, 1, m_strPassword);
    m_listAccounts.SetItemText(m_nSelItem, 2, m_strComment);
    m_index.Add({m_strAccount, m_strPassword, m_strComment});
    m_bModified = 1;
    RecordChange(JournalChange::Update, m_nSelItem);
}

void CManagerDlg::OnBnClickedDelete() {
    if (m_nSelItem == -1)
        return;
    ForgetRowTexts(m_nSelItem);
    m_listAccounts.DeleteItem(m_nSelItem);
    RecordChange(JournalChange::Delete, m_nSelItem);
    m_nSelItem = -1;
    m_btnUpdate.EnableWindow(FALSE);
    m_btnDelete.EnableWindow(FALSE);
    m_bModified = 1;
}

bool CManagerDlg::EntryTextsComplete() {
    if (m_strAccount.empty()) {
        ShowMessage(kMsgNoAccount, this);
        FocusControl(IDC_EDIT_ACCOUNT);
        return false;
    }
    if (m_strPassword.empty()) {
        ShowMessage(kMsgNoPassword, this);
        FocusControl(IDC_EDIT_PASSWORD);
        return false;
    }
    return true;
}

bool CManagerDlg::AddAccountItem(const std::string& account, const std::string& password, const std::string& comment) {
    if (FindAccountItem(account, password, comment))
        return false;
    const int row = m_listAccounts.InsertItem(m_listAccounts.GetItemCount(), account);
    m_listAccounts.SetItemText(row, 1, password);
    m_listAccounts.SetItemText(row, 2, comment);
    m_index.Add({account, password, comment});
    m_bModified = 1;
    RecordChange(JournalChange::Insert, row);
    // The new row shows that it came; the chosen row stays the one it was.
    m_listAccounts.EnsureVisible(row, FALSE);
    return true;
}

// The change is durable before the command returns. The first time in a session that it cannot
// be, the user learns that the session is protected only up to there.
void CManagerDlg::RecordChange(JournalChange change, int row) {
    AccountEntry entry;
    if (change != JournalChange::Delete)
        CopyRow(row, entry);
    RememberRowChange(change, row, entry);
    std::string reason;
    const bool recorded = g_OpenBook.Record(change, std::size_t(row), entry, WindowRows(), &reason);
    WipeBytes(&entry, sizeof entry);
    ReportJournalFailure(recorded, reason);
}

// Told once while the journal cannot take changes; once it can again, a new failure is told again.
void CManagerDlg::ReportJournalFailure(bool recorded, const std::string& reason) {
    if (recorded || m_bJournalFailureShown) {
        m_bJournalFailureShown = !recorded;
        return;
    }
    m_bJournalFailureShown = true;
    MessageBox(nullptr, kMsgJournalFailed + reason, kAppTitle, MB_ICONWARNING | MB_OK);
}

bool CManagerDlg::FindAccountItem(const std::string& account, const std::string& password,
                                  const std::string& comment) const {
    return m_index.Contains({account, password, comment});
}

// Read through a field of its own, so that no copy of the password is left on the heap.
void CManagerDlg::ForgetRowTexts(int row) {
    CopyRow(row, m_replacedRow);
    m_index.Remove(TextsOf(m_replacedRow));
}

void CManagerDlg::FocusControl(UINT id) {
    if (CWnd* control = GetDlgItem(id))
        control->SetFocus();
}
