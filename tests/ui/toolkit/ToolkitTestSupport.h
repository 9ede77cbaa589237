// Shared set-up of the toolkit tests: the window class every template names, clean hooks, and
// the four ways a user ends a modal dialog.
#pragma once

#include "StaticLink.h"
#include "afxwin.h"
#include "resource.h"
#include "testhooks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <string>

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASS wc;
        GetClassInfo(AfxGetInstanceHandle(), "#32770", &wc);
        wc.lpszClassName = kMainDlgClassName;
        AfxRegisterClass(&wc);
        afx_test::ResetAll();
        toolkit_test::ResetLinkCursorCache();
    }
    void TearDown() override {
        afx_test::ResetAll();
        toolkit_test::ResetLinkCursorCache();
    }
};

// Records which standard ending ran, so a test tells a real ending from the hook's fallback.
template <class Dialog> class Recording : public Dialog {
public:
    using Dialog::Dialog;
    void OnOK() override {
        m_ended = "OK";
        Dialog::OnOK();
    }
    void OnCancel() override {
        m_ended = "Cancel";
        Dialog::OnCancel();
    }
    std::string m_ended;
};

inline void PressKey(CDialog& dlg, Qt::Key key) {
    QWidget* target = dlg.GetSafeHwnd()->focusWidget() ? dlg.GetSafeHwnd()->focusWidget() : dlg.GetSafeHwnd();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

struct Ending {
    const char* name;
    std::function<void(CDialog&, UINT okId)> act;
    const char* handler;
    INT_PTR result;
};

inline const std::vector<Ending>& UserEndings() {
    static const std::vector<Ending> endings = {
        {"OK button", [](CDialog& d, UINT ok) { static_cast<CButton*>(d.GetDlgItem(ok))->Click(); }, "OK", IDOK},
        {"Enter", [](CDialog& d, UINT) { PressKey(d, Qt::Key_Return); }, "OK", IDOK},
        {"Escape", [](CDialog& d, UINT) { PressKey(d, Qt::Key_Escape); }, "Cancel", IDCANCEL},
        {"close box", [](CDialog& d, UINT) { d.GetSafeHwnd()->close(); }, "Cancel", IDCANCEL},
    };
    return endings;
}
