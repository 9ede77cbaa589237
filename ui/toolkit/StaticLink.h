// A static text control of a dialog turned into a hyperlink: link colours on a transparent
// background, a hand pointer, a hover colour, and a click that opens the target with the shell.
#pragma once

#include "afxwin.h"

#include <string>

// The text a link opens: a web address, a "mailto:" address or a file name.
class CLinkTarget : public std::string {
public:
    // An empty target.
    CLinkTarget() = default;
    // A target with the given text.
    CLinkTarget(const std::string& text) : std::string(text) {}
    CLinkTarget(const CLinkTarget&) = default;
    CLinkTarget& operator=(const CLinkTarget&) = default;
    // Replaces the text.
    CLinkTarget& operator=(const std::string& text) {
        std::string::operator=(text);
        return *this;
    }
    virtual ~CLinkTarget() = default;
    // Opens the text with the shell's "open" verb; the shell's result (above 32: success), or 0
    // without asking the shell when the text is empty.
    virtual INT_PTR Navigate() const;
};

class CStaticLink : public CStatic {
public:
    // Text colour before any visit and after the pointer leaves.
    static constexpr COLORREF g_clrUnvisited = RGB(0, 0, 255);
    // Text colour after a successful open, until the pointer leaves.
    static constexpr COLORREF g_clrVisited = RGB(128, 0, 128);
    // Text colour while the pointer is over the control.
    static constexpr COLORREF g_clrHover = RGB(255, 0, 0);

    // A link to the given target (empty: taken from the control on the first click); with
    // deleteOnDestroy the object deletes itself once its window is gone.
    explicit CStaticLink(const std::string& target = {}, BOOL deleteOnDestroy = FALSE);
    // Releases the private font.
    ~CStaticLink() override;
    // Routes hit tests, reflected colouring, clicks, cursor requests and the hover timer.
    const MessageMap& GetMessageMap() const override;

    // Starts hovering on the first pointer movement; makes the control take the pointer.
    LRESULT OnNcHitTest(CPoint point);
    // Ends hovering once the pointer is outside the control.
    void OnTimer(UINT_PTR id);
    // Colours plain text statics in the current link colour; leaves other statics to the parent.
    HBRUSH CtlColor(CDC* dc, UINT ctlColor);
    // Opens the target; marks the link visited on success, beeps on failure.
    void OnLButtonDown(UINT flags, CPoint point);
    // Shows the hand cursor, looked for once per run.
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);

    // What a click opens; the owner may set it before attaching the control.
    CLinkTarget m_link;
    // The colour the text is drawn in now.
    COLORREF m_color = g_clrUnvisited;
    // A private copy of the control's font, made on the first colouring.
    CFont m_font;
    // The object deletes itself after its window is gone.
    BOOL m_bDeleteOnDestroy = FALSE;
    // The pointer was seen over the control and the hover timer runs.
    BOOL m_bHover = FALSE;
    // Id of the hover timer.
    UINT m_nTimerID = 1;

protected:
    // Deletes the object when it was made to delete itself.
    void PostNcDestroy() override;
};

// True when a static of this style is not plain left, centred or right-aligned text (the whole
// low style byte counts, so the no-prefix flag too): such a control keeps the parent's colouring.
bool LeavesColouringToParent(DWORD style);

namespace toolkit_test {
// Forgets the process-wide hand cursor, so the next cursor request looks for it again.
void ResetLinkCursorCache();
} // namespace toolkit_test
