// Dialog behaviours no other test reaches: the real file dialog, the Import preview with nothing to
// add, the generator's own controls, the Check list's counts, and a new row brought into view.
#include "MainWindowFixture.h"

#include "resource.h"
#include "testhooks.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

class DialogDetailsTest : public MainWindowTest {
public:
    static void Press(CDialog& dlg, UINT id) { static_cast<CButton*>(dlg.GetDlgItem(id))->Click(); }
    // Runs the command with the next dialog answered by the script.
    void Run(UINT command, std::function<void(CDialog&)> script) {
        m_script.push_back(std::move(script));
        m_dlg->SendMessage(WM_SYSCOMMAND, command);
    }
};

// The desktop's own dialog, shown for real: it opens in the home folder with the suggested name, and
// the file kind chosen there decides the layout written.
TEST_F(DialogDetailsTest, TheRealFileDialogsChosenKindDecidesTheExportLayout) {
    const std::string home = m_dir.path().toStdString() + "/home";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(home)));
    const char* const oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    OpenWindow();
    LoginTo("book", {{"ann", "pw1", "https://a.example/"}});
    std::string suggested, folder;
    QTimer poll; // waits for the file dialog, once the password was given
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<QFileDialog*>(window); shown && shown->isVisible())
                dialog = shown;
        if (!dialog)
            return;
        poll.stop();
        suggested = dialog->selectedFiles().value(0).toStdString();
        folder = dialog->directory().absolutePath().toStdString();
        dialog->selectNameFilter(dialog->nameFilters().value(1));
        dialog->selectFile(QString::fromStdString(home + "/chosen.csv"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    poll.start();
    Run(IDM_EXPORT, [](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("pw");
        Press(dlg, IDOK);
    });
    oldHome ? setenv("HOME", savedHome.c_str(), 1) : unsetenv("HOME");
    EXPECT_EQ(suggested, home + "/book-export.csv");
    EXPECT_EQ(folder, home) << "never the program's folder";
    EXPECT_EQ(m_messages, std::vector<std::string>{"Export success:1 entry written to chosen.csv."});
    EXPECT_TRUE(FileText(home + "/chosen.csv").starts_with("\"name\",\"url\",")) << "the browsers' layout";
}

// With nothing to add, OK cannot be pressed and Cancel has the focus.
TEST_F(DialogDetailsTest, AnImportThatAddsNothingOffersOnlyCancel) {
    OpenWindow();
    LoginTo("book", {{"ann", "pw1", "x"}});
    const std::string file = m_dir.path().toStdString() + "/same.csv";
    std::ofstream(file) << "username,password,title\nann,pw1,x\n";
    afx_test::SetFileDialogHook([&](const CFileDialog&, std::string& path, int&) {
        path = file;
        return true;
    });
    bool okEnabled = true;
    UINT focus = 0;
    Run(IDM_IMPORT, [&](CDialog& dlg) {
        okEnabled = dlg.GetDlgItem(IDOK)->IsWindowEnabled();
        EXPECT_EQ(dlg.GetDlgItem(IDC_LIST_LEFT_OUT)->GetSafeHwnd()->accessibleName(), "Rows left out");
        focus = CWnd::GetFocus() ? CWnd::GetFocus()->GetDlgCtrlID() : 0;
    });
    EXPECT_EQ(m_templates, std::vector<UINT>{IDD_IMPORT});
    EXPECT_FALSE(okEnabled);
    EXPECT_EQ(focus, UINT(IDCANCEL));
}

// Each kind's box alone makes passwords of that kind only; clearing the last one leaves it checked.
// A copy of the password shown is guarded as the main window's is.
TEST_F(DialogDetailsTest, EachGeneratorBoxMakesItsOwnKindAndTheCopyIsGuarded) {
    const struct {
        UINT box;
        const char* kind;
    } kinds[] = {{IDC_CHECK_LOWER_CASE, "abcdefghijkmnpqrstuvwxyz"},
                 {IDC_CHECK_UPPER_CASE, "ACDEFGHJKLMNPQRTUVWXY"},
                 {IDC_CHECK_DIGITS, "34679"},
                 {IDC_CHECK_SYMBOLS, "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{}~"}};
    const UINT allBoxes[] = {IDC_CHECK_LOWER_CASE, IDC_CHECK_UPPER_CASE, IDC_CHECK_DIGITS, IDC_CHECK_SYMBOLS};
    afx_test::SetSecretClipboardLifetime(0);
    OpenWindow();
    CreateAdmin("gen");
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.kind);
        std::string password;
        int lastBoxCheck = -1;
        Run(IDM_GENERATE_PASSWORD, [&](CDialog& dlg) {
            for (const UINT box : allBoxes)
                if (box != kind.box)
                    Press(dlg, box);
            password = dlg.GetDlgItem(IDC_EDIT_GENERATED)->GetWindowText();
            Press(dlg, kind.box);
            lastBoxCheck = static_cast<CButton*>(dlg.GetDlgItem(kind.box))->GetCheck();
            auto* shown = qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_EDIT_GENERATED)->GetSafeHwnd());
            shown->selectAll();
            QTest::keyClick(shown, Qt::Key_C, Qt::ControlModifier);
            for (const UINT box : allBoxes) // back to the first choices for the next kind
                if (box != kind.box)
                    Press(dlg, box);
        });
        ASSERT_EQ(password.size(), kDefaultGeneratedLength);
        EXPECT_EQ(password.find_first_not_of(kind.kind), std::string::npos) << password;
        EXPECT_EQ(lastBoxCheck, BST_CHECKED);
        EXPECT_EQ(afx_test::PendingSecretClipboardLifetime(), 10000) << "guarded";
        EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("x-kde-passwordManagerHint"), "secret");
    }
}

// The length steps with the arrow keys within 4 to 128, each step making a password of that length.
TEST_F(DialogDetailsTest, TheArrowKeysStepTheGeneratedLength) {
    OpenWindow();
    CreateAdmin("gen");
    std::vector<std::size_t> sizes;
    Run(IDM_GENERATE_PASSWORD, [&](CDialog& dlg) {
        QWidget* length = dlg.GetDlgItem(IDC_EDIT_LENGTH)->GetSafeHwnd();
        for (const auto& [text, key] : {std::pair{"127", Qt::Key_Up}, {"128", Qt::Key_Up}, {"5", Qt::Key_Down}}) {
            dlg.GetDlgItem(IDC_EDIT_LENGTH)->SetWindowText(text);
            QTest::keyClick(length, key);
            sizes.push_back(dlg.GetDlgItem(IDC_EDIT_GENERATED)->GetWindowText().size());
        }
    });
    EXPECT_EQ(sizes, (std::vector<std::size_t>{128, 128, 4}));
}

// Counts of a hundred and more read as numbers, and a password shared by all names a few of them.
TEST_F(DialogDetailsTest, TheCheckCountsAHundredEntriesRight) {
    std::vector<Row> rows;
    for (int i = 0; i < 100; ++i)
        rows.push_back({"user" + std::to_string(i), "Kx9#mQ2$vL7@pR4!tW", ""});
    OpenWindow();
    LoginTo("ivy", rows);
    std::string status, firstProblem;
    Run(IDM_CHECK_PASSWORDS, [&](CDialog& dlg) {
        while (dlg.GetDlgItem(IDC_STATIC_CHECK_STATUS)->GetWindowText().starts_with("Checking"))
            QTest::qWait(5);
        status = dlg.GetDlgItem(IDC_STATIC_CHECK_STATUS)->GetWindowText();
        EXPECT_EQ(dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS)->GetSafeHwnd()->accessibleName(),
                  "Weak or reused passwords");
        firstProblem = static_cast<CListCtrl*>(dlg.GetDlgItem(IDC_LIST_PASSWORD_PROBLEMS))->GetItemText(0, 2);
    });
    EXPECT_EQ(status, "Weak or reused passwords: 100 of 100 entries.");
    EXPECT_EQ(firstProblem, "Used by 100 entries, with user1, user2, user3 and 96 more");
}

// A row inserted below the visible ones is scrolled into view; the chosen row stays chosen.
TEST_F(DialogDetailsTest, AnInsertedRowIsScrolledIntoView) {
    std::vector<Row> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back({"user" + std::to_string(i), "pw", ""});
    OpenWindow();
    LoginTo("ivy", rows);
    ClickRow(0);
    TypeEntry({"new", "pw", "row"});
    Click(IDC_BTN_INSERT);
    QTableView* view = ListView();
    const QRect added = view->visualRect(view->model()->index(200, 0));
    EXPECT_TRUE(view->viewport()->rect().contains(added)) << "row 200 is in view";
    EXPECT_EQ(m_dlg->m_nSelItem, 0);
}

} // namespace
