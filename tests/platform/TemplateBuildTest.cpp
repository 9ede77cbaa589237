// Building the program's dialog templates into widgets: ids, texts, states, tab order, geometry,
// window type and size hints, echo modes, the default button and the caption; creation fails for
// an unregistered class.
#include "PlatformFixture.h"

#include <QAccessible>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>

namespace {

using TemplateBuildTest = PlatformTest;

// Every control with an id: its widget matches the template item.
void ExpectControlsMatchTemplate(const CDialog& dlg, const DlgTemplate& tpl) {
    for (const DlgItemTemplate& item : tpl.items) {
        if (item.id == IDC_STATIC)
            continue;
        CWnd* control = dlg.GetDlgItem(item.id);
        ASSERT_NE(control, nullptr) << item.id;
        EXPECT_EQ(control->GetDlgCtrlID(), item.id);
        EXPECT_EQ(control->GetStyle(), item.style) << item.id;
        if (item.kind != ControlKind::ListView) {
            EXPECT_EQ(control->GetWindowText(), item.kind == ControlKind::Edit ? std::string() : item.text) << item.id;
        }
        EXPECT_EQ(control->IsWindowEnabled(), !(item.style & WS_DISABLED)) << item.id;
    }
}

TEST_F(TemplateBuildTest, EveryTemplateBuildsItsControls) {
    for (const UINT id : {IDD_LOGIN, IDD_ZELVO_MANAGER_DIALOG, IDD_MESSAGE_BOX, IDD_CREATE_ADMIN}) {
        SCOPED_TRACE(id);
        const DlgTemplate* tpl = AfxFindDialogTemplate(id);
        ASSERT_NE(tpl, nullptr);
        CDialog dlg;
        ASSERT_TRUE(dlg.Create(id));
        EXPECT_EQ(dlg.GetTemplateId(), id);
        EXPECT_EQ(dlg.GetWindowText(), tpl->caption);
        EXPECT_FALSE(dlg.IsWindowVisible()); // no template is initially visible
        ExpectControlsMatchTemplate(dlg, *tpl);
    }
}

// Pixel positions worked out by hand for DejaVu Sans (fonts-dejavu-core), the tests' only font:
// "A..Za..z" is 353 px wide and 13 px high at 8 points, 385 and 14 px at 9 points, so the base
// units are 7 x 13 and 7 x 14. Several values sit where rounding and truncating differ.
TEST_F(TemplateBuildTest, DialogUnitsBecomeFixedPixelsForAKnownFont) {
    struct Case {
        UINT templateId;
        UINT controlId;
        QRect pixels;
    };
    const Case cases[] = {
        {IDD_ZELVO_MANAGER_DIALOG, IDC_EDIT_ACCOUNT, {121, 100, 415, 21}},
        {IDD_ZELVO_MANAGER_DIALOG, IDC_LIST_ACCOUNTS, {26, 226, 511, 254}},
        {IDD_ZELVO_MANAGER_DIALOG, IDOK, {387, 53, 151, 25}},
        {IDD_ZELVO_MANAGER_DIALOG, IDC_LABEL_ACCOUNT, {33, 100, 84, 14}},
        {IDD_LOGIN, IDC_EDIT_PASSWORD, {103, 70, 236, 20}},
        {IDD_LOGIN, IDOK, {88, 124, 88, 23}},
        {IDD_CREATE_ADMIN, IDC_EDIT_CONFIRM, {154, 104, 236, 20}},
        {IDD_MESSAGE_BOX, IDC_BTN_MSGBOX_OK, {182, 67, 88, 23}},
    };
    for (const Case& c : cases) {
        CDialog dlg;
        ASSERT_TRUE(dlg.Create(c.templateId));
        ASSERT_EQ(QFontInfo(dlg.GetSafeHwnd()->font()).family(), QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(Widget(dlg, c.controlId)->geometry(), c.pixels) << c.templateId << "/" << c.controlId;
    }
}

// The styles decide the window type, the title bar buttons and whether the size can change.
TEST_F(TemplateBuildTest, StylesBecomeWindowTypeAndSizeHints) {
    struct Case {
        UINT templateId;
        Qt::WindowType type;
        Qt::WindowFlags buttons;
        QSize fixedClient;
    };
    const Qt::WindowFlags close = Qt::WindowCloseButtonHint;
    const Qt::WindowFlags boxes = close | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    const Case cases[] = {
        {IDD_ZELVO_MANAGER_DIALOG, Qt::Window, boxes, {593, 511}},
        {IDD_LOGIN, Qt::Dialog, close, {394, 167}},
        {IDD_CREATE_ADMIN, Qt::Dialog, close, {439, 193}},
        {IDD_MESSAGE_BOX, Qt::Dialog, close, {455, 112}},
        {IDD_ABOUTBOX, Qt::Dialog, close, {410, 245}},
    };
    const Qt::WindowFlags allButtons = boxes | Qt::WindowContextHelpButtonHint;
    for (const Case& c : cases) {
        CDialog dlg;
        ASSERT_TRUE(dlg.Create(c.templateId));
        const QWidget* window = dlg.GetSafeHwnd();
        EXPECT_EQ(window->windowType(), c.type) << c.templateId;
        EXPECT_EQ(window->windowFlags() & allButtons, c.buttons) << c.templateId;
        EXPECT_TRUE(window->windowFlags() & Qt::WindowTitleHint) << c.templateId;
        EXPECT_TRUE(window->windowFlags() & Qt::WindowSystemMenuHint) << c.templateId;
        EXPECT_EQ(window->minimumSize(), c.fixedClient) << c.templateId;
        EXPECT_EQ(window->maximumSize(), c.fixedClient) << c.templateId;
    }
}

TEST_F(TemplateBuildTest, FieldsAreNamedAfterTheLabelOnTheirLeftAndWindowsSayWhatTheyAre) {
    struct Case {
        UINT templateId;
        QAccessible::Role role;
        std::vector<std::pair<UINT, QString>> names;
    };
    const Case cases[] = {
        {IDD_ZELVO_MANAGER_DIALOG,
         QAccessible::Window,
         {{IDC_EDIT_ACCOUNT, "ID(Account)"}, {IDC_EDIT_PASSWORD, "Password"}, {IDC_EDIT_COMMENT, "Comment"}}},
        {IDD_LOGIN, QAccessible::Dialog, {{IDC_EDIT_ACCOUNT, "Account"}, {IDC_EDIT_PASSWORD, "Password"}}},
        {IDD_CREATE_ADMIN,
         QAccessible::Dialog,
         {{IDC_EDIT_ACCOUNT, "Account"}, {IDC_EDIT_PASSWORD, "Password"}, {IDC_EDIT_CONFIRM, "Confim Password"}}},
    };
    for (const Case& c : cases) {
        CDialog dlg;
        ASSERT_TRUE(dlg.Create(c.templateId));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(dlg.GetSafeHwnd())->role(), c.role) << c.templateId;
        for (const auto& [id, name] : c.names) {
            QAccessibleInterface* field = QAccessible::queryAccessibleInterface(Widget(dlg, id));
            EXPECT_EQ(field->text(QAccessible::Name), name) << c.templateId << "/" << id;
            const auto labels = field->relations(QAccessible::Label);
            ASSERT_EQ(labels.size(), 1) << c.templateId << "/" << id;
            EXPECT_EQ(labels.front().first->text(QAccessible::Name), name + ":");
        }
    }
}

TEST_F(TemplateBuildTest, MaximisingEnlargesWithoutMovingControlsAndRestoringFixesTheSizeAgain) {
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    ShowAndExpose(dlg);
    QWidget* window = dlg.GetSafeHwnd();
    const QSize normal = window->size();
    const QRect list = Widget(dlg, IDC_LIST_ACCOUNTS)->geometry();
    dlg.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE);
    QTRY_VERIFY(window->isMaximized());
    QTRY_VERIFY(window->width() > normal.width() || window->height() > normal.height());
    EXPECT_EQ(Widget(dlg, IDC_LIST_ACCOUNTS)->geometry(), list);
    dlg.SendMessage(WM_SYSCOMMAND, SC_RESTORE);
    QTRY_COMPARE(window->size(), normal);
    EXPECT_EQ(window->maximumSize(), normal);
}

TEST_F(TemplateBuildTest, TemplateFontDecidesTheBaseUnits) {
    CDialog main, login;
    ASSERT_TRUE(main.Create(IDD_ZELVO_MANAGER_DIALOG));
    ASSERT_TRUE(login.Create(IDD_LOGIN));
    EXPECT_EQ(main.GetSafeHwnd()->font().pointSize(), 9);
    EXPECT_EQ(login.GetSafeHwnd()->font().pointSize(), 8);
}

TEST_F(TemplateBuildTest, LoginDialogEchoModesDefaultButtonAndFocus) {
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LOGIN));
    EXPECT_EQ(qobject_cast<QLineEdit*>(Widget(dlg, IDC_EDIT_PASSWORD))->echoMode(), QLineEdit::Password);
    EXPECT_EQ(qobject_cast<QLineEdit*>(Widget(dlg, IDC_EDIT_ACCOUNT))->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(qobject_cast<QPushButton*>(Widget(dlg, IDOK))->isDefault());
    EXPECT_FALSE(qobject_cast<QPushButton*>(Widget(dlg, IDCANCEL))->isDefault());
    // The initial focus is the first enabled tab stop.
    EXPECT_EQ(dlg.GetSafeHwnd()->focusWidget(), Widget(dlg, IDC_EDIT_ACCOUNT));
    EXPECT_EQ(dlg.GetDlgItem(IDC_STATIC), nullptr);
    EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
}

TEST_F(TemplateBuildTest, MainWindowPasswordFieldShowsItsTextInClear) {
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
    EXPECT_EQ(qobject_cast<QLineEdit*>(Widget(dlg, IDC_EDIT_PASSWORD))->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(qobject_cast<QPushButton*>(Widget(dlg, IDOK))->isDefault());
    EXPECT_TRUE(dlg.GetSystemMenu(FALSE) != nullptr);
}

// The ids reached by pressing Tab from the first control, in order, until the focus comes back.
std::vector<UINT> TabOrder(CDialog& dlg) {
    std::vector<UINT> order;
    QWidget* window = dlg.GetSafeHwnd();
    QWidget* first = window->focusWidget();
    if (!first)
        return order;
    for (int step = 0; step < 40; ++step) {
        order.push_back(CWnd::GetFocus() ? CWnd::GetFocus()->GetDlgCtrlID() : 0);
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        if (window->focusWidget() == first)
            break;
    }
    return order;
}

TEST_F(TemplateBuildTest, TabOrderIsTemplateOrder) {
    struct Case {
        UINT templateId;
        std::vector<UINT> order;
    };
    const Case cases[] = {
        {IDD_LOGIN, {IDC_EDIT_ACCOUNT, IDC_EDIT_PASSWORD, IDOK, IDCANCEL}},
        {IDD_ZELVO_MANAGER_DIALOG,
         {IDC_BTN_LOGIN, IDC_BTN_ABOUT, IDC_BTN_CREATE_ADMIN, IDC_BTN_HELP, IDOK, IDC_EDIT_ACCOUNT, IDC_EDIT_PASSWORD,
          IDC_EDIT_COMMENT, IDC_BTN_INSERT, IDC_BTN_UPDATE, IDC_BTN_DELETE, IDC_LIST_ACCOUNTS}},
    };
    for (const Case& c : cases) {
        CDialog dlg;
        ASSERT_TRUE(dlg.Create(c.templateId));
        ShowAndExpose(dlg);
        dlg.GetSafeHwnd()->activateWindow();
        QTRY_VERIFY(dlg.GetSafeHwnd()->isActiveWindow());
        EXPECT_EQ(TabOrder(dlg), c.order) << c.templateId;
    }
}

TEST_F(TemplateBuildTest, UnregisteredWindowClassCannotBeCreated) {
    afx_test::UnregisterClass(kMainDlgClassName);
    CDialog modeless;
    EXPECT_FALSE(modeless.Create(IDD_LOGIN));
    EXPECT_FALSE(modeless.HasWindow());
    int hookCalls = 0;
    afx_test::SetModalHook([&](CDialog&) { ++hookCalls; });
    CDialog modal(IDD_LOGIN);
    EXPECT_EQ(modal.DoModal(), -1);
    EXPECT_EQ(hookCalls, 0);

    // A failed registration leaves it unregistered; registering again works.
    afx_test::FailClassRegistration(true);
    WNDCLASS wc;
    wc.lpszClassName = kMainDlgClassName;
    EXPECT_FALSE(AfxRegisterClass(&wc));
    EXPECT_FALSE(modeless.Create(IDD_LOGIN));
    afx_test::FailClassRegistration(false);
    EXPECT_TRUE(AfxRegisterClass(&wc));
    EXPECT_TRUE(AfxRegisterClass(&wc)); // registering a known class again still succeeds
    EXPECT_TRUE(modeless.Create(IDD_LOGIN));
}

TEST_F(TemplateBuildTest, MissingTemplateCannotBeCreated) {
    CDialog dlg(4711);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_FALSE(dlg.Create(4711));
}

} // namespace
