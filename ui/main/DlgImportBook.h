// The administrator of another account book, asked as Login asks, before that book's entries are
// merged into the open one.
#pragma once

#include "DlgLogin.h"

#include <string>

struct AccountBook;

// Said when the name or password given is not the other book's administrator's.
inline constexpr const char* kMsgImportPasswordError = "Import Failed:Password error.";
// Said when the file to merge does not read as an account book.
inline constexpr const char* kMsgImportNotABook = "Import Failed:The file is not an account book.";

class CDlgImportBook : public CDlgLogin {
public:
    // Reads the book at path into book once its administrator is given; book starts empty.
    CDlgImportBook(std::string path, AccountBook& book, CWnd* parent = nullptr);
    // Routes the OK command to OnBnClickedMerge.
    const MessageMap& GetMessageMap() const override;

protected:
    // Names the book to merge.
    BOOL OnInitDialog() override;
    // Checks the input, reads the book and ends the dialog only when name and password match its
    // administrator, as a login does. A file that is no account book ends it too, once told.
    void OnBnClickedMerge();

private:
    std::string m_path;
    AccountBook& m_book;
};
