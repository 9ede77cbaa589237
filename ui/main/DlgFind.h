// The Find dialog: the text to look for in the entry list, Find Next and Cancel.
#pragma once

#include "afxwin.h"

#include <functional>
#include <string>

// Said when no row holds the text looked for.
inline constexpr const char* kMsgItemNotFound = "Cannot find the item.";

class CDlgFind : public CDialog {
public:
    // Looks for the text and chooses the row found; false when no row holds it.
    using FindNext = std::function<bool(const std::string& text)>;

    CDlgFind(FindNext findNext, CWnd* parent = nullptr);
    const MessageMap& GetMessageMap() const override;

    std::string m_strText; // the text to look for, at most 128 bytes

protected:
    void DoDataExchange(CDataExchange* dx) override;
    // Finds the next row holding the text and closes; when none does, says so and stays open.
    void OnBnClickedFindNext();

private:
    FindNext m_findNext;
};
