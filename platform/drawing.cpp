// Fonts, drawing contexts and brushes: what icon painting and static colouring need.
#include "internal.h"

#include <QPainter>

CFont::~CFont() = default;

BOOL CFont::CreateFontIndirect(const LOGFONT* lf) {
    if (!lf || m_created)
        return FALSE;
    m_lf = *lf;
    m_created = true;
    return TRUE;
}

BOOL CFont::GetLogFont(LOGFONT* lf) const {
    if (!lf || !m_created)
        return FALSE;
    *lf = m_lf;
    return TRUE;
}

BOOL CFont::DeleteObject() {
    const BOOL had = m_created;
    m_created = false;
    m_lf = LOGFONT{};
    return had;
}

CFont* CDC::SelectObject(CFont* font) {
    CFont* previous = m_pFont;
    m_pFont = font;
    return previous;
}

COLORREF CDC::SetTextColor(COLORREF color) {
    const COLORREF previous = m_textColor;
    m_textColor = color;
    m_textColorSet = true;
    return previous;
}

int CDC::SetBkMode(int mode) {
    const int previous = m_bkMode;
    m_bkMode = mode;
    return previous;
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    auto* painter = static_cast<QPainter*>(m_painter);
    if (!painter || !icon)
        return FALSE;
    const int size = GetSystemMetrics(SM_CXICON);
    painter->drawPixmap(x, y, icon->icon.pixmap(size, size));
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* wnd) {
    if (wnd && wnd->Bridge())
        m_painter = wnd->Bridge()->CurrentPainter();
}

CPaintDC::~CPaintDC() = default;

HBRUSH AfxGetStockHollowBrush() {
    static const BrushData hollow{true};
    return &hollow;
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    default:
        return 0;
    }
}
