#include "DlgAbout.h"

#include "Identity.h"
#include "resource.h"

CDlgAbout::CDlgAbout(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

BOOL CDlgAbout::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(std::string("About ") + kAppTitle);
    m_linkWeb.m_link = std::string(kWebsiteUrl);
    m_linkWeb.SubclassDlgItem(IDC_LINK_WEBSITE, this);
    m_linkMail.m_link = std::string("mailto:") + kSupportMail;
    m_linkMail.SubclassDlgItem(IDC_LINK_MAIL, this);
    return TRUE;
}
