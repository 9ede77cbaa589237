#include "ToolkitTestSupport.h"
#include "dlgtemplate.h"

#include <QCursor>
#include <QTest>

#include <memory>

namespace {

constexpr COLORREF kBlue = CStaticLink::g_clrUnvisited;
constexpr COLORREF kRed = CStaticLink::g_clrHover;
constexpr COLORREF kPurple = CStaticLink::g_clrVisited;

// A link attached to a static of a modeless dialog, with the shell answered by the test.
class StaticLinkTest : public ToolkitTest {
protected:
    void Attach(CStaticLink& link, UINT templateId, UINT controlId) {
        ASSERT_TRUE(m_dlg.Create(templateId));
        m_dlg.ShowWindow(SW_SHOW);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.GetSafeHwnd()));
        ASSERT_TRUE(link.SubclassDlgItem(controlId, &m_dlg));
        afx_test::SetShellHook([this](const std::string& verb, const std::string& file) {
            m_opened.push_back(verb + " " + file);
            return m_shellResult;
        });
    }
    void TearDown() override {
        m_dlg.DestroyWindow();
        ToolkitTest::TearDown();
    }
    // Moving the pointer to where it already is reports nothing, so each move starts elsewhere.
    static void MovePointer(QPoint global) {
        QCursor::setPos(global + QPoint(500, 500));
        QCursor::setPos(global);
    }
    static void PointerInside(CWnd& wnd) { MovePointer(wnd.GetSafeHwnd()->mapToGlobal(QPoint(2, 2))); }
    static void PointerOutside(CWnd& wnd) { MovePointer(wnd.GetSafeHwnd()->mapToGlobal(QPoint(-30, -30))); }
    void Click(CStaticLink& link, INT_PTR shellResult) {
        m_shellResult = shellResult;
        link.SendMessage(WM_LBUTTONDOWN, 1, 0);
    }

    CDialog m_dlg;
    std::vector<std::string> m_opened;
    INT_PTR m_shellResult = 42;
};

enum class Event { Hover, TickInside, TickOutside, OpenSucceeds, OpenFails };
struct Step {
    Event event;
    COLORREF colour;
    BOOL hover;
};

TEST_F(StaticLinkTest, ColourFollowsPointerAndOpenResults) {
    const std::vector<std::pair<const char*, std::vector<Step>>> scenarios = {
        {"hover then leave",
         {{Event::Hover, kRed, TRUE}, {Event::TickInside, kRed, TRUE}, {Event::TickOutside, kBlue, FALSE}}},
        {"visit then leave",
         {{Event::Hover, kRed, TRUE},
          {Event::OpenSucceeds, kPurple, TRUE},
          {Event::OpenSucceeds, kPurple, TRUE},
          {Event::TickInside, kPurple, TRUE},
          {Event::Hover, kPurple, TRUE},
          {Event::TickOutside, kBlue, FALSE}}},
        {"failed open while hovering", {{Event::Hover, kRed, TRUE}, {Event::OpenFails, kRed, TRUE}}},
        {"failed open after a visit",
         {{Event::Hover, kRed, TRUE}, {Event::OpenSucceeds, kPurple, TRUE}, {Event::OpenFails, kPurple, TRUE}}},
        {"hover again after leaving",
         {{Event::Hover, kRed, TRUE}, {Event::TickOutside, kBlue, FALSE}, {Event::Hover, kRed, TRUE}}},
    };
    for (const auto& [name, steps] : scenarios) {
        SCOPED_TRACE(name);
        CDialog dlg;
        ASSERT_TRUE(dlg.Create(IDD_ABOUTBOX));
        dlg.ShowWindow(SW_SHOW);
        CStaticLink link("https://host.example/");
        ASSERT_TRUE(link.SubclassDlgItem(IDC_LINK_WEBSITE, &dlg));
        INT_PTR shellResult = 42;
        afx_test::SetShellHook([&](const std::string&, const std::string&) { return shellResult; });
        afx_test::ResetBeeps();
        int failures = 0;
        for (const Step& step : steps) {
            switch (step.event) {
            case Event::Hover:
                EXPECT_EQ(link.SendMessage(WM_NCHITTEST), HTCLIENT);
                break;
            case Event::TickInside:
            case Event::TickOutside:
                step.event == Event::TickInside ? PointerInside(link) : PointerOutside(link);
                link.SendMessage(WM_TIMER, link.m_nTimerID);
                break;
            case Event::OpenSucceeds:
            case Event::OpenFails:
                shellResult = step.event == Event::OpenSucceeds ? 42 : SE_ERR_FNF;
                failures += step.event == Event::OpenFails;
                link.SendMessage(WM_LBUTTONDOWN, 1, 0);
                break;
            }
            EXPECT_EQ(link.m_color, step.colour);
            EXPECT_EQ(link.m_bHover, step.hover);
            EXPECT_EQ(afx_test::BeepCount(), failures);
        }
        EXPECT_EQ(afx_test::RequestedSounds(), std::vector<std::string>(std::size_t(failures), "bell"));
        dlg.DestroyWindow();
    }
}

TEST_F(StaticLinkTest, RealPointerStartsHoverAndTheTimerEndsItAfterLeaving) {
    CStaticLink link("https://host.example/");
    Attach(link, IDD_ABOUTBOX, IDC_LINK_WEBSITE);
    PointerInside(link);
    EXPECT_TRUE(QTest::qWaitFor([&] { return link.m_bHover != FALSE; }, 2000));
    EXPECT_EQ(link.m_color, kRed);
    QTest::qWait(250); // several timer ticks with the pointer still inside
    EXPECT_EQ(link.m_color, kRed);
    PointerOutside(link);
    EXPECT_TRUE(QTest::qWaitFor([&] { return link.m_bHover == FALSE; }, 2000));
    EXPECT_EQ(link.m_color, kBlue);
}

TEST_F(StaticLinkTest, EmptyTargetTakesTheWindowTextOnceOrDoesNothing) {
    struct Case {
        const char* name;
        UINT templateId, controlId;
        std::vector<std::string> afterFirst, afterSecond;
        COLORREF colourAfterFirst;
    };
    // Between the clicks the control's text changes: a taken target stays, an empty one is taken late.
    const std::vector<Case> cases = {
        {"text static",
         IDD_ABOUTBOX,
         IDC_LINK_WEBSITE,
         {"open Website : www.zelvo.example"},
         {"open Website : www.zelvo.example", "open Website : www.zelvo.example"},
         kPurple},
        {"empty static", IDD_MESSAGE_BOX, IDC_STATIC_MSGBOX_TEXT, {}, {"open later text"}, kBlue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CStaticLink link;
        Attach(link, c.templateId, c.controlId);
        Click(link, 42);
        EXPECT_EQ(m_opened, c.afterFirst);
        EXPECT_EQ(link.m_color, c.colourAfterFirst);
        link.SetWindowText("later text");
        Click(link, 42);
        EXPECT_EQ(m_opened, c.afterSecond);
        EXPECT_EQ(afx_test::BeepCount(), 0);
        m_dlg.DestroyWindow();
        m_opened.clear();
    }
}

TEST_F(StaticLinkTest, OnlyPlainAlignedTextIsColouredByTheLink) {
    const std::vector<std::pair<DWORD, bool>> styles = {
        {SS_LEFT, false},
        {SS_CENTER, false},
        {SS_RIGHT | WS_CHILD | WS_VISIBLE | WS_GROUP, false},
        {SS_ICON, true},
        {SS_BITMAP, true},
        {SS_SIMPLE, true},
        {SS_LEFT | SS_NOPREFIX, true},
        {SS_RIGHT | SS_NOPREFIX, true},
    };
    for (const auto& [style, leaves] : styles)
        EXPECT_EQ(LeavesColouringToParent(style), leaves) << std::hex << style;
}

TEST_F(StaticLinkTest, ColouringUsesACopyOfTheControlFontAndTheCurrentColour) {
    CStaticLink link;
    Attach(link, IDD_ABOUTBOX, IDC_LINK_WEBSITE);
    link.SendMessage(WM_NCHITTEST);
    CDC dc;
    EXPECT_EQ(link.CtlColor(&dc, CTLCOLOR_STATIC), AfxGetStockHollowBrush());
    EXPECT_EQ(dc.TextColor(), kRed);
    EXPECT_EQ(dc.BkMode(), TRANSPARENT);
    ASSERT_EQ(dc.SelectedFont(), &link.m_font);
    LOGFONT copy, original;
    ASSERT_TRUE(link.m_font.GetLogFont(&copy));
    ASSERT_TRUE(link.GetFont()->GetLogFont(&original));
    EXPECT_EQ(copy.faceName, original.faceName);
    EXPECT_EQ(copy.pointSize, original.pointSize);
    EXPECT_FALSE(copy.underline);
    link.GetSafeHwnd()->grab(); // painting asks the link for its colours
    EXPECT_EQ(link.GetSafeHwnd()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(StaticLinkTest, HandCursorIsLookedForOncePerRunFoundOrNot) {
    for (const bool available : {true, false}) {
        SCOPED_TRACE(available ? "found" : "missing");
        toolkit_test::ResetLinkCursorCache();
        afx_test::ResetAll();
        afx_test::SetHandCursorAvailable(available);
        CStaticLink web, mail;
        Attach(web, IDD_ABOUTBOX, IDC_LINK_WEBSITE);
        ASSERT_TRUE(mail.SubclassDlgItem(IDC_LINK_MAIL, &m_dlg));
        QWidget* label = web.GetSafeHwnd();
        PointerInside(web);
        EXPECT_TRUE(QTest::qWaitFor([&] { return web.m_bHover != FALSE; }, 2000));
        EXPECT_EQ(label->cursor().shape(), available ? Qt::PointingHandCursor : Qt::ArrowCursor);
        for (CStaticLink* link : {&web, &mail, &web})
            EXPECT_EQ(link->SendMessage(WM_SETCURSOR), available ? TRUE : FALSE);
        EXPECT_EQ(afx_test::HandCursorLookups(), 1);
        m_dlg.DestroyWindow();
    }
}

TEST_F(StaticLinkTest, SelfDeletingLinkGoesWithItsWindow) {
    struct Watched : CStaticLink {
        Watched(BOOL selfDelete, bool& gone) : CStaticLink({}, selfDelete), m_gone(gone) {}
        ~Watched() override { m_gone = true; }
        bool& m_gone;
    };
    for (const BOOL selfDelete : {TRUE, FALSE}) {
        bool gone = false;
        auto* link = new Watched(selfDelete, gone);
        Attach(*link, IDD_ABOUTBOX, IDC_LINK_MAIL);
        m_dlg.DestroyWindow();
        EXPECT_EQ(gone, selfDelete != FALSE);
        if (!gone) {
            EXPECT_FALSE(link->HasWindow());
            delete link;
        }
    }
}

} // namespace
