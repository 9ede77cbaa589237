// Shared set-up of the framework-layer tests: an application object, the program's window class
// registered as at start-up, and every test seam cleared afterwards.
#pragma once

#include "afxwin.h"
#include "resource.h"
#include "testhooks.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        afx_test::ResetAll();
        AfxResetSessionEnd();
        WNDCLASS wc;
        ASSERT_TRUE(GetClassInfo(AfxGetInstanceHandle(), "#32770", &wc));
        wc.lpszClassName = kMainDlgClassName;
        ASSERT_TRUE(AfxRegisterClass(&wc));
    }
    void TearDown() override {
        afx_test::ResetAll();
        afx_test::FailClassRegistration(false);
        AfxResetSessionEnd();
        AfxPumpMessages();
    }

    // The widget of a dialog's control.
    static QWidget* Widget(const CDialog& dlg, UINT id) {
        CWnd* control = dlg.GetDlgItem(id);
        return control ? control->GetSafeHwnd() : nullptr;
    }
    // Shows a dialog and waits until the headless platform has exposed it.
    static void ShowAndExpose(CDialog& dlg) {
        dlg.ShowWindow(SW_SHOW);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.GetSafeHwnd()));
    }

    CWinApp m_app;
    // The context of a test's timers: a safety net still pending when the test ends dies with it.
    QObject m_timers;
};
