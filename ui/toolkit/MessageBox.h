// The program's own modal message dialog: one line of centred text and an OK button.
#pragma once

#include "afxwin.h"

#include <string>

class CMessageBox : public CDialog {
public:
    // Builds the box on its template for the owner that raises the message; keeps a copy of the text.
    CMessageBox(const std::string& text, CWnd* owner);
    // Routes the OK button and the paint message.
    const MessageMap& GetMessageMap() const override;

    // The message shown.
    std::string m_strText;
    // The message line of the template.
    CStatic m_stcText;

protected:
    // Binds the message line.
    void DoDataExchange(CDataExchange* dx) override;
    // Plays the question sound and shows the text.
    BOOL OnInitDialog() override;
    // Begins and ends painting; the framework draws the background and the controls.
    void OnPaint();
};

// Shows a message in the program's own box, owned by the window that raises it, and returns
// once the user has closed it.
void ShowMessage(const std::string& text, CWnd* owner);
