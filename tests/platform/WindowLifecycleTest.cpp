// Modal runs (hook, nesting, owner state), the modeless destroy order, the message loop's quit,
// and the end of the session.
#include "PlatformFixture.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

using WindowLifecycleTest = PlatformTest;

// A modeless main window like the program's: list and edit read in the destroy handler, the
// object deletes itself after its last message.
class MainLikeDlg : public CDialog {
public:
    explicit MainLikeDlg(std::vector<std::string>* journal) : CDialog(IDD_ZELVO_MANAGER_DIALOG), m_journal(journal) {}
    ~MainLikeDlg() override { m_journal->push_back("deleted"); }
    const MessageMap& GetMessageMap() const override {
        static const MessageMap map = {
            msgmap::OnMessage(WM_DESTROY, &MainLikeDlg::OnDestroyHandler),
            msgmap::OnMessage(WM_CLOSE, &MainLikeDlg::OnCloseHandler),
            msgmap::OnBnClicked(IDOK, &MainLikeDlg::OnExit),
        };
        return map;
    }
    CListCtrl m_list;
    CButton m_btnLogin;
    std::string m_strAccount;
    bool exitDestroys = false;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        CDialog::DoDataExchange(dx);
        DDX_Text(dx, IDC_EDIT_ACCOUNT, m_strAccount);
        DDX_Control(dx, IDC_LIST_ACCOUNTS, m_list);
        DDX_Control(dx, IDC_BTN_LOGIN, m_btnLogin);
    }
    void PostNcDestroy() override {
        m_journal->push_back(std::string("post-nc-destroy, main window ") +
                             (AfxGetMainWnd() == this ? "still set" : "cleared"));
        delete this;
    }

private:
    void OnDestroyHandler() {
        CDialog::OnDestroy();
        m_journal->push_back("destroy: row '" + m_list.GetItemText(0, 1) + "', edit '" +
                             GetDlgItem(IDC_EDIT_ACCOUNT)->GetWindowText() + "', login " +
                             (m_btnLogin.HasWindow() ? "alive" : "gone"));
    }
    void OnCloseHandler() {
        m_journal->push_back("close");
        PostQuitMessage(0);
    }
    void OnExit() {
        m_journal->push_back("exit");
        if (exitDestroys)
            DestroyWindow();
    }
    std::vector<std::string>* m_journal;
};

TEST_F(WindowLifecycleTest, DestroyRunsTheHandlerWithLiveControlsThenPostNcDestroy) {
    std::vector<std::string> journal;
    auto* dlg = new MainLikeDlg(&journal);
    ASSERT_TRUE(dlg->Create(IDD_ZELVO_MANAGER_DIALOG));
    m_app.m_pMainWnd = dlg;
    dlg->m_list.InsertColumn(0, "a");
    dlg->m_list.InsertColumn(1, "b");
    dlg->m_list.InsertItem(0, "first");
    dlg->m_list.SetItemText(0, 1, "cell");
    dlg->GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText("typed");
    QPointer<QWidget> window = dlg->GetSafeHwnd();
    QPointer<QWidget> list = dlg->m_list.GetSafeHwnd();

    EXPECT_TRUE(dlg->DestroyWindow());
    EXPECT_EQ(journal, (std::vector<std::string>{"destroy: row 'cell', edit 'typed', login alive",
                                                 "post-nc-destroy, main window cleared", "deleted"}));
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(list.isNull());
}

TEST_F(WindowLifecycleTest, HandlerDestroyingItsOwnWindowDeletesTheObjectAfterwards) {
    std::vector<std::string> journal;
    auto* dlg = new MainLikeDlg(&journal);
    dlg->exitDestroys = true;
    ASSERT_TRUE(dlg->Create(IDD_ZELVO_MANAGER_DIALOG));
    m_app.m_pMainWnd = dlg;
    static_cast<CButton*>(dlg->GetDlgItem(IDOK))->Click();
    AfxPumpMessages();
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0], "exit");
    EXPECT_EQ(journal[2], "post-nc-destroy, main window cleared");
    EXPECT_EQ(journal[3], "deleted");
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
}

// A modeless dialog object that goes away with its window still open, with attached members.
TEST_F(WindowLifecycleTest, DialogObjectDestroyedWithItsWindowOpen) {
    struct Holder : CDialog {
        CListCtrl m_list;
        CEdit m_edit;
        void DoDataExchange(CDataExchange* dx) override {
            DDX_Control(dx, IDC_LIST_ACCOUNTS, m_list);
            DDX_Control(dx, IDC_EDIT_ACCOUNT, m_edit);
        }
    };
    QPointer<QWidget> window;
    {
        auto holder = std::make_unique<Holder>();
        ASSERT_TRUE(holder->Create(IDD_ZELVO_MANAGER_DIALOG));
        holder->m_edit.SetTimer(9, 1);
        window = holder->GetSafeHwnd();
        EXPECT_EQ(holder->GetDlgItem(IDC_LIST_ACCOUNTS), &holder->m_list);
    }
    EXPECT_TRUE(window.isNull());
    QTest::qWait(5);
}

// ---- modal runs

class ModalTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        m_main = new MainLikeDlg(&m_journal);
        ASSERT_TRUE(m_main->Create(IDD_ZELVO_MANAGER_DIALOG));
        m_app.m_pMainWnd = m_main;
        ShowAndExpose(*m_main);
        m_mainFocus = Widget(*m_main, IDC_EDIT_COMMENT);
        m_mainFocus->setFocus();
    }
    void TearDown() override {
        if (m_app.m_pMainWnd)
            m_app.m_pMainWnd->DestroyWindow();
        PlatformTest::TearDown();
    }
    // Runs the next script step for each modal dialog as it opens.
    void RunScript() {
        afx_test::SetModalHook([this](CDialog& dlg) {
            ASSERT_FALSE(m_script.empty()) << "unexpected dialog " << dlg.GetTemplateId();
            auto step = std::move(m_script.front());
            m_script.pop_front();
            step(dlg);
        });
    }

    std::vector<std::string> m_journal;
    MainLikeDlg* m_main = nullptr;
    QWidget* m_mainFocus = nullptr;
    std::deque<std::function<void(CDialog&)>> m_script;
};

TEST_F(ModalTest, HookAnswersTheDialogAndTheOwnerIsDisabledMeanwhile) {
    struct Case {
        const char* name;
        std::function<void(CDialog&)> step;
        INT_PTR result;
    };
    const Case cases[] = {
        {"OK", [](CDialog& dlg) { static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click(); }, IDOK},
        {"Cancel", [](CDialog& dlg) { static_cast<CButton*>(dlg.GetDlgItem(IDCANCEL))->Click(); }, IDCANCEL},
        {"left open", [](CDialog&) {}, IDCANCEL},
        {"ended with a code", [](CDialog& dlg) { dlg.EndDialog(77); }, 77},
        {"escape",
         [](CDialog& dlg) { QTest::keyClick(dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetSafeHwnd(), Qt::Key_Escape); },
         IDCANCEL},
        {"enter",
         [](CDialog& dlg) { QTest::keyClick(dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->GetSafeHwnd(), Qt::Key_Return); }, IDOK},
    };
    for (const Case& c : cases) {
        bool ownerEnabledInside = true;
        bool visibleInside = false;
        UINT focusInside = 0;
        m_script.push_back([&](CDialog& dlg) {
            ownerEnabledInside = m_main->IsWindowEnabled();
            visibleInside = dlg.IsWindowVisible();
            CWnd* focus = CWnd::GetFocus();
            focusInside = focus ? focus->GetDlgCtrlID() : 0;
            EXPECT_EQ(CDialog::RunningModals().size(), 1u);
            EXPECT_TRUE(dlg.IsModalRunning());
            c.step(dlg);
        });
        RunScript();
        CDialog login(IDD_LOGIN);
        EXPECT_EQ(login.DoModal(), c.result) << c.name;
        EXPECT_TRUE(m_script.empty());
        EXPECT_FALSE(ownerEnabledInside) << c.name;
        EXPECT_TRUE(visibleInside) << c.name;
        EXPECT_EQ(focusInside, IDC_EDIT_ACCOUNT) << c.name;
        EXPECT_FALSE(login.HasWindow());
        EXPECT_TRUE(m_main->IsWindowEnabled()) << c.name;
        EXPECT_EQ(m_main->GetSafeHwnd()->focusWidget(), m_mainFocus) << c.name;
        EXPECT_TRUE(CDialog::RunningModals().empty());
    }
}

TEST_F(ModalTest, NestedModalDialogsDisableTheirOwnersInTurn) {
    std::vector<std::string> seen;
    m_script.push_back([&](CDialog& outer) {
        seen.push_back("outer " + std::to_string(outer.GetTemplateId()));
        CDialog inner(IDD_MESSAGE_BOX); // no parent: owned by the innermost running dialog
        const INT_PTR innerResult = inner.DoModal();
        seen.push_back("inner gave " + std::to_string(innerResult));
        seen.push_back(std::string("outer ") + (outer.IsWindowEnabled() ? "enabled" : "disabled") + " after inner");
        static_cast<CButton*>(outer.GetDlgItem(IDOK))->Click();
    });
    m_script.push_back([&](CDialog& inner) {
        seen.push_back("inner " + std::to_string(inner.GetTemplateId()));
        EXPECT_EQ(CDialog::RunningModals().size(), 2u);
        EXPECT_EQ(CDialog::RunningModals().back(), &inner);
        seen.push_back(std::string("outer ") +
                       (CDialog::RunningModals().front()->IsWindowEnabled() ? "enabled" : "disabled"));
        seen.push_back(std::string("main ") + (m_main->IsWindowEnabled() ? "enabled" : "disabled"));
        // left open: cancelled
    });
    RunScript();
    CDialog outer(IDD_LOGIN, m_main);
    EXPECT_EQ(outer.DoModal(), IDOK);
    EXPECT_EQ(seen, (std::vector<std::string>{"outer 129", "inner 133", "outer disabled", "main disabled",
                                              "inner gave 2", "outer enabled after inner"}));
    EXPECT_TRUE(m_main->IsWindowEnabled());
}

TEST_F(ModalTest, InitialisationThatEndsTheDialogSkipsTheRun) {
    struct EndsAtOnce : CDialog {
        EndsAtOnce() : CDialog(IDD_MESSAGE_BOX) {}
        BOOL OnInitDialog() override {
            CDialog::OnInitDialog();
            EndDialog(5);
            return TRUE;
        }
    } dlg;
    int hookCalls = 0;
    afx_test::SetModalHook([&](CDialog&) { ++hookCalls; });
    EXPECT_EQ(dlg.DoModal(), 5);
    EXPECT_EQ(hookCalls, 0);
    EXPECT_TRUE(m_main->IsWindowEnabled());
}

TEST_F(ModalTest, RealModalLoopEndsFromATimer) {
    CDialog dlg(IDD_MESSAGE_BOX);
    QTimer::singleShot(10, &m_timers, [&]() {
        ASSERT_TRUE(dlg.IsModalRunning());
        EXPECT_FALSE(m_main->IsWindowEnabled());
        static_cast<CButton*>(dlg.GetDlgItem(IDC_BTN_MSGBOX_OK))->Click(); // unmapped: nothing happens
        EXPECT_TRUE(dlg.IsModalRunning());
        dlg.EndDialog(IDOK);
    });
    QTimer::singleShot(5000, &m_timers, [&]() { dlg.EndDialog(-77); }); // a safety net, never the answer
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(m_main->IsWindowEnabled());
}

TEST_F(ModalTest, EndSessionCancelsARunningModalAndClosesTheMainWindow) {
    CDialog dlg(IDD_LOGIN);
    QTimer::singleShot(10, &m_timers, []() { AfxEndSession(); });
    QTimer::singleShot(5000, &m_timers, [&]() { dlg.EndDialog(-77); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    QTRY_COMPARE(std::count(m_journal.begin(), m_journal.end(), "close"), 1);
    // While the session ends no new modal dialog starts.
    int hookCalls = 0;
    afx_test::SetModalHook([&](CDialog&) { ++hookCalls; });
    CDialog later(IDD_MESSAGE_BOX);
    EXPECT_EQ(later.DoModal(), IDCANCEL);
    EXPECT_EQ(hookCalls, 0);
    AfxEndSession(); // once is enough
    AfxPumpMessages();
    EXPECT_EQ(std::count(m_journal.begin(), m_journal.end(), "close"), 1);
    AfxResetSessionEnd();
}

TEST_F(ModalTest, EndSessionFromInsideNestedModalsCancelsThemAll) {
    std::vector<INT_PTR> results;
    m_script.push_back([&](CDialog&) {
        CDialog inner(IDD_MESSAGE_BOX);
        results.push_back(inner.DoModal());
    });
    m_script.push_back([&](CDialog&) { AfxEndSession(); });
    RunScript();
    CDialog outer(IDD_LOGIN);
    results.push_back(outer.DoModal());
    EXPECT_EQ(results, (std::vector<INT_PTR>{IDCANCEL, IDCANCEL}));
    QTRY_COMPARE(std::count(m_journal.begin(), m_journal.end(), "close"), 1);
    AfxResetSessionEnd();
}

// ---- the message loop

TEST_F(WindowLifecycleTest, MessageLoopReturnsTheQuitCode) {
    QTimer::singleShot(5, &m_timers, []() { PostQuitMessage(3); });
    EXPECT_EQ(AfxRunMessageLoop(), 3);
}

TEST_F(WindowLifecycleTest, QuitPostedBeforeTheLoopEndsOnlyThatLoop) {
    PostQuitMessage(4);
    EXPECT_EQ(AfxRunMessageLoop(), 4);
    // The next loop runs until its own quit.
    bool ranLong = false;
    QTimer::singleShot(30, &m_timers, [&]() {
        ranLong = true;
        PostQuitMessage(6);
    });
    QTimer::singleShot(5000, &m_timers, []() { PostQuitMessage(-1); });
    EXPECT_EQ(AfxRunMessageLoop(), 6);
    EXPECT_TRUE(ranLong);
}

TEST_F(WindowLifecycleTest, RunApplicationRunsTheLoopOnlyAfterASuccessfulStart) {
    struct App : CWinApp {
        bool start = true;
        std::vector<std::string>* journal = nullptr;
        BOOL InitInstance() override {
            auto* main = new MainLikeDlg(journal);
            main->Create(IDD_ZELVO_MANAGER_DIALOG);
            m_pMainWnd = main;
            if (start)
                QTimer::singleShot(5, []() { AfxGetMainWnd()->SendMessage(WM_CLOSE); });
            return start ? TRUE : FALSE;
        }
        int ExitInstance() override {
            if (m_pMainWnd)
                m_pMainWnd->DestroyWindow();
            return m_nExitCode + 10;
        }
    };
    for (const bool start : {true, false}) {
        std::vector<std::string> journal;
        App app;
        app.start = start;
        app.journal = &journal;
        EXPECT_EQ(AfxRunApplication(app), 10);
        EXPECT_EQ(app.m_pMainWnd, nullptr);
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.back(), "deleted");
        EXPECT_EQ(journal.front(), start ? "close" : "destroy: row '', edit '', login alive");
    }
}

} // namespace
