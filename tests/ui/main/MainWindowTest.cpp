// The main window's start-up, keyboard, menus, close and destroy behaviour.
#include "MainWindowFixture.h"
#include "BookJournal.h"
#include "OpenBook.h"
#include "SealedBook.h"
#include "AccountFile.h"

#include "AccountBook.h"
#include "Globals.h"
#include "resource.h"
#include "testhooks.h"
#include "xmldom.h"

#include <fstream>
#include <functional>
#include <QAbstractItemModel>
#include <QDir>
#include <QTableView>
#include <QTest>

#include <climits>
#include <filesystem>

// The application object the framework expects; the window reaches it for its owner and icon.
CWinApp g_testApp("Manager");

namespace {
bool Enabled(CWnd* wnd) {
    return wnd->IsWindowEnabled() != FALSE;
}

// The Change Password dialog filled in, from "pw" to "new", and confirmed.
void ChangePasswordToNew(CDialog& dlg) {
    dlg.GetDlgItem(IDC_EDIT_OLD_PASSWORD)->SetWindowText("pw");
    dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("new");
    dlg.GetDlgItem(IDC_EDIT_CONFIRM)->SetWindowText("new");
    static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
}

// Records every trace line instead of writing a log file.
struct RecordingLog : IFileLog {
    HRESULT QueryInterface(REFIID, void**) override { return -1; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    BYTE Open(const char*) override { return 1; }
    HRESULT Write(const char* line) override {
        lines.emplace_back(line);
        return 0;
    }
    std::vector<std::string> lines;
};
} // namespace

TEST_F(MainWindowTest, StartsWithOnlyTheBookCommandsEnabled) {
    OpenWindow();
    const std::vector<std::pair<UINT, bool>> expected = {
        {IDC_BTN_LOGIN, true},     {IDC_BTN_CREATE_ADMIN, true}, {IDC_BTN_ABOUT, true},     {IDC_BTN_HELP, true},
        {UINT(IDOK), true},        {IDC_LIST_ACCOUNTS, true},    {IDC_EDIT_ACCOUNT, false}, {IDC_EDIT_PASSWORD, false},
        {IDC_EDIT_COMMENT, false}, {IDC_BTN_INSERT, false},      {IDC_BTN_UPDATE, false},   {IDC_BTN_DELETE, false}};
    for (const auto& [id, enabled] : expected)
        EXPECT_EQ(Enabled(Item(id)), enabled) << "control " << id;
    for (const UINT id : {IDC_EDIT_ACCOUNT, IDC_EDIT_PASSWORD, IDC_EDIT_COMMENT})
        EXPECT_EQ(static_cast<CEdit*>(Item(id))->GetLimitText(), 128u);
    EXPECT_EQ(m_dlg->GetWindowText(), "Zelvo Password Manager");
    const QAbstractItemModel* model = ListView()->model();
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->rowCount(), 0);
    const char* headings[] = {"ID(Account)", "Password", "Comment"};
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString().toStdString(), headings[c]);
}

TEST_F(MainWindowTest, ColumnTwoTakesTheRestOfTheListWidthAndNeverLessAndNegativeWidthsAreZero) {
    struct Case {
        int col0, col1;
    };
    for (const Case c : {Case{150, 150}, Case{80, 120}, Case{400, 400}, Case{INT_MAX - 10, INT_MAX - 10},
                         Case{-20, 150}, Case{-1, INT_MIN}}) {
        g_nCol0Width = c.col0;
        g_nCol1Width = c.col1;
        OpenWindow();
        auto* list = static_cast<CListCtrl*>(Item(IDC_LIST_ACCOUNTS));
        CRect outer;
        list->GetWindowRect(&outer);
        const int shown0 = std::max(c.col0, 0), shown1 = std::max(c.col1, 0);
        const long long rest = (long long)outer.Width() - shown0 - shown1;
        if (c.col0 < 10'000) { // the toolkit caps huge sections
            EXPECT_EQ(list->GetColumnWidth(0), shown0);
            EXPECT_EQ(list->GetColumnWidth(1), shown1);
        }
        EXPECT_EQ(list->GetColumnWidth(2), rest > 0 ? int(rest) : 0) << c.col0 << "+" << c.col1;
        DestroyWindow();
    }
}

TEST_F(MainWindowTest, EscapeNeverClosesAndEnterAlwaysInserts) {
    OpenWindow();
    for (const UINT id : {IDC_LIST_ACCOUNTS, UINT(IDOK), IDC_BTN_LOGIN, IDC_BTN_HELP}) {
        QTest::keyClick(Item(id)->GetSafeHwnd(), Qt::Key_Escape);
        QTest::keyClick(Item(id)->GetSafeHwnd(), Qt::Key_Return);
    }
    EXPECT_TRUE(m_dlg->IsWindowVisible());
    EXPECT_FALSE(QuitPosted(200));
    EXPECT_EQ(m_messages, std::vector<std::string>(4, "Please input the account."));
    EXPECT_TRUE(m_shellFiles.empty());

    CreateAdmin("carol");
    TypeEntry({"id", "secret", "note"});
    QTest::keyClick(Item(IDC_EDIT_COMMENT)->GetSafeHwnd(), Qt::Key_Enter);
    EXPECT_EQ(ListRows(), (std::vector<Row>{{"id", "secret", "note"}}));
}

TEST_F(MainWindowTest, AboutOpensFromTheButtonAndTheSystemMenu) {
    OpenWindow();
    const std::vector<CMenu::Item>& items = m_dlg->GetSystemMenu(FALSE)->Items();
    const auto about = std::find_if(items.begin(), items.end(), [](const CMenu::Item& item) {
        return item.id == IDM_ABOUTBOX && !(item.flags & MF_SEPARATOR);
    });
    ASSERT_TRUE(about != items.end() && about != items.begin());
    EXPECT_EQ(std::prev(about)->flags, MF_SEPARATOR);
    EXPECT_EQ(about->text, "About Password Manager(&A)...");

    m_dlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
    Click(IDC_BTN_ABOUT);
    m_dlg->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_EQ(m_templates, (std::vector<UINT>{IDD_ABOUTBOX, IDD_ABOUTBOX}));
}

// The commands below About are grayed, and do nothing however they are reached, until a book is open.
TEST_F(MainWindowTest, TheWindowMenusCommandsWaitForAnOpenBook) {
    OpenWindow();
    const auto commandItems = [&] {
        std::vector<CMenu::Item> commands;
        const std::vector<CMenu::Item>& items = m_dlg->GetSystemMenu(FALSE)->Items();
        for (auto item = items.begin(); item != items.end(); ++item)
            if (item->id == IDM_ABOUTBOX && !(item->flags & MF_SEPARATOR))
                for (auto after = std::next(item); after != items.end(); ++after)
                    if (!(after->flags & MF_SEPARATOR))
                        commands.push_back(*after);
        return commands;
    };
    ASSERT_FALSE(commandItems().empty());
    for (const CMenu::Item& item : commandItems()) {
        EXPECT_TRUE(item.flags & MF_GRAYED) << item.text;
        m_dlg->SendMessage(WM_SYSCOMMAND, item.id);
    }
    EXPECT_TRUE(m_templates.empty());
    CreateAdmin("carol");
    // Decrypt Book waits for an encrypted book.
    for (const CMenu::Item& item : commandItems())
        EXPECT_EQ(bool(item.flags & MF_GRAYED), item.id == IDM_DECRYPT_BOOK) << item.text;
}

// Encrypt Book takes the administrator password alone; the book is then written encrypted at once,
// and only Decrypt Book applies to it, which writes it plain again.
TEST_F(MainWindowTest, EncryptBookLocksTheFileAtOnceAndDecryptBookUnlocksIt) {
    sealed_book_test::UseCost({1, 8192});
    OpenWindow();
    LoginTo("ivy", {{"a", "1", ""}});
    const std::string book = m_dir.path().toStdString() + "/ivy.xml";
    // Each password typed in turn into the one dialog, and OK pressed after each.
    const auto typePassword = [&](std::vector<const char*> passwords) {
        m_script.push_back([passwords](CDialog& dlg) {
            for (const char* password : passwords) {
                dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(password);
                static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
            }
        });
    };
    const auto grayed = [&](UINT id) {
        for (const CMenu::Item& item : m_dlg->GetSystemMenu(FALSE)->Items())
            if (item.id == id)
                return bool(item.flags & MF_GRAYED);
        return false;
    };
    // Check Passwords says whether the book is encrypted, above its list.
    const auto checkSaysNotEncrypted = [&] {
        bool shown = false;
        m_script.push_back([&shown](CDialog& dlg) {
            shown = dlg.GetDlgItem(IDC_STATIC_NOT_ENCRYPTED)->IsWindowVisible();
            dlg.EndDialog(IDCANCEL);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_CHECK_PASSWORDS);
        return shown;
    };
    EXPECT_TRUE(checkSaysNotEncrypted());
    typePassword({"wrong", "pw"});
    m_dlg->SendMessage(WM_SYSCOMMAND, IDM_ENCRYPT_BOOK);
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[0], "Encrypt Failed:Password error.");
    EXPECT_EQ(m_messages[1].rfind("Encrypt success:", 0), 0u) << m_messages[1];
    EXPECT_TRUE(IsSealedBookFile(book));
    EXPECT_TRUE(grayed(IDM_ENCRYPT_BOOK));
    EXPECT_FALSE(grayed(IDM_DECRYPT_BOOK));
    EXPECT_FALSE(checkSaysNotEncrypted());
    typePassword({"pw"});
    m_dlg->SendMessage(WM_SYSCOMMAND, IDM_DECRYPT_BOOK);
    EXPECT_FALSE(IsSealedBookFile(book));
    EXPECT_FALSE(grayed(IDM_ENCRYPT_BOOK));
    sealed_book_test::UseCost({});
}

// A changed administrator password is confirmed, saved at Exit, and from then on the only one
// that opens the book.
TEST_F(MainWindowTest, AChangedAdministratorPasswordIsTheOnlyOneThatOpensTheSavedBook) {
    OpenWindow();
    LoginTo("ivy", {{"a", "1", ""}});
    m_script.push_back(ChangePasswordToNew);
    m_dlg->SendMessage(WM_SYSCOMMAND, IDM_CHANGE_PASSWORD);
    EXPECT_EQ(m_messages, std::vector<std::string>{"Change password success."});
    DestroyWindow();
    for (const auto& [password, outcome] :
         {std::pair{"pw", OpenOutcome::WrongPassword}, {"new", OpenOutcome::Opened}}) {
        AccountBook book;
        EXPECT_EQ(OpenBook(book).Open(m_dir.path().toStdString(), "ivy", password, CBase64()), outcome) << password;
    }
}

// Change Password confirms the new password only once the journal holds it; otherwise it says the
// change holds until Exit, also when the journal had failed at an earlier change.
TEST_F(MainWindowTest, ChangePasswordSaysWhetherTheJournalHoldsTheNewPassword) {
    const std::string untilExit = "Password changed until Exit:";
    const struct {
        const char* label;
        int failedSyncs;            // of the journal, from the start of the session
        bool insertFirst;           // a row is inserted before the password is changed
        std::size_t messagesBefore; // system messages shown before the change
    } cases[] = {
        {"recorded", 0, false, 0},
        {"the journal cannot take it", 100, false, 0},
        {"the journal had failed already", 100, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        OpenWindow();
        LoginTo("ivy", {{"a", "1", ""}});
        file_sync_test::FailNext(SyncKind::FileData, c.failedSyncs);
        if (c.insertFirst) {
            TypeEntry({"b", "2", ""});
            Click(IDC_BTN_INSERT);
        }
        ASSERT_EQ(m_systemMessages.size(), c.messagesBefore);
        m_messages.clear();
        m_script.push_back(ChangePasswordToNew);
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_CHANGE_PASSWORD);
        file_sync_test::FailNext(SyncKind::FileData, 0);
        const bool recorded = c.failedSyncs == 0;
        EXPECT_EQ(m_messages,
                  recorded ? std::vector<std::string>{"Change password success."} : std::vector<std::string>{});
        ASSERT_EQ(m_systemMessages.size(), c.messagesBefore + (recorded ? 0 : 1));
        if (!recorded) {
            EXPECT_EQ(m_systemMessages.back().substr(0, untilExit.size()), untilExit);
        }
        EndCase();
    }
}

TEST_F(MainWindowTest, HelpOpensTheFileOfTheProgramDirectory) {
    OpenWindow();
    Click(IDC_BTN_HELP);
    EXPECT_EQ(m_shellFiles, std::vector<std::string>{m_dir.path().toStdString() + "/Manager.chm"});
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(MainWindowTest, ExitAndTheCloseBoxPostQuitAndStoreTheFirstTwoWidths) {
    const std::vector<std::function<void(MainWindowTest&)>> closers = {
        [](MainWindowTest& t) { t.Click(IDOK); },
        [](MainWindowTest& t) { t.m_dlg->GetSafeHwnd()->close(); },
        [](MainWindowTest& t) { t.m_dlg->SendMessage(WM_SYSCOMMAND, SC_CLOSE); },
    };
    for (std::size_t i = 0; i < closers.size(); ++i) {
        OpenWindow();
        auto* list = static_cast<CListCtrl*>(Item(IDC_LIST_ACCOUNTS));
        list->SetColumnWidth(0, 111);
        list->SetColumnWidth(1, 99);
        list->SetColumnWidth(2, 7);
        closers[i](*this);
        EXPECT_TRUE(QuitPosted()) << "closer " << i;
        EXPECT_EQ(g_nCol0Width, 111);
        EXPECT_EQ(g_nCol1Width, 99);
        DestroyWindow();
    }
}

TEST_F(MainWindowTest, DestroySavesTheRowsOnlyWhenTheBookChanged) {
    const std::vector<Row> book = {{"b", "2", ""}, {"a", "1", "x"}, {"b", "2", "y"}};
    struct Case {
        const char* name;
        std::function<void(MainWindowTest&)> session;
        std::optional<std::vector<Row>> saved; // nullopt: the file keeps its bytes (or never exists)
    };
    const std::vector<Case> cases = {
        {"no book", [](MainWindowTest&) {}, std::nullopt},
        {"book unchanged", [&](MainWindowTest& t) { t.LoginTo("alice", book); }, std::nullopt},
        {"new book", [](MainWindowTest& t) { t.CreateAdmin("alice"); }, std::vector<Row>{}},
        {"row inserted",
         [&](MainWindowTest& t) {
             t.LoginTo("alice", book);
             t.TypeEntry({"c", "3", "z"});
             t.Click(IDC_BTN_INSERT);
         },
         std::vector<Row>{book[0], book[1], book[2], {"c", "3", "z"}}},
        {"every row deleted",
         [&](MainWindowTest& t) {
             t.LoginTo("alice", book);
             for (int i = 0; i < 3; ++i) {
                 t.ClickRow(0);
                 t.Click(IDC_BTN_DELETE);
             }
         },
         std::vector<Row>{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenWindow();
        c.session(*this);
        const std::string before = FileText(BookPath("alice"));
        DestroyWindow();
        if (c.saved) {
            EXPECT_EQ(ReadBookRows(BookPath("alice")), c.saved);
        } else {
            EXPECT_EQ(FileText(BookPath("alice")), before);
        }
        EXPECT_TRUE(m_systemMessages.empty());
        std::filesystem::remove(BookPath("alice"));
        g_AccountBook.Clear();
    }
}

// Where the journal cannot be written, the user hears of it once; the changes stay in the window
// and Exit saves them.
TEST_F(MainWindowTest, AJournalThatCannotBeWrittenIsReportedOnceAndTheBookStillSaved) {
    OpenWindow();
    LoginTo("hal", {{"a", "1", ""}});
    const std::string journal = BookJournal::PathFor(BookPath("hal"));
    ASSERT_TRUE(std::filesystem::create_directory(journal)); // something else bears the journal's name
    for (const Row& row : {Row{"b", "2", ""}, Row{"c", "3", ""}}) {
        TypeEntry(row);
        Click(IDC_BTN_INSERT);
    }
    EXPECT_EQ(m_systemMessages, std::vector<std::string>{"Session journal failed:This change and the later ones are "
                                                         "kept only until Exit saves the book. Should the program end "
                                                         "before, they are lost.\nFile exists"});
    DestroyWindow();
    EXPECT_EQ(ReadBookRows(BookPath("hal")), (std::vector<Row>{{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}}));
    EXPECT_TRUE(std::filesystem::is_directory(journal)) << "what bears the name is not the program's to remove";
}

TEST_F(MainWindowTest, AFullListIsSavedWhole) {
    std::vector<Row> book;
    for (int i = 0; i < 500; ++i)
        book.push_back({"id" + std::to_string(i), "pw" + std::to_string(i), i % 2 ? "" : "c"});
    OpenWindow();
    LoginTo("dave", book);
    ClickRow(0);
    Click(IDC_BTN_DELETE);
    DestroyWindow();
    book.erase(book.begin());
    EXPECT_EQ(ReadBookRows(BookPath("dave")), book);
}

// A failed save replaces nothing. Retry saves the whole book again; Cancel gives up, traced, and
// says what it gives up when the journal could not keep the whole session.
TEST_F(MainWindowTest, AFailedSaveCanBeRetriedOrGivenUp) {
    const std::string journal = BookJournal::PathFor(BookPath("erin"));
    const struct {
        const char* label;
        bool retry;
        std::size_t failFrom; // the insert before which the journal is made to fail
        std::function<void()> fail;
        std::string cancelGivesUp;
    } cases[] = {
        {"retry", true, 0, [] {}, ""},
        {"cancel", false, 0, [] {}, ""},
        {"cancel, the journal failed at a change", false, 1, [] { file_sync_test::FailNext(SyncKind::FileData, 100); },
         "\nCancel gives up the last 1 change, which the session journal could not keep. The next login brings back "
         "the ones before them."},
        {"cancel, no journal at all", false, 0,
         [&] { std::filesystem::create_directory(journal); }, // something else bears the journal's name
         "\nCancel gives up what this session changed: the session journal could not keep it."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingLog log;
        g_pFileLog = &log;
        OpenWindow();
        LoginTo("erin", {{"a", "1", ""}});
        const std::string before = FileText(BookPath("erin"));
        for (const Row& row : {Row{"b", "2", ""}, Row{"c", "3", ""}}) {
            if (row.account == (c.failFrom == 0 ? "b" : "c"))
                c.fail();
            TypeEntry(row);
            Click(IDC_BTN_INSERT);
        }
        file_sync_test::FailNext(SyncKind::FileData, 0);
        m_systemMessages.clear();
        xmldom_test::FailNextSaveBeforeRename();
        afx_test::SetMessageBoxHook([&](const std::string& text, const std::string&, UINT type) {
            m_systemMessages.push_back(text);
            return c.retry && (type & 0x0F) == MB_RETRYCANCEL ? IDRETRY : IDCANCEL;
        });
        afx_test::ResetBeeps();
        DestroyWindow();
        g_pFileLog = nullptr;
        EXPECT_EQ(m_systemMessages, std::vector<std::string>{"Save account file failed.\nsave of " + BookPath("erin") +
                                                             " stopped before replacing it" + c.cancelGivesUp});
        EXPECT_EQ(afx_test::RequestedSounds(), std::vector<std::string>{"dialog-error"}); // the error box's sound
        // The session's journal goes with the save, and stays after Cancel for the next login.
        EXPECT_EQ(std::filesystem::exists(journal), !c.retry);
        if (c.retry) {
            EXPECT_TRUE(log.lines.empty());
            EXPECT_EQ(ReadBookRows(BookPath("erin")),
                      (std::vector<Row>{{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}}));
        } else {
            EXPECT_EQ(log.lines, std::vector<std::string>{"Line:89,Fun:CManagerDlg::OnDestroy"});
            EXPECT_EQ(FileText(BookPath("erin")), before);
            std::filesystem::remove_all(journal);
            BookJournal::RemoveFor(BookPath("erin"));
        }
        EndCase();
    }
}

// What the login says of a session that ended without its save, where the journal it left cannot
// be applied to the book: damaged, or written against a book another program has since replaced.
TEST_F(MainWindowTest, TheLoginSaysWhatBecameOfAnUnfinishedSession) {
    const std::string journal = BookJournal::PathFor(BookPath("gina"));
    // A session that inserted the rows and ended without its save.
    const auto LeaveSession = [&](const std::vector<Row>& inserted) {
        AccountBook book;
        OpenBook session(book);
        ASSERT_EQ(session.Open(m_dir.path().toStdString(), "gina", "pw", CBase64()), OpenOutcome::Opened);
        for (const Row& row : inserted) {
            AccountEntry entry;
            CopyFieldText(entry.szAccount, row.account);
            CopyFieldText(entry.szPassword, row.password);
            ASSERT_TRUE(session.Record(JournalChange::Insert, book.vecEntries.size(), entry, nullptr, nullptr));
            book.vecEntries.push_back(entry);
        }
    };
    const struct {
        const char* label;
        std::function<void()> leaveSession;
        std::string says;
        std::string where; // the file the message names
        std::string holds; // what else it says, word for word
        int rows;          // the list after the login
        bool journal;      // a journal of the session is there after the login
    } cases[] = {
        {"damaged journal", [&] { std::ofstream(journal) << "not a journal\n"; },
         "Unsaved session not recovered:Its journal cannot be read. The journal was kept as ",
         BookPath("gina") + ".journal-set-aside-", ". The book was opened as last saved.", 1, false},
        {"journal damaged after its first change",
         [&] {
             LeaveSession({{"b", "2", ""}, {"c", "3", ""}});
             std::string text = FileText(journal);
             text[text.rfind('\n', text.size() - 2) + 3] ^= 1;
             std::ofstream(journal, std::ios::binary | std::ios::trunc) << text;
         },
         "Unsaved session recovered:1 change restored; 1 more could not be. Its journal is damaged from that point "
         "on. The journal was kept as ",
         BookPath("gina") + ".journal-set-aside-", "", 2, true},
        {"book replaced since, and the session cannot be kept",
         [&] {
             LeaveSession({{"b", "2", ""}});
             WriteBook("gina", {{"x", "9", ""}});
             xmldom_test::FailNextSaveBeforeRename();
         },
         "Unsaved session not recovered:save of ", BookPath("gina") + ".journal-set-aside-",
         "stopped before replacing it. The journal was kept as ", 1, false},
        {"book replaced since",
         [&] {
             LeaveSession({{"b", "2", ""}});
             WriteBook("gina", {{"x", "9", ""}});
         },
         "Unsaved session recovered:Account file changed by another program since, so both versions were kept. "
         "The session's book was saved as ",
         BookPath("gina") + ".kept-", "", 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        OpenWindow();
        WriteBook("gina", {{"a", "1", ""}});
        c.leaveSession();
        Login("gina");
        EXPECT_EQ(m_messages, std::vector<std::string>{"Login success."});
        ASSERT_EQ(m_systemMessages.size(), 1u);
        EXPECT_EQ(m_systemMessages[0].substr(0, c.says.size()), c.says);
        const std::size_t at = m_systemMessages[0].find(c.where);
        ASSERT_NE(at, std::string::npos) << m_systemMessages[0];
        EXPECT_NE(m_systemMessages[0].find(c.holds), std::string::npos) << m_systemMessages[0];
        // What the message names holds the session, never lost.
        std::string named = m_systemMessages[0].substr(at, m_systemMessages[0].find(". ", at) - at);
        if (named.back() == '.')
            named.pop_back();
        if (c.where.find(".kept-") != std::string::npos)
            EXPECT_EQ(ReadBookRows(named), (std::vector<Row>{{"a", "1", ""}, {"b", "2", ""}}));
        else
            EXPECT_FALSE(FileText(named).empty()) << named;
        EXPECT_EQ(m_dlg->m_listAccounts.GetItemCount(), c.rows);
        EXPECT_EQ(std::filesystem::exists(journal), c.journal) << "what came back has a journal of its own";
        EndCase();
    }
}

TEST_F(MainWindowTest, EndingTheSessionSavesTheChangedBook) {
    OpenWindow();
    CreateAdmin("frank");
    TypeEntry({"a", "1", "x"});
    Click(IDC_BTN_INSERT);
    // The session ends while a message is on screen: the box is cancelled, the work is kept.
    afx_test::SetModalHook([](CDialog&) { AfxEndSession(); });
    Click(IDC_BTN_INSERT);
    ASSERT_TRUE(QuitPosted());
    DestroyWindow();
    EXPECT_EQ(ReadBookRows(BookPath("frank")), (std::vector<Row>{{"a", "1", "x"}}));
}

TEST_F(MainWindowTest, BookFilesExistOnlyForUsableNames) {
    for (const char* name : {"alice", "Config", "bad name", "9lives"})
        ASSERT_TRUE(QFile(m_dir.filePath(QString(name) + ".xml")).open(QIODevice::WriteOnly)) << name;
    EXPECT_TRUE(CManagerDlg::AccountFileExists("alice"));
    for (const char* name : {"Config", "bad name", "9lives", "nobody", ""})
        EXPECT_FALSE(CManagerDlg::AccountFileExists(name)) << name;
    EXPECT_FALSE(CManagerDlg::AccountFileExists(nullptr));
}

TEST_F(MainWindowTest, OpeningABookPutsTheKeyboardInTheAccountField) {
    // The button that opened the book is disabled afterwards; the focus must not stay on it.
    OpenWindow();
    CreateAdmin("grace");
    CWnd* focus = CWnd::GetFocus();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->GetDlgCtrlID(), UINT(IDC_EDIT_ACCOUNT));
}
