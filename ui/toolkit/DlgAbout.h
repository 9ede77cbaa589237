// The modal About box: picture, name and version, and links to the maker's website and support mail.
#pragma once

#include "StaticLink.h"
#include "afxwin.h"

class CDlgAbout : public CDialog {
public:
    // Builds the box on its template; both links start without a target.
    explicit CDlgAbout(CWnd* parent = nullptr);

    // Link to the maker's website.
    CStaticLink m_linkWeb;
    // Link that starts a mail to the maker's support address.
    CStaticLink m_linkMail;

protected:
    // Sets the caption and turns the two statics into links.
    BOOL OnInitDialog() override;
};
