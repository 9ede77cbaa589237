// Message maps: buttons, close, destroy, timers and system commands reach their handlers; what a
// map leaves out reaches the dialog's default handling; keys go through PreTranslateMessage.
#include "PlatformFixture.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <string>
#include <vector>

namespace {

// The main window's template with a map of a few buttons, close, destroy, timer and system command.
class RoutingDlg : public CDialog {
public:
    RoutingDlg() : CDialog(IDD_ZELVO_MANAGER_DIALOG) {}
    const MessageMap& GetMessageMap() const override;
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN)
            keys.push_back(UINT(msg->wParam));
        if (swallowEnter && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
            log.push_back("swallowed enter");
            return TRUE;
        }
        return CDialog::PreTranslateMessage(msg);
    }
    void OnOK() override {
        log.push_back("OnOK");
        CDialog::OnOK();
    }
    void OnCancel() override {
        log.push_back("OnCancel");
        CDialog::OnCancel();
    }

    std::vector<std::string> log;
    std::vector<UINT> keys;
    std::vector<UINT_PTR> timers;
    std::vector<UINT> sysCommands;
    bool swallowEnter = false;
    bool closeDestroys = false;

private:
    void OnLogin() { log.push_back("login"); }
    void OnAbout() { log.push_back("about"); }
    void OnInsert() { log.push_back("insert"); }
    void OnCommentChanged() { log.push_back("comment: " + GetDlgItem(IDC_EDIT_COMMENT)->GetWindowText()); }
    void OnClose() {
        log.push_back("close");
        if (closeDestroys)
            DestroyWindow();
    }
    void OnDestroyHandler() {
        CDialog::OnDestroy();
        log.push_back("destroy");
    }
    void OnTimerHandler(UINT_PTR id) { timers.push_back(id); }
    void OnSysCommandHandler(UINT id, LPARAM lParam) {
        sysCommands.push_back(id);
        if ((id & 0xFFF0) != IDM_ABOUTBOX)
            OnSysCommandDefault(id, lParam);
    }
};

const MessageMap& RoutingDlg::GetMessageMap() const {
    static const MessageMap map = {
        msgmap::OnBnClicked(IDC_BTN_LOGIN, &RoutingDlg::OnLogin),
        msgmap::OnBnClicked(IDC_BTN_ABOUT, &RoutingDlg::OnAbout),
        msgmap::OnBnClicked(IDC_BTN_INSERT, &RoutingDlg::OnInsert),
        msgmap::OnEnChange(IDC_EDIT_COMMENT, &RoutingDlg::OnCommentChanged),
        msgmap::OnMessage(WM_CLOSE, &RoutingDlg::OnClose),
        msgmap::OnMessage(WM_DESTROY, &RoutingDlg::OnDestroyHandler),
        msgmap::OnTimer(&RoutingDlg::OnTimerHandler),
        msgmap::OnSysCommand(&RoutingDlg::OnSysCommandHandler),
    };
    return map;
}

using MessageRoutingTest = PlatformTest;

TEST_F(MessageRoutingTest, ClicksReachTheirHandlersAndUnmappedButtonsTheDefaults) {
    struct Case {
        UINT button;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {IDC_BTN_LOGIN, {"login"}}, {IDC_BTN_ABOUT, {"about"}}, {IDC_BTN_INSERT, {"insert"}},
        {IDC_BTN_HELP, {}}, // not in the map: nothing
        {IDOK, {"OnOK"}},   // not in the map: the dialog's OK handling
    };
    for (const Case& c : cases) {
        RoutingDlg dlg;
        ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
        static_cast<CButton*>(dlg.GetDlgItem(c.button))->Click();
        EXPECT_EQ(dlg.log, c.expected) << c.button;
    }
}

// Every change of an edit's text reaches its handler, typed or set; an unmapped edit's goes nowhere.
TEST_F(MessageRoutingTest, EditChangesReachTheirHandler) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    dlg.GetDlgItem(IDC_EDIT_COMMENT)->SetFocus();
    QTest::keyClicks(Widget(dlg, IDC_EDIT_COMMENT), "ab");
    dlg.GetDlgItem(IDC_EDIT_COMMENT)->SetWindowText("set");
    dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("elsewhere");
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"comment: a", "comment: ab", "comment: set"}));
}

TEST_F(MessageRoutingTest, DisabledButtonIgnoresClicks) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    dlg.GetDlgItem(IDC_BTN_LOGIN)->EnableWindow(FALSE);
    EXPECT_FALSE(dlg.GetDlgItem(IDC_BTN_LOGIN)->IsWindowEnabled());
    static_cast<CButton*>(dlg.GetDlgItem(IDC_BTN_LOGIN))->Click();
    EXPECT_TRUE(dlg.log.empty());
}

TEST_F(MessageRoutingTest, CancelButtonAndCloseReachOnCancelWhenUnmapped) {
    CDialog plain;
    ASSERT_TRUE(plain.Create(IDD_LOGIN));
    struct CancelDlg : CDialog {
        int cancels = 0;
        void OnCancel() override { ++cancels; }
    } dlg;
    ASSERT_TRUE(dlg.Create(IDD_LOGIN));
    static_cast<CButton*>(dlg.GetDlgItem(IDCANCEL))->Click();
    dlg.SendMessage(WM_CLOSE);
    dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ(dlg.cancels, 3);
    EXPECT_TRUE(dlg.HasWindow());
}

TEST_F(MessageRoutingTest, WindowCloseRequestGoesToTheMap) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    ShowAndExpose(dlg);
    dlg.GetSafeHwnd()->close(); // as the window manager's close button
    EXPECT_EQ(dlg.log, std::vector<std::string>{"close"});
    EXPECT_TRUE(dlg.HasWindow());
}

TEST_F(MessageRoutingTest, TimersDeliverTheirIdUntilKilled) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    EXPECT_EQ(dlg.SetTimer(100, 5), UINT_PTR(100));
    EXPECT_EQ(dlg.SetTimer(7, 5), UINT_PTR(7));
    QTRY_VERIFY(std::count(dlg.timers.begin(), dlg.timers.end(), 100) >= 2 &&
                std::count(dlg.timers.begin(), dlg.timers.end(), 7) >= 2);
    EXPECT_TRUE(dlg.KillTimer(100));
    EXPECT_FALSE(dlg.KillTimer(100));
    EXPECT_FALSE(dlg.KillTimer(55));
    QTest::qWait(20); // a tick that was already due may still arrive
    dlg.timers.clear();
    QTest::qWait(60);
    EXPECT_EQ(std::count(dlg.timers.begin(), dlg.timers.end(), 100), 0);
    EXPECT_GE(std::count(dlg.timers.begin(), dlg.timers.end(), 7), 1);
    EXPECT_TRUE(dlg.KillTimer(7));
    dlg.timers.clear();
    QTest::qWait(30);
    EXPECT_TRUE(dlg.timers.empty());
}

TEST_F(MessageRoutingTest, TimerKilledInsideItsHandlerFiresOnce) {
    struct OneShotDlg : CDialog {
        const MessageMap& GetMessageMap() const override {
            static const MessageMap map = {msgmap::OnTimer(&OneShotDlg::Tick)};
            return map;
        }
        void Tick(UINT_PTR id) {
            ++ticks;
            KillTimer(id);
        }
        int ticks = 0;
    } dlg;
    ASSERT_TRUE(dlg.Create(IDD_LOGIN));
    dlg.SetTimer(100, 1);
    QTRY_COMPARE(dlg.ticks, 1);
    QTest::qWait(20);
    EXPECT_EQ(dlg.ticks, 1);
}

TEST_F(MessageRoutingTest, DestroyHandlerRunsOnce) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    dlg.SetTimer(3, 1);
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_FALSE(dlg.HasWindow());
    EXPECT_FALSE(dlg.DestroyWindow());
    QTest::qWait(10); // the timer died with the window
    EXPECT_EQ(dlg.log, std::vector<std::string>{"destroy"});
    EXPECT_TRUE(dlg.timers.empty());
}

TEST_F(MessageRoutingTest, HandlerMayDestroyItsOwnWindow) {
    RoutingDlg dlg;
    dlg.closeDestroys = true;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    dlg.SendMessage(WM_CLOSE);
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"close", "destroy"}));
    EXPECT_FALSE(dlg.HasWindow());
}

// ---- keyboard

struct KeyCase {
    const char* name;
    UINT templateId;
    UINT focus;
    Qt::Key key;
    bool swallowEnter;
    std::vector<std::string> expected;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

TEST_F(MessageRoutingTest, DialogKeyboard) {
    const KeyCase cases[] = {
        {"enter in an edit presses the default button",
         IDD_ZELVO_MANAGER_DIALOG,
         IDC_EDIT_ACCOUNT,
         Qt::Key_Return,
         false,
         {"OnOK"}},
        {"keypad enter too", IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_COMMENT, Qt::Key_Enter, false, {"OnOK"}},
        {"enter on a focused button presses it",
         IDD_ZELVO_MANAGER_DIALOG,
         IDC_BTN_LOGIN,
         Qt::Key_Return,
         false,
         {"login"}},
        {"escape cancels", IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_ACCOUNT, Qt::Key_Escape, false, {"OnCancel"}},
        {"escape on a button cancels", IDD_ZELVO_MANAGER_DIALOG, IDC_BTN_ABOUT, Qt::Key_Escape, false, {"OnCancel"}},
        {"an override that swallows enter wins",
         IDD_ZELVO_MANAGER_DIALOG,
         IDC_EDIT_ACCOUNT,
         Qt::Key_Return,
         true,
         {"swallowed enter"}},
        {"swallowed on a button too",
         IDD_ZELVO_MANAGER_DIALOG,
         IDC_BTN_LOGIN,
         Qt::Key_Return,
         true,
         {"swallowed enter"}},
        {"space on a button clicks it", IDD_ZELVO_MANAGER_DIALOG, IDC_BTN_INSERT, Qt::Key_Space, false, {"insert"}},
        {"a letter is just typed", IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_ACCOUNT, Qt::Key_A, false, {}},
        {"a button's mnemonic clicks it before the key returns",
         IDD_ZELVO_MANAGER_DIALOG,
         IDC_EDIT_ACCOUNT,
         Qt::Key_I,
         false,
         {"insert"},
         Qt::AltModifier},
        {"the bare letter too, on a button", IDD_ZELVO_MANAGER_DIALOG, IDC_BTN_ABOUT, Qt::Key_I, false, {"insert"}},
        {"but not with ctrl", IDD_ZELVO_MANAGER_DIALOG, IDC_BTN_ABOUT, Qt::Key_I, false, {}, Qt::ControlModifier},
        {"nor in an edit", IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_ACCOUNT, Qt::Key_I, false, {}},
    };
    for (const KeyCase& c : cases) {
        RoutingDlg dlg;
        dlg.swallowEnter = c.swallowEnter;
        ASSERT_TRUE(dlg.Create(c.templateId));
        ShowAndExpose(dlg);
        Widget(dlg, c.focus)->setFocus();
        QTest::keyClick(Widget(dlg, c.focus), c.key, c.modifiers);
        EXPECT_EQ(dlg.log, c.expected) << c.name;
    }
}

TEST_F(MessageRoutingTest, EveryKeyPressIsOfferedOnce) {
    for (const UINT focus : {IDC_EDIT_ACCOUNT, IDC_BTN_LOGIN}) {
        RoutingDlg dlg;
        ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
        ShowAndExpose(dlg);
        QWidget* target = Widget(dlg, focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_F5);
        QTest::keyClick(target, Qt::Key_X);
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_EQ(dlg.keys.size(), 3u) << focus;
        EXPECT_EQ(dlg.keys.back(), VK_ESCAPE);
    }
}

TEST_F(MessageRoutingTest, EnterWithADisabledDefaultButtonDoesNothing) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    ShowAndExpose(dlg);
    dlg.GetDlgItem(IDOK)->EnableWindow(FALSE);
    Widget(dlg, IDC_EDIT_ACCOUNT)->setFocus();
    QTest::keyClick(Widget(dlg, IDC_EDIT_ACCOUNT), Qt::Key_Return);
    EXPECT_TRUE(dlg.log.empty());
}

// ---- the system menu

// Chooses the popup menu item with this text once the menu shows; closes any popup that stays.
void ChooseFromNextPopup(const QString& text, QStringList* seen) {
    QTimer::singleShot(0, [text, seen]() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (seen)
                seen->push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->text() == text && action->isEnabled())
                menu->setActiveAction(action);
        }
        if (menu->activeAction())
            QTest::keyClick(menu, Qt::Key_Return);
        else
            menu->close();
    });
}

TEST_F(MessageRoutingTest, SystemMenuItemsAndAppendedItems) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    CMenu* menu = dlg.GetSystemMenu(FALSE);
    ASSERT_NE(menu, nullptr);
    std::vector<UINT> ids;
    for (const CMenu::Item& item : menu->Items())
        ids.push_back(item.flags & MF_SEPARATOR ? 0 : item.id);
    // Moving is offered only where a window manager takes the request, which the test platform has not.
    EXPECT_EQ(ids, (std::vector<UINT>{SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE}));
    EXPECT_TRUE(menu->AppendMenu(MF_SEPARATOR));
    EXPECT_TRUE(menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, "About Password Manager(&A)..."));
    EXPECT_EQ(dlg.GetSystemMenu(FALSE), menu);
    EXPECT_EQ(menu->Items().size(), 8u);
    EXPECT_EQ(menu->Items().back().text, "About Password Manager(&A)...");
    // Reverting gives the standard menu back.
    EXPECT_EQ(dlg.GetSystemMenu(TRUE)->Items().size(), 6u);
    // Without a window there is no menu.
    CDialog unopened;
    EXPECT_EQ(unopened.GetSystemMenu(FALSE), nullptr);
}

TEST_F(MessageRoutingTest, ChoosingSystemMenuItemsSendsSystemCommands) {
    struct Case {
        const char* how;
        QString item;
        std::vector<UINT> commands;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"right click", QStringLiteral("About Password Manager(&A)..."), {IDM_ABOUTBOX}, {}},
        {"right click", QStringLiteral("&Close"), {SC_CLOSE}, {"close"}},
        {"shift+F10", QStringLiteral("About Password Manager(&A)..."), {IDM_ABOUTBOX}, {}},
        {"menu key", QStringLiteral("Mi&nimize"), {SC_MINIMIZE}, {}},
        {"right click", QStringLiteral("&Restore"), {}, {}}, // disabled while the window is normal
        {"right click", QStringLiteral("&Size"), {}, {}},    // disabled without a thick frame
    };
    for (const Case& c : cases) {
        RoutingDlg dlg;
        ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, "About Password Manager(&A)...");
        ShowAndExpose(dlg);
        QStringList seen;
        ChooseFromNextPopup(c.item, &seen);
        QWidget* window = dlg.GetSafeHwnd();
        if (std::string(c.how) == "right click") {
            // On the background, away from every control.
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), window->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(window, &event);
        } else {
            Widget(dlg, IDC_EDIT_ACCOUNT)->setFocus();
            if (std::string(c.how) == "shift+F10")
                QTest::keyClick(Widget(dlg, IDC_EDIT_ACCOUNT), Qt::Key_F10, Qt::ShiftModifier);
            else
                QTest::keyClick(Widget(dlg, IDC_EDIT_ACCOUNT), Qt::Key_Menu);
        }
        EXPECT_EQ(seen.size(), 8) << c.how;
        EXPECT_EQ(dlg.sysCommands, c.commands) << c.how << " " << c.item.toStdString();
        EXPECT_EQ(dlg.log, c.log) << c.how;
    }
}

TEST_F(MessageRoutingTest, RightClickOnAControlOpensNoSystemMenu) {
    RoutingDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    ShowAndExpose(dlg);
    QStringList seen;
    ChooseFromNextPopup(QStringLiteral("&Close"), &seen);
    QWidget* button = Widget(dlg, IDC_BTN_LOGIN);
    const QPoint inButton = button->geometry().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, inButton, dlg.GetSafeHwnd()->mapToGlobal(inButton));
    QApplication::sendEvent(dlg.GetSafeHwnd(), &event);
    QTest::qWait(5);
    EXPECT_TRUE(dlg.sysCommands.empty());
}

} // namespace
