#include "DlgAbout.h"
#include "Identity.h"
#include "ToolkitTestSupport.h"

#include <QLabel>
#include <QTest>

namespace {

using DlgAboutTest = ToolkitTest;

QLabel* LabelWithText(CDialog& dlg, const QString& text) {
    for (QLabel* label : dlg.GetSafeHwnd()->findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

TEST_F(DlgAboutTest, ShowsTitleVersionAndTwoLinksToTheMaker) {
    std::vector<std::string> opened;
    afx_test::SetShellHook([&](const std::string&, const std::string& file) {
        opened.push_back(file);
        return INT_PTR(42);
    });
    bool ran = false;
    afx_test::SetModalHook([&](CDialog& dlg) {
        ran = true;
        auto& about = dynamic_cast<CDlgAbout&>(dlg);
        EXPECT_EQ(about.GetWindowText(), "About Zelvo Password Manager");
        EXPECT_EQ(about.GetDlgItem(IDC_LINK_WEBSITE), &about.m_linkWeb);
        EXPECT_EQ(about.GetDlgItem(IDC_LINK_MAIL), &about.m_linkMail);
        const std::string web = about.m_linkWeb.m_link;
        EXPECT_EQ(web.rfind("https://", 0), 0u);
        EXPECT_EQ(web.back(), '/');
        EXPECT_EQ(std::string(about.m_linkMail.m_link), std::string("mailto:") + kSupportMail);
        EXPECT_EQ(about.GetSafeHwnd()->focusWidget(), about.GetDlgItem(IDOK)->GetSafeHwnd());

        QLabel* version = LabelWithText(about, "Zelvo Password Manager Version 1.3");
        ASSERT_NE(version, nullptr);
        const QColor normal = version->palette().color(QPalette::WindowText);
        for (CStaticLink* link : {&about.m_linkWeb, &about.m_linkMail})
            QTest::mouseClick(link->GetSafeHwnd(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
        version->grab();
        EXPECT_EQ(version->palette().color(QPalette::WindowText), normal);
    });
    CDlgAbout about;
    about.DoModal();
    EXPECT_TRUE(ran);
    EXPECT_EQ(opened, (std::vector<std::string>{kWebsiteUrl, std::string("mailto:") + kSupportMail}));
}

TEST_F(DlgAboutTest, EveryUserEndingClosesTheBoxThroughTheStandardHandling) {
    for (const Ending& ending : UserEndings()) {
        SCOPED_TRACE(ending.name);
        Recording<CDlgAbout> about;
        afx_test::SetModalHook([&](CDialog& dlg) { ending.act(dlg, IDOK); });
        EXPECT_EQ(about.DoModal(), ending.result);
        EXPECT_EQ(about.m_ended, ending.handler);
        EXPECT_FALSE(about.m_linkWeb.HasWindow());
    }
}

} // namespace
