// Generate Password and Check Passwords in the main window: what Use and Cancel leave in the
// fields, what the choices make, what the check lists (never a password), and the entry a chosen
// line chooses.
#include "MainWindowFixture.h"

#include "resource.h"

#include <QElapsedTimer>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cctype>

namespace {

class PasswordCommandsTest : public MainWindowTest {
public: // the case tables drive the window through these
    static std::string Text(CDialog& dlg, UINT id) { return dlg.GetDlgItem(id)->GetWindowText(); }
    static void Press(CDialog& dlg, UINT id) { static_cast<CButton*>(dlg.GetDlgItem(id))->Click(); }
    static bool Checked(CDialog& dlg, UINT id) {
        return static_cast<CButton*>(dlg.GetDlgItem(id))->GetCheck() == BST_CHECKED;
    }
    void Command(UINT id) { m_dlg->SendMessage(WM_SYSCOMMAND, id); }
    void CtrlKey(Qt::Key key, Qt::KeyboardModifiers more = Qt::NoModifier) {
        QTest::keyClick(Item(IDC_EDIT_COMMENT)->GetSafeHwnd(), key, Qt::ControlModifier | more);
    }

    // Waits for the check to finish (it runs on its own thread) and gives the lines it shows.
    static std::vector<std::vector<std::string>> Report(CDialog& dlg) {
        QElapsedTimer clock;
        clock.start();
        while (Text(dlg, IDC_STATIC_CHECK_STATUS).starts_with("Checking") && clock.elapsed() < 20000)
            QTest::qWait(5);
        EXPECT_FALSE(Text(dlg, IDC_STATIC_CHECK_STATUS).starts_with("Checking")) << "the check never ended";
        auto* list = static_cast<CListCtrl*>(dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS));
        std::vector<std::vector<std::string>> lines;
        for (int line = 0; line < list->GetItemCount(); ++line)
            lines.push_back({list->GetItemText(line, 0), list->GetItemText(line, 1), list->GetItemText(line, 2),
                             list->GetItemText(line, 3)});
        return lines;
    }
};

// Use puts the password shown into the Password field and touches nothing else; Cancel leaves it.
TEST_F(PasswordCommandsTest, UseFillsOnlyThePasswordFieldAndCancelLeavesIt) {
    struct Case {
        const char* name;
        std::function<void(PasswordCommandsTest&)> open;
        UINT button;
        bool used;
    };
    const Case cases[] = {
        {"Ctrl+G, Use", [](PasswordCommandsTest& t) { t.CtrlKey(Qt::Key_G); }, IDOK, true},
        {"menu, Use", [](PasswordCommandsTest& t) { t.Command(IDM_GENERATE_PASSWORD); }, IDOK, true},
        {"menu, Cancel", [](PasswordCommandsTest& t) { t.Command(IDM_GENERATE_PASSWORD); }, IDCANCEL, false},
    };
    const std::vector<Row> rows = {{"a", "1", "x"}, {"b", "2", "y"}};
    for (const Case& c : cases) {
        OpenWindow();
        LoginTo("gen", rows);
        ClickRow(1);
        SetText(IDC_EDIT_ACCOUNT, "typed id");
        SetText(IDC_EDIT_COMMENT, "typed note");
        std::string shown;
        m_script.push_back([&](CDialog& dlg) {
            shown = Text(dlg, IDC_EDIT_GENERATED);
            Press(dlg, c.button);
        });
        c.open(*this);
        EXPECT_EQ(m_templates, std::vector<UINT>{IDD_GENERATE_PASSWORD}) << c.name;
        EXPECT_EQ(shown.size(), kDefaultGeneratedLength) << c.name;
        EXPECT_EQ(Item(IDC_EDIT_PASSWORD)->GetWindowText(), c.used ? shown : "2") << c.name;
        EXPECT_EQ(Item(IDC_EDIT_ACCOUNT)->GetWindowText(), "typed id") << c.name;
        EXPECT_EQ(Item(IDC_EDIT_COMMENT)->GetWindowText(), "typed note") << c.name;
        EXPECT_EQ(ListRows(), rows) << c.name;
        EXPECT_EQ(m_dlg->m_bModified, 0) << c.name;
        DestroyWindow();
        m_templates.clear();
    }
}

// The choices decide what is made; a choice that could make nothing is refused and said so.
TEST_F(PasswordCommandsTest, TheChoicesDecideThePassword) {
    struct Case {
        const char* name;
        std::function<void(CDialog&)> choose;
        std::function<bool(const std::string&)> expected; // of the password shown then
        std::vector<std::string> messages;
    };
    const auto setLength = [](const char* length) {
        return [length](CDialog& dlg) { dlg.GetDlgItem(IDC_EDIT_LENGTH)->SetWindowText(length); };
    };
    const auto onlyDigitsWithoutLookAlikes = [](const std::string& password) {
        return password.size() == kDefaultGeneratedLength &&
               std::all_of(password.begin(), password.end(), [](char c) { return std::strchr("34679", c); });
    };
    const Case cases[] = {
        {"digits only",
         [](CDialog& dlg) {
             for (const UINT id : {IDC_CHECK_LOWER_CASE, IDC_CHECK_UPPER_CASE, IDC_CHECK_SYMBOLS})
                 Press(dlg, id);
         },
         onlyDigitsWithoutLookAlikes,
         {}},
        {"the last kind stays",
         [](CDialog& dlg) {
             for (const UINT id : {IDC_CHECK_LOWER_CASE, IDC_CHECK_UPPER_CASE, IDC_CHECK_SYMBOLS, IDC_CHECK_DIGITS})
                 Press(dlg, id);
             EXPECT_TRUE(Checked(dlg, IDC_CHECK_DIGITS));
         },
         onlyDigitsWithoutLookAlikes,
         {"Choose at least one kind of character for the password."}},
        {"length 4", setLength("4"), [](const std::string& p) { return p.size() == 4; }, {}},
        {"length 128", setLength("128"), [](const std::string& p) { return p.size() == 128; }, {}},
        {"length 3",
         setLength("3"),
         [](const std::string& p) { return p.empty(); },
         {"The password length must be from 4 to 128 characters."}},
        {"length 129",
         setLength("129"),
         [](const std::string& p) { return p.empty(); },
         {"The password length must be from 4 to 128 characters."}},
        {"no length",
         setLength(""),
         [](const std::string& p) { return p.empty(); },
         {"The password length must be from 4 to 128 characters."}},
    };
    for (const Case& c : cases) {
        // Each from the defaults, as in a new window.
        OpenWindow();
        CreateAdmin("gen" + std::to_string(&c - cases));
        std::string shown;
        m_script.push_back([&](CDialog& dlg) {
            c.choose(dlg);
            shown = Text(dlg, IDC_EDIT_GENERATED);
            Press(dlg, IDOK);
        });
        m_messages.clear();
        SetText(IDC_EDIT_PASSWORD, "before");
        Command(IDM_GENERATE_PASSWORD);
        EXPECT_TRUE(c.expected(shown)) << c.name << ": " << shown;
        EXPECT_EQ(m_messages, c.messages) << c.name;
        // Use takes a password only when one is shown; otherwise the dialog says why and stays.
        EXPECT_EQ(Item(IDC_EDIT_PASSWORD)->GetWindowText(), shown.empty() ? "before" : shown) << c.name;
        DestroyWindow();
    }
}

// The choices last as long as the window: a second Generate Password shows the first one's.
TEST_F(PasswordCommandsTest, TheChoicesAreKeptForTheRun) {
    OpenWindow();
    CreateAdmin("gen");
    m_script.push_back([](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_LENGTH)->SetWindowText("9");
        Press(dlg, IDC_CHECK_SYMBOLS);
        Press(dlg, IDC_CHECK_NO_LOOK_ALIKES);
    }); // left open: ended with Cancel
    Command(IDM_GENERATE_PASSWORD);
    std::string length;
    std::vector<bool> checks;
    m_script.push_back([&](CDialog& dlg) {
        length = Text(dlg, IDC_EDIT_LENGTH);
        for (const UINT id : {IDC_CHECK_LOWER_CASE, IDC_CHECK_UPPER_CASE, IDC_CHECK_DIGITS, IDC_CHECK_SYMBOLS,
                              IDC_CHECK_NO_LOOK_ALIKES})
            checks.push_back(Checked(dlg, id));
        EXPECT_EQ(Text(dlg, IDC_EDIT_GENERATED).size(), 9u);
    });
    CtrlKey(Qt::Key_G);
    EXPECT_EQ(length, "9");
    EXPECT_EQ(checks, (std::vector<bool>{true, true, true, false, false}));
}

// Weak, reused and administrator-equal passwords are listed, with how many entries share one, and
// no password is ever shown; choosing a line chooses its entry in the main window.
TEST_F(PasswordCommandsTest, CheckListsTheProblemsAndChoosesTheEntryOfALine) {
    const std::string shared = "Zq7!vT3#wP9$kR5&mX";
    const std::vector<Row> rows = {
        {"alice", "letmein1", "mail"},   {"bob", "Kx9#mQ2$vL7@pR4!tW", "bank"},
        {"carol", shared, "shop"},       {"dave", "pw", ""},
        {"erin", shared, "shop, again"}, {"frank", shared, "forum"},
    };
    const std::vector<std::vector<std::string>> expectedLines = {
        {"alice", "mail", "Weak password"},
        {"carol", "shop", "Used by 3 entries"},
        {"dave", "", "Same as the administrator password; Weak password"},
        {"erin", "shop, again", "Used by 3 entries"},
        {"frank", "forum", "Used by 3 entries"},
    };
    struct Case {
        const char* name;
        std::function<void(CDialog&)> choose;
        int chosenRow; // in the main window afterwards
    };
    const Case cases[] = {
        {"Enter goes to the first line's entry",
         [](CDialog& dlg) {
             QTest::keyClick(dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS)->GetSafeHwnd(), Qt::Key_Return);
         },
         0},
        {"Down, then Enter",
         [](CDialog& dlg) {
             QWidget* list = dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS)->GetSafeHwnd();
             QTest::keyClick(list, Qt::Key_Down);
             QTest::keyClick(list, Qt::Key_Return);
         },
         2},
        {"a double click",
         [](CDialog& dlg) {
             auto* view = qobject_cast<QTableView*>(dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS)->GetSafeHwnd());
             QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                                view->visualRect(view->model()->index(2, 0)).center());
         },
         3},
        {"Close", [](CDialog& dlg) { Press(dlg, IDCANCEL); }, -1},
    };
    for (const Case& c : cases) {
        OpenWindow();
        LoginTo("ivy", rows);
        std::vector<std::vector<std::string>> lines;
        std::vector<std::string> statics;
        m_script.push_back([&](CDialog& dlg) {
            lines = Report(dlg);
            statics = {Text(dlg, IDC_STATIC_ADMIN_STRENGTH), Text(dlg, IDC_STATIC_CHECK_STATUS)};
            c.choose(dlg);
        });
        CtrlKey(Qt::Key_H, Qt::ShiftModifier);
        ASSERT_EQ(m_templates, std::vector<UINT>{IDD_CHECK_PASSWORDS}) << c.name;
        ASSERT_EQ(lines.size(), expectedLines.size()) << c.name;
        for (std::size_t line = 0; line < lines.size(); ++line) {
            EXPECT_EQ(std::vector<std::string>(lines[line].begin(), lines[line].begin() + 3), expectedLines[line]);
            EXPECT_TRUE(lines[line][3].ends_with(" bits")) << lines[line][3];
        }
        EXPECT_EQ(statics[1], "Weak or reused passwords: 5 of 6 entries.");
        EXPECT_TRUE(statics[0].starts_with("Administrator password: Poor, ")) << statics[0];
        for (const Row& row : rows)
            for (const auto& text : lines)
                for (const std::string& cell : text)
                    EXPECT_EQ(row.password.size() > 2 ? cell.find(row.password) : std::string::npos, std::string::npos)
                        << cell;
        EXPECT_EQ(m_dlg->m_nSelItem, c.chosenRow) << c.name;
        if (c.chosenRow >= 0) {
            EXPECT_EQ(Item(IDC_EDIT_PASSWORD)->GetWindowText(), rows[std::size_t(c.chosenRow)].password) << c.name;
        }
        DestroyWindow();
        m_templates.clear();
    }
}

TEST_F(PasswordCommandsTest, CheckSaysWhenNothingWasFound) {
    OpenWindow();
    LoginTo("ivy", {{"bob", "Kx9#mQ2$vL7@pR4!tW", "bank"}, {"eve", "Tq4&nB8*yH3^cJ6%zD", ""}});
    std::string status;
    bool canGoTo = true;
    m_script.push_back([&](CDialog& dlg) {
        EXPECT_TRUE(Report(dlg).empty());
        status = Text(dlg, IDC_STATIC_CHECK_STATUS);
        canGoTo = dlg.GetDlgItem(IDOK)->IsWindowEnabled();
    });
    Command(IDM_CHECK_PASSWORDS);
    EXPECT_EQ(status, "No weak or reused passwords found.");
    EXPECT_FALSE(canGoTo);
}

} // namespace
