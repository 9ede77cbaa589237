#include "MessageBox.h"
#include "ToolkitTestSupport.h"

namespace {

using MessageBoxTest = ToolkitTest;

TEST_F(MessageBoxTest, ShowsItsTextUnderTheFixedCaptionWithOneQuestionSoundPerOpening) {
    std::vector<std::string> seen;
    afx_test::SetModalHook([&](CDialog& dlg) {
        EXPECT_EQ(dlg.GetTemplateId(), IDD_MESSAGE_BOX);
        EXPECT_EQ(dlg.GetWindowText(), "Message Box");
        EXPECT_EQ(afx_test::BeepCount(), int(seen.size()) + 1);
        EXPECT_EQ(afx_test::LastBeepType(), MB_ICONQUESTION);
        EXPECT_EQ(dlg.GetSafeHwnd()->focusWidget(), dlg.GetDlgItem(IDC_BTN_MSGBOX_OK)->GetSafeHwnd());
        seen.push_back(dlg.GetDlgItem(IDC_STATIC_MSGBOX_TEXT)->GetWindowText());
    });
    ShowMessage("Login success.", nullptr);
    ShowMessage("Two passwords must be same.", nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"Login success.", "Two passwords must be same."}));
    EXPECT_EQ(afx_test::BeepCount(), 2);
    EXPECT_EQ(afx_test::RequestedSounds(), (std::vector<std::string>{"dialog-question", "dialog-question"}));
}

TEST_F(MessageBoxTest, EveryUserEndingClosesTheBoxThroughTheStandardHandling) {
    for (const Ending& ending : UserEndings()) {
        SCOPED_TRACE(ending.name);
        Recording<CMessageBox> box("Invalid file.", nullptr);
        afx_test::SetModalHook([&](CDialog& dlg) { ending.act(dlg, IDC_BTN_MSGBOX_OK); });
        EXPECT_EQ(box.DoModal(), ending.result);
        EXPECT_EQ(box.m_ended, ending.handler);
        EXPECT_FALSE(box.HasWindow());
    }
}

TEST_F(MessageBoxTest, OwnerIsDisabledWhileOpenAndGetsItsFocusBack) {
    CDialog owner;
    ASSERT_TRUE(owner.Create(IDD_LOGIN));
    owner.ShowWindow(SW_SHOW);
    QWidget* password = owner.GetDlgItem(IDC_EDIT_PASSWORD)->GetSafeHwnd();
    password->setFocus();
    bool ownerEnabledWhileOpen = true;
    CWnd* parentWhileOpen = nullptr;
    afx_test::SetModalHook([&](CDialog& dlg) {
        ownerEnabledWhileOpen = owner.IsWindowEnabled();
        parentWhileOpen = dlg.GetParent();
        static_cast<CButton*>(dlg.GetDlgItem(IDC_BTN_MSGBOX_OK))->Click();
    });
    ShowMessage("Please input the password.", &owner);
    EXPECT_FALSE(ownerEnabledWhileOpen);
    EXPECT_EQ(parentWhileOpen, &owner);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(owner.GetSafeHwnd()->focusWidget(), password);
    owner.DestroyWindow();
}

} // namespace
