// Guarded copies from the entry list and the Password field, Find, and the list's Home and End.
#include "MainWindowFixture.h"

#include "TextSearch.h"
#include "resource.h"
#include "testhooks.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QTest>

namespace {

const std::vector<Row> kRows = {{"alpha", "pw-one", "first"},
                                {"Beta", "pw-two", "second"},
                                {"gamma", "BETA-3", "third"},
                                {"delta", "pw-4", "beta"}};

std::string ClipboardText() {
    return QGuiApplication::clipboard()->text().toStdString();
}

// Marked for Klipper and the GNOME managers, and for CopyQ.
bool ClipboardMarkedSecret() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->data("x-kde-passwordManagerHint") == "secret" &&
           data->data("application/x-copyq-hidden") == "1";
}

class CopyFindTest : public MainWindowTest {
public: // the case tables drive the window through these
    void OpenBook() {
        OpenWindow();
        LoginTo("alice", kRows);
        m_messages.clear();
    }
    // Focuses a cell of the row, choosing the row as a click does.
    void FocusCell(int row, int column) {
        ClickRow(row);
        QTableView* view = ListView();
        view->selectionModel()->setCurrentIndex(view->model()->index(row, column), QItemSelectionModel::NoUpdate);
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(ListView(), Qt::Key(key), modifiers);
    }
    std::string Chosen() const {
        return m_dlg->m_nSelItem < 0 ? "" : ListRows()[std::size_t(m_dlg->m_nSelItem)].account;
    }
};

TEST_F(CopyFindTest, CopiesTheChosenRowsCellGuardedWhicheverCellHasTheFocus) {
    struct Case {
        const char* name;
        int focusedColumn;
        std::function<void(CopyFindTest&)> copy;
        std::string expected;
        std::string passwordLeft = "pw-two"; // in the Password field afterwards
    };
    const auto inPasswordField = [](int key) {
        return [key](CopyFindTest& t) {
            auto* edit = qobject_cast<QLineEdit*>(t.Item(IDC_EDIT_PASSWORD)->GetSafeHwnd());
            edit->setFocus();
            edit->setSelection(3, 3);
            QTest::keyClick(edit, Qt::Key(key), Qt::ControlModifier);
        };
    };
    const auto menu = [](const char* item, bool byKey = false) {
        return [item, byKey](CopyFindTest& t) {
            afx_test::SetPopupMenuHook([item](const CMenu& menu) -> UINT {
                for (const CMenu::Item& entry : menu.Items())
                    if (entry.text == item)
                        return entry.id;
                return 0;
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
            if (byKey)
                t.Key(Qt::Key_Menu);
            else
                QCoreApplication::sendEvent(t.ListView()->viewport(), &event);
        };
    };
    const Case cases[] = {
        {"Ctrl+C on the account cell", 0, [](CopyFindTest& t) { t.Key(Qt::Key_C, Qt::ControlModifier); }, "pw-two"},
        {"Ctrl+C on the comment cell", 2, [](CopyFindTest& t) { t.Key(Qt::Key_C, Qt::ControlModifier); }, "pw-two"},
        {"Ctrl+Insert copies nothing", 1, [](CopyFindTest& t) { t.Key(Qt::Key_Insert, Qt::ControlModifier); },
         "before"},
        {"Ctrl+B on the password cell", 1, [](CopyFindTest& t) { t.Key(Qt::Key_B, Qt::ControlModifier); }, "Beta"},
        {"menu: password", 0, menu("Copy &Password\tCtrl+C"), "pw-two"},
        {"menu: account ID", 2, menu("Copy Account &ID\tCtrl+B"), "Beta"},
        {"menu key: account ID", 0, menu("Copy Account &ID\tCtrl+B", true), "Beta"},
        {"Ctrl+C in the Password field", 0, inPasswordField(Qt::Key_C), "two"},
        {"Ctrl+X in the Password field", 0, inPasswordField(Qt::Key_X), "two", "pw-"},
    };
    afx_test::SetSecretClipboardLifetime(0); // the real one
    OpenBook();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->setText("before");
        FocusCell(1, c.focusedColumn);
        c.copy(*this);
        EXPECT_EQ(ClipboardText(), c.expected);
        const bool copied = c.expected != "before";
        EXPECT_EQ(ClipboardMarkedSecret(), copied);
        EXPECT_EQ(afx_test::PendingSecretClipboardLifetime(), copied ? 10000 : 0) << "ten seconds on the clipboard";
        EXPECT_EQ(Item(IDC_EDIT_PASSWORD)->GetWindowText(), c.passwordLeft);
    }
}

TEST_F(CopyFindTest, ACopyIsClearedAfterItsTimeOnlyWhileTheClipboardStillHoldsIt) {
    afx_test::SetSecretClipboardLifetime(50);
    OpenBook();
    for (const bool userCopiedMeanwhile : {false, true}) {
        SCOPED_TRACE(userCopiedMeanwhile ? "the user copied something else" : "still ours");
        FocusCell(0, 0);
        Key(Qt::Key_C, Qt::ControlModifier);
        ASSERT_EQ(ClipboardText(), "pw-one");
        if (userCopiedMeanwhile)
            QGuiApplication::clipboard()->setText("mine");
        QTest::qWait(150);
        EXPECT_EQ(ClipboardText(), userCopiedMeanwhile ? "mine" : "");
    }
}

// Each step's key or Find text, and the account of the row chosen after it.
TEST_F(CopyFindTest, FindChoosesTheNextMatchAsAClickWouldAndWrapsAround) {
    struct Step {
        const char* name;
        std::string findText; // empty: the key instead of the dialog
        int key;
        Qt::KeyboardModifiers modifiers;
        std::string chosen;
        std::vector<std::string> messages;
    };
    const std::vector<Step> steps = {
        {"Find from no row: the only match, in the last row", "4", 0, {}, "delta", {}},
        {"Find round the end: any column, any case", "beta", 0, {}, "Beta", {}},
        {"F3: the password column", "", Qt::Key_F3, {}, "gamma", {}},
        {"F3: the comment column", "", Qt::Key_F3, {}, "delta", {}},
        {"F3 wraps around the end", "", Qt::Key_F3, {}, "Beta", {}},
        {"Shift+F3 goes back, round the start", "", Qt::Key_F3, Qt::ShiftModifier, "delta", {}},
        {"Shift+F3 again", "", Qt::Key_F3, Qt::ShiftModifier, "gamma", {}},
        {"no match is said and changes nothing", "zzz", 0, {}, "gamma", {"Cannot find the item."}},
        {"End chooses the last row", "", Qt::Key_End, {}, "delta", {}},
        {"Home the first", "", Qt::Key_Home, {}, "alpha", {}},
        {"Ctrl+End the last", "", Qt::Key_End, Qt::ControlModifier, "delta", {}},
    };
    OpenWindow();
    Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(m_templates.empty()) << "Find works only once a book is open";
    LoginTo("alice", kRows);
    m_messages.clear();
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (!s.findText.empty()) {
            m_script.push_back([text = s.findText](CDialog& find) {
                find.GetDlgItem(IDC_EDIT_FIND)->SetWindowText(text);
                static_cast<CButton*>(find.GetDlgItem(IDOK))->Click();
            });
            Key(Qt::Key_F, Qt::ControlModifier);
        } else {
            Key(s.key, s.modifiers);
        }
        EXPECT_EQ(Chosen(), s.chosen);
        EXPECT_EQ(Item(IDC_EDIT_ACCOUNT)->GetWindowText(), s.chosen);
        EXPECT_TRUE(Item(IDC_BTN_UPDATE)->IsWindowEnabled());
        EXPECT_EQ(ListView()->selectionModel()->selectedRows().size(), 1);
        EXPECT_EQ(m_messages, s.messages);
        m_messages.clear();
    }
}

TEST(TextSearch, FindsTextIgnoringTheCaseOfLetters) {
    struct Case {
        const char *text, *wanted;
        bool found;
    };
    const Case cases[] = {
        {"Alpha", "LPH", true},
        {"alpha", "alpha!", false},
        {"abc", "", true},
        {"\xC3\x89"
         "cole",
         "\xC3\xA9"
         "COLE",
         true},                                         // É / é
        {"\xD0\x9F\xD0\xB5", "\xD0\xBF\xD0\x95", true}, // Пе / пЕ
        {"\xC9t\xE9", "\xE9t\xE9", false},              // Windows-1252: byte for byte
        {"pass word", "s w", true},
        {"abc", "abd", false},
        {"\xC3\x80\xC3\x96\xC3\x98\xC3\x9E", "\xC3\xA0\xC3\xB6\xC3\xB8\xC3\xBE", true}, // ÀÖØÞ / àöøþ
        {"\xC3\x97", "\xC3\xB7", false},                                                // × is no capital of ÷
        {"\xC3\x9F", "\xC3\xBF", false},                                                // nor ß of ÿ
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextSearch(c.wanted).FoundIn(c.text), c.found) << c.text << " / " << c.wanted;
}

} // namespace
