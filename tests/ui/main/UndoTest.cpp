// Undo and Redo of the main window: each kind of change taken back and made again through the keys
// and the window menu, refused as the entry commands refuse a row, and kept by a kill.
#include "MainWindowFixture.h"

#include "resource.h"
#include "testhooks.h"

#include <QTableView>
#include <QTest>

#include <functional>

namespace {

const std::string kCsv = std::string(ZELVO_TEST_DATA) + "/import/";
const std::vector<Row> kBook = {{"abc", "pw", ""}, {"xyz", "789", "note"}, {"qrs", "1", "last"}};

class UndoTest : public MainWindowTest {
public:
    // The keys, pressed in the list.
    void Key(Qt::Key key, Qt::KeyboardModifiers more = Qt::NoModifier) {
        Item(IDC_LIST_ACCOUNTS)->SetFocus();
        QTest::keyClick(ListView(), key, Qt::ControlModifier | more);
    }
    // The window menu's item of the command: its text and whether it is grayed.
    std::pair<std::string, bool> MenuItem(UINT id) const {
        for (const CMenu::Item& item : m_dlg->GetSystemMenu(FALSE)->Items())
            if (item.id == id && !(item.flags & MF_SEPARATOR))
                return {item.text, (item.flags & MF_GRAYED) != 0};
        return {"<none>", true};
    }
    std::string AdminPassword() const { return std::string(FieldText(g_AccountBook.szAdminPassword)); }
    void Import(const std::string& file) {
        afx_test::SetFileDialogHook([file](const CFileDialog&, std::string& chosen, int& kind) {
            chosen = file;
            kind = 1;
            return true;
        });
        m_script.push_back([](CDialog& dlg) { static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click(); });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_IMPORT);
    }
    void ChangePassword(const std::string& to) {
        m_script.push_back([to](CDialog& dlg) {
            dlg.GetDlgItem(IDC_EDIT_OLD_PASSWORD)->SetWindowText("pw");
            dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(to);
            dlg.GetDlgItem(IDC_EDIT_CONFIRM)->SetWindowText(to);
            static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_CHANGE_PASSWORD);
    }
    // Ends the session as a kill does, leaving its journal, and logs in again in a new window.
    void KillAndLogIn() {
        m_dlg->m_bModified = 0; // no save at the window's end
        DestroyWindow();
        m_messages.clear();
        OpenWindow();
        Login("book");
    }
};

// Each kind of change, undone by Ctrl+Z and redone by either key; undone again from the window menu,
// and then the session is killed: the next login finds the book as it was before the change.
TEST_F(UndoTest, EachChangeIsUndoneRedoneAndTheUndoOutlivesAKill) {
    struct Case {
        const char* label;
        std::function<void(UndoTest&)> change;
        std::vector<Row> changed; // the rows after the change
        const char* what;         // as the window menu names it
        std::string password = "pw";
        int chosenAfterUndo = -1;                       // the row the undo chose, as a click would
        Qt::KeyboardModifiers redoKey = Qt::NoModifier; // Ctrl+Y, or with Shift Ctrl+Shift+Z
    };
    const Case cases[] = {
        {"insert",
         [](UndoTest& t) {
             t.TypeEntry({"new", "n", "c"});
             t.Click(IDC_BTN_INSERT);
         },
         {kBook[0], kBook[1], kBook[2], {"new", "n", "c"}},
         "Insert"},
        {"update",
         [](UndoTest& t) {
             t.ClickRow(1);
             t.TypeEntry({"xyz", "strong", "note"});
             t.Click(IDC_BTN_UPDATE);
         },
         {kBook[0], {"xyz", "strong", "note"}, kBook[2]},
         "Update",
         "pw",
         1,
         Qt::ShiftModifier},
        {"delete in the middle",
         [](UndoTest& t) {
             t.ClickRow(1);
             t.Click(IDC_BTN_DELETE);
         },
         {kBook[0], kBook[2]},
         "Delete",
         "pw",
         1},
        {"import of three entries",
         [](UndoTest& t) { t.Import(kCsv + "keepassxc.csv"); },
         {kBook[0],
          kBook[1],
          kBook[2],
          {"dave", "forum-pass", "Forum"},
          {"dave@mail.example", "m@il", "Mail"},
          {"dave2", "no-title", "https://notitle.example"}},
         "Import",
         "pw",
         -1,
         Qt::ShiftModifier},
        {"change of the administrator password", [](UndoTest& t) { t.ChangePassword("new"); }, kBook, "Change Password",
         "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OpenWindow();
        LoginTo("book", kBook);
        EXPECT_EQ(MenuItem(IDM_UNDO), std::pair(std::string("&Undo\tCtrl+Z"), true));
        c.change(*this);
        ASSERT_EQ(ListRows(), c.changed);
        EXPECT_EQ(MenuItem(IDM_UNDO), std::pair("&Undo " + std::string(c.what) + "\tCtrl+Z", false));
        EXPECT_EQ(MenuItem(IDM_REDO), std::pair(std::string("R&edo\tCtrl+Y"), true));
        m_messages.clear();
        m_dlg->m_bModified = 0;

        Key(Qt::Key_Z);
        EXPECT_EQ(ListRows(), kBook);
        EXPECT_EQ(AdminPassword(), "pw");
        EXPECT_EQ(m_dlg->m_nSelItem, c.chosenAfterUndo);
        EXPECT_EQ(m_dlg->m_bModified, 1);
        EXPECT_EQ(MenuItem(IDM_UNDO).second, true);
        EXPECT_EQ(MenuItem(IDM_REDO), std::pair("R&edo " + std::string(c.what) + "\tCtrl+Y", false));
        Key(c.redoKey == Qt::NoModifier ? Qt::Key_Y : Qt::Key_Z, c.redoKey);
        EXPECT_EQ(ListRows(), c.changed);
        EXPECT_EQ(AdminPassword(), c.password);
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_UNDO);
        EXPECT_EQ(ListRows(), kBook);
        EXPECT_TRUE(m_messages.empty()) << m_messages.front();

        KillAndLogIn();
        EXPECT_EQ(ListRows(), kBook);
        ASSERT_EQ(m_messages.size(), 2u) << "the login, then what it brought back";
        EXPECT_TRUE(m_messages[1].starts_with("Unsaved session recovered:")) << m_messages[1];
        EndCase();
    }
}

// An undo that would make a row the same as another is refused as Insert refuses it, and stays to
// be undone; Ctrl+Z in an edit field is the field's own undo.
TEST_F(UndoTest, AnUndoThatRepeatsARowIsRefusedAndAnEditKeepsItsOwnUndo) {
    OpenWindow();
    LoginTo("book", {kBook[0], kBook[0], kBook[1]}); // a loaded book may hold a row twice
    ClickRow(0);
    Click(IDC_BTN_DELETE);
    Key(Qt::Key_Z);
    EXPECT_EQ(m_messages, std::vector<std::string>{"The same item have been existent."});
    EXPECT_EQ(ListRows(), (std::vector<Row>{kBook[0], kBook[1]}));
    EXPECT_EQ(MenuItem(IDM_UNDO), std::pair(std::string("&Undo Delete\tCtrl+Z"), false));

    m_messages.clear();
    TypeEntry({"new", "n", ""});
    Click(IDC_BTN_INSERT);
    CWnd* comment = Item(IDC_EDIT_COMMENT);
    comment->SetFocus();
    QTest::keyClicks(comment->GetSafeHwnd(), "typed");
    QTest::keyClick(comment->GetSafeHwnd(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ListRows(), (std::vector<Row>{kBook[0], kBook[1], {"new", "n", ""}}));
    EXPECT_EQ(comment->GetWindowText(), "");
    EXPECT_TRUE(m_messages.empty());
}

} // namespace
