// Generate Password and Check Passwords in the main window: what Use and Cancel leave in the
// fields, what the choices make, what the check lists (never a password), and the entry a chosen
// line chooses.
#include "MainWindowFixture.h"

#include "AccountBook.h"
#include "resource.h"

#include <QElapsedTimer>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cstring>

namespace {

using Lines = std::vector<std::vector<std::string>>;

class PasswordCommandsTest : public MainWindowTest {
public: // the case tables drive the window through these
    static std::string Text(CDialog& dlg, UINT id) { return dlg.GetDlgItem(id)->GetWindowText(); }
    static void Press(CDialog& dlg, UINT id) { static_cast<CButton*>(dlg.GetDlgItem(id))->Click(); }
    void CtrlKey(Qt::Key key, Qt::KeyboardModifiers more = Qt::NoModifier) {
        QTest::keyClick(Item(IDC_EDIT_COMMENT)->GetSafeHwnd(), key, Qt::ControlModifier | more);
    }
    // Opens Generate Password, lets the answer act on it, and gives the password it showed last.
    std::string Generate(std::function<void(CDialog&)> answer, bool byKey = false) {
        std::string shown;
        m_script.push_back([&](CDialog& dlg) {
            answer(dlg);
            shown = Text(dlg, IDC_EDIT_GENERATED);
        });
        byKey ? CtrlKey(Qt::Key_G) : (void)m_dlg->SendMessage(WM_SYSCOMMAND, IDM_GENERATE_PASSWORD);
        return shown;
    }
    // Waits for the check's worker to end, then gives the first three columns of every line.
    static Lines Report(CDialog& dlg) {
        QElapsedTimer clock;
        clock.start();
        while (Text(dlg, IDC_STATIC_CHECK_STATUS).starts_with("Checking") && clock.elapsed() < 20000)
            QTest::qWait(5);
        auto* list = static_cast<CListCtrl*>(dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS));
        Lines lines;
        for (int line = 0; line < list->GetItemCount(); ++line) {
            EXPECT_TRUE(list->GetItemText(line, 3).ends_with(" bits")) << list->GetItemText(line, 3);
            lines.push_back({list->GetItemText(line, 0), list->GetItemText(line, 1), list->GetItemText(line, 2)});
        }
        return lines;
    }
};

// The choices decide what is made; a choice that could make nothing is refused and said so. Use
// puts the password shown, when there is one, into the Password field and touches nothing else;
// Cancel leaves it.
TEST_F(PasswordCommandsTest, TheChoicesDecideThePasswordThatUseAloneFillsIn) {
    const auto length = [](const char* text) {
        return [text](CDialog& dlg) { dlg.GetDlgItem(IDC_EDIT_LENGTH)->SetWindowText(text); };
    };
    const auto clear = [](std::vector<UINT> boxes) {
        return [boxes](CDialog& dlg) {
            for (const UINT id : boxes)
                Press(dlg, id);
        };
    };
    const auto digitsWithoutLookAlikes = [](const std::string& p) {
        return p.size() == kDefaultGeneratedLength &&
               std::all_of(p.begin(), p.end(), [](char c) { return std::strchr("34679", c) != nullptr; });
    };
    const auto sized = [](std::size_t size) { return [size](const std::string& p) { return p.size() == size; }; };
    const std::string badLength = "The password length must be from 4 to 128 characters.";
    const struct {
        const char* name;
        std::function<void(CDialog&)> choose;
        std::function<bool(const std::string&)> expected;
        std::vector<std::string> messages;
        UINT button = IDOK; // Ctrl+G opens the dialog to Use, the window menu to Cancel
    } cases[] = {
        {"first choices", [](CDialog&) {}, sized(kDefaultGeneratedLength), {}},
        {"Cancel", [](CDialog&) {}, sized(kDefaultGeneratedLength), {}, IDCANCEL},
        {"digits only",
         clear({IDC_CHECK_LOWER_CASE, IDC_CHECK_UPPER_CASE, IDC_CHECK_SYMBOLS}),
         digitsWithoutLookAlikes,
         {}},
        {"the last kind stays",
         clear({IDC_CHECK_LOWER_CASE, IDC_CHECK_UPPER_CASE, IDC_CHECK_SYMBOLS, IDC_CHECK_DIGITS}),
         digitsWithoutLookAlikes,
         {"Choose at least one kind of character for the password."}},
        {"length 4", length("4"), sized(4), {}},
        {"length 128", length("128"), sized(128), {}},
        {"length 3", length("3"), sized(0), {badLength}},
        {"length 129", length("129"), sized(0), {badLength}},
        {"no length", length(""), sized(0), {badLength}},
    };
    const std::vector<Row> rows = {{"a", "1", "x"}, {"b", "2", "y"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenWindow(); // each from the first choices
        LoginTo("gen", rows);
        ClickRow(1);
        SetText(IDC_EDIT_ACCOUNT, "typed id");
        const std::string shown = Generate(
            [&](CDialog& dlg) {
                c.choose(dlg);
                // The strength of the password shown, or why none is.
                const std::string strength = Text(dlg, IDC_STATIC_STRENGTH);
                EXPECT_EQ(strength.ends_with(" bits"), !Text(dlg, IDC_EDIT_GENERATED).empty()) << strength;
                const bool lengthWrong = c.messages == std::vector<std::string>{badLength};
                EXPECT_EQ(Text(dlg, IDC_STATIC_LENGTH_ERROR), lengthWrong ? badLength : "") << "on a line of its own";
                Press(dlg, c.button);
            },
            c.button == IDOK);
        EXPECT_EQ(std::count(m_templates.begin(), m_templates.end(), UINT(IDD_GENERATE_PASSWORD)), 1);
        EXPECT_TRUE(c.expected(shown)) << shown;
        EXPECT_EQ(m_messages, c.messages);
        EXPECT_EQ(ListRows(), rows);
        EXPECT_EQ(
            (std::vector<std::string>{Item(IDC_EDIT_ACCOUNT)->GetWindowText(), Item(IDC_EDIT_PASSWORD)->GetWindowText(),
                                      Item(IDC_EDIT_COMMENT)->GetWindowText()}),
            (std::vector<std::string>{"typed id", c.button == IDOK && !shown.empty() ? shown : "2", "y"}));
        EXPECT_EQ(m_dlg->m_bModified, 0);
        EndCase();
    }
}

// The choices last as long as the window: the next Generate Password starts from the last one's.
TEST_F(PasswordCommandsTest, TheChoicesAreKeptForTheRun) {
    OpenWindow();
    CreateAdmin("gen");
    Generate([](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_LENGTH)->SetWindowText("9");
        Press(dlg, IDC_CHECK_SYMBOLS);
        Press(dlg, IDC_CHECK_NO_LOOK_ALIKES);
    }); // left open, so cancelled
    std::vector<int> checks;
    const std::string shown = Generate([&checks](CDialog& dlg) {
        for (const UINT id : {IDC_CHECK_LOWER_CASE, IDC_CHECK_UPPER_CASE, IDC_CHECK_DIGITS, IDC_CHECK_SYMBOLS,
                              IDC_CHECK_NO_LOOK_ALIKES})
            checks.push_back(static_cast<CButton*>(dlg.GetDlgItem(id))->GetCheck());
    });
    EXPECT_EQ(shown.size(), 9u);
    EXPECT_EQ(checks, (std::vector<int>{BST_CHECKED, BST_CHECKED, BST_CHECKED, BST_UNCHECKED, BST_UNCHECKED}));
}

// Weak, reused and administrator-equal passwords are listed, with how many entries share one, and
// no password is ever shown; choosing a line chooses its entry in the main window.
TEST_F(PasswordCommandsTest, CheckListsTheProblemsAndGoesToTheEntryOfALine) {
    const std::string shared = "Zq7!vT3#wP9$kR5&mX";
    const std::vector<Row> problems = {
        {"alice", "letmein1", "mail"},   {"bob", "Kx9#mQ2$vL7@pR4!tW", "bank"},
        {"carol", shared, "shop"},       {"dave", "pw", ""},
        {"erin", shared, "shop, again"}, {"frank", shared, "forum"},
        {"gina", "123456", "games"},
    };
    // Worst first: the administrator's password, the weak ones weakest first, then the shared ones,
    // each naming the others that share it.
    const Lines found = {
        {"dave", "", "Same as the administrator password; Weak password"},
        {"gina", "games", "Weak password"},
        {"alice", "mail", "Weak password"},
        {"carol", "shop", "Used by 3 entries, with erin (shop, again) and frank (forum)"},
        {"erin", "shop, again", "Used by 3 entries, with carol (shop) and frank (forum)"},
        {"frank", "forum", "Used by 3 entries, with carol (shop) and erin (shop, again)"},
    };
    const auto inList = [](std::function<void(QTableView*)> act) {
        return [act](CDialog& dlg) {
            act(qobject_cast<QTableView*>(dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS)->GetSafeHwnd()));
        };
    };
    const struct {
        const char* name;
        std::vector<Row> rows;
        std::function<void(CDialog&)> choose;
        Lines lines;
        std::string status;
        int chosenRow; // in the main window afterwards
    } cases[] = {
        {"Enter", problems, inList([](QTableView* view) { QTest::keyClick(view, Qt::Key_Return); }), found,
         "Weak or reused passwords: 6 of 7 entries.", 3},
        {"Down, Enter", problems, inList([](QTableView* view) {
             QTest::keyClick(view, Qt::Key_Down);
             QTest::keyClick(view, Qt::Key_Return);
         }),
         found, "Weak or reused passwords: 6 of 7 entries.", 6},
        {"double click", problems, inList([](QTableView* view) {
             QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                                view->visualRect(view->model()->index(2, 0)).center());
         }),
         found, "Weak or reused passwords: 6 of 7 entries.", 0},
        {"nothing found",
         {problems[1]},
         [](CDialog& dlg) { Press(dlg, IDOK); },
         {},
         "No weak or reused passwords found.",
         -1},
    };
    for (const auto& c : cases) {
        OpenWindow();
        LoginTo("ivy", c.rows);
        Lines lines;
        std::vector<std::string> texts;
        m_script.push_back([&](CDialog& dlg) {
            lines = Report(dlg);
            texts = {Text(dlg, IDC_STATIC_ADMIN_STRENGTH), Text(dlg, IDC_STATIC_CHECK_STATUS)};
            c.choose(dlg);
        });
        CtrlKey(Qt::Key_H, Qt::ShiftModifier);
        EXPECT_EQ(m_templates, std::vector<UINT>{IDD_CHECK_PASSWORDS}) << c.name;
        EXPECT_EQ(lines, c.lines) << c.name;
        ASSERT_EQ(texts.size(), 2u) << c.name;
        EXPECT_TRUE(texts[0].starts_with("Administrator password: Poor, ")) << texts[0];
        EXPECT_EQ(texts[1], c.status) << c.name;
        for (const Row& row : c.rows)
            for (const auto& line : lines)
                for (const std::string& cell : line)
                    EXPECT_EQ(cell.find(row.password.size() > 2 ? row.password : "\n"), std::string::npos) << cell;
        EXPECT_EQ(m_dlg->m_nSelItem, c.chosenRow) << c.name;
        if (c.chosenRow >= 0) {
            EXPECT_EQ(Item(IDC_EDIT_PASSWORD)->GetWindowText(), c.rows[std::size_t(c.chosenRow)].password);
            EXPECT_EQ(FocusId(), IDC_EDIT_PASSWORD) << "ready for a new password";
        }
        EndCase();
    }
}

// Replace Password sets the chosen line's password as Update would, never adding a row: the duplicate
// rule refuses it, Cancel leaves everything, and the check runs again over the rows as they are now.
TEST_F(PasswordCommandsTest, ReplacePasswordUpdatesTheLinesRowAndChecksAgain) {
    const std::string strong = "Vb4!Nq8#Lz2$Wx6&Tp";
    const std::string other = "Zq7!vT3#wP9$kR5&mX";
    const std::vector<Row> rows = {
        {"alice", "letmein1", "mail"}, {"bob", "Kx9#mQ2$vL7@pR4!tW", "bank"}, {"alice", other, "mail"}};
    const auto typed = [](std::string password) {
        return [password](CDialog& dlg) {
            dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(password);
            Press(dlg, IDOK);
        };
    };
    const struct {
        const char* name;
        std::vector<std::function<void(CDialog&)>> answers; // Replace Password's, then the generator's
        std::function<bool(const std::string&)> newPassword;
        std::vector<std::string> messages;
        Lines linesAfter;
    } cases[] = {
        {"typed", {typed(strong)}, [&](const std::string& p) { return p == strong; }, {}, {}},
        {"generated",
         {[](CDialog& dlg) {
              Press(dlg, IDC_BTN_GENERATE);
              Press(dlg, IDOK);
          },
          [](CDialog& dlg) { Press(dlg, IDOK); }},
         [](const std::string& p) { return p.size() == kDefaultGeneratedLength; },
         {},
         {}},
        {"the same as another row",
         {typed(other)},
         [](const std::string& p) { return p == "letmein1"; },
         {"The same item have been existent."},
         {{"alice", "mail", "Weak password"}}},
        {"Cancel",
         {[](CDialog& dlg) { Press(dlg, IDCANCEL); }},
         [](const std::string& p) { return p == "letmein1"; },
         {},
         {{"alice", "mail", "Weak password"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenWindow();
        LoginTo("ivy", rows);
        Lines before, after;
        m_script.push_back([&](CDialog& dlg) {
            before = Report(dlg);
            Press(dlg, IDC_BTN_REPLACE_PASSWORD);
            after = Report(dlg);
        });
        m_script.insert(m_script.end(), c.answers.begin(), c.answers.end());
        CtrlKey(Qt::Key_H, Qt::ShiftModifier);
        EXPECT_EQ(before, (Lines{{"alice", "mail", "Weak password"}}));
        EXPECT_EQ(after, c.linesAfter);
        EXPECT_EQ(m_messages, c.messages);
        std::vector<Row> expected = rows; // a row is never added, nor another text changed
        expected[0].password = ListRows().at(0).password;
        EXPECT_EQ(ListRows(), expected);
        EXPECT_TRUE(c.newPassword(expected[0].password)) << expected[0].password;
        DestroyWindow(); // saved at exit as any Update is
        EXPECT_EQ(ReadBookRows(BookPath("ivy")), c.linesAfter.empty() ? expected : rows);
        EndCase();
    }
}

// A weak administrator password is offered its fix in one click; once changed, the check runs again
// and the offer goes.
TEST_F(PasswordCommandsTest, AWeakAdministratorPasswordIsOfferedChangePassword) {
    const std::string strong = "Vb4!Nq8#Lz2$Wx6&Tp";
    OpenWindow();
    LoginTo("ivy", {{"bob", "Kx9#mQ2$vL7@pR4!tW", "bank"}});
    std::vector<bool> offered;
    std::string adminAfter;
    m_script.push_back([&](CDialog& dlg) {
        Report(dlg);
        offered.push_back(dlg.GetDlgItem(IDC_BTN_CHANGE_ADMIN)->IsWindowVisible());
        Press(dlg, IDC_BTN_CHANGE_ADMIN);
        Report(dlg);
        offered.push_back(dlg.GetDlgItem(IDC_BTN_CHANGE_ADMIN)->IsWindowVisible());
        adminAfter = Text(dlg, IDC_STATIC_ADMIN_STRENGTH);
    });
    m_script.push_back([&](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_OLD_PASSWORD)->SetWindowText("pw");
        dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(strong);
        dlg.GetDlgItem(IDC_EDIT_CONFIRM)->SetWindowText(strong);
        Press(dlg, IDOK);
    });
    CtrlKey(Qt::Key_H, Qt::ShiftModifier);
    EXPECT_EQ(offered, (std::vector<bool>{true, false}));
    EXPECT_FALSE(adminAfter.starts_with("Administrator password: Poor")) << adminAfter;
    EXPECT_EQ(FieldText(g_AccountBook.szAdminPassword), strong);
}

} // namespace
