#include "StaticLink.h"

#include "dlgtemplate.h"
#include "resources.h"

namespace {
// Hover timer period.
constexpr UINT kHoverTimerMs = 100;

// The hand cursor is shared by every link of the run and looked for at most once: a failed
// search is not repeated.
HCURSOR g_hLinkCursor = nullptr;
bool g_bLinkCursorTried = false;
} // namespace

namespace toolkit_test {
void ResetLinkCursorCache() {
    g_hLinkCursor = nullptr;
    g_bLinkCursorTried = false;
}
} // namespace toolkit_test

INT_PTR CLinkTarget::Navigate() const {
    if (empty())
        return 0;
    return ShellExecute(nullptr, "open", *this, "", "", SW_SHOWNORMAL);
}

bool LeavesColouringToParent(DWORD style) {
    return (style & 0xFF) > SS_RIGHT;
}

CStaticLink::CStaticLink(const std::string& target, BOOL deleteOnDestroy)
    : m_link(target), m_bDeleteOnDestroy(deleteOnDestroy) {}

CStaticLink::~CStaticLink() {
    m_font.DeleteObject();
}

const MessageMap& CStaticLink::GetMessageMap() const {
    static const MessageMap map = {
        msgmap::OnNcHitTest(&CStaticLink::OnNcHitTest),
        msgmap::OnCtlColorReflect(&CStaticLink::CtlColor),
        msgmap::OnLButtonDown(&CStaticLink::OnLButtonDown),
        msgmap::OnSetCursor(&CStaticLink::OnSetCursor),
        msgmap::OnTimer(&CStaticLink::OnTimer),
    };
    return map;
}

LRESULT CStaticLink::OnNcHitTest(CPoint) {
    if (!m_bHover) {
        m_bHover = TRUE;
        m_color = g_clrHover;
        Invalidate(TRUE);
        SetTimer(m_nTimerID, kHoverTimerMs);
    }
    // A plain static lets the pointer through; a link takes clicks and cursor requests.
    return HTCLIENT;
}

void CStaticLink::OnTimer(UINT_PTR) {
    CPoint pointer;
    GetCursorPos(&pointer);
    ScreenToClient(&pointer);
    CRect client;
    GetClientRect(&client);
    if (!client.PtInRect(pointer)) {
        m_bHover = FALSE;
        KillTimer(m_nTimerID);
        m_color = g_clrUnvisited;
        Invalidate(TRUE);
    }
    Default();
}

HBRUSH CStaticLink::CtlColor(CDC* dc, UINT) {
    if (!dc || LeavesColouringToParent(GetStyle()))
        return nullptr;
    if (m_font.IsNull()) {
        LOGFONT description;
        if (const CFont* font = GetFont(); font && font->GetLogFont(&description))
            m_font.CreateFontIndirect(&description);
    }
    dc->SelectObject(&m_font);
    dc->SetTextColor(m_color);
    dc->SetBkMode(TRANSPARENT);
    return AfxGetStockHollowBrush();
}

void CStaticLink::OnLButtonDown(UINT, CPoint) {
    if (m_link.empty()) {
        m_link = AfxLoadResourceString(GetDlgCtrlID());
        if (m_link.empty())
            m_link = GetWindowText();
        if (m_link.empty())
            return;
    }
    if (m_link.Navigate() <= 32) {
        MessageBeep(MB_OK);
        return;
    }
    m_color = g_clrVisited;
    Invalidate(TRUE);
}

BOOL CStaticLink::OnSetCursor(CWnd*, UINT, UINT) {
    if (!g_hLinkCursor && !g_bLinkCursorTried) {
        g_hLinkCursor = AfxLoadHandCursor();
        g_bLinkCursorTried = true;
    }
    if (!g_hLinkCursor)
        return FALSE;
    SetCursor(g_hLinkCursor);
    return TRUE;
}

void CStaticLink::PostNcDestroy() {
    if (m_bDeleteOnDestroy)
        delete this;
}
