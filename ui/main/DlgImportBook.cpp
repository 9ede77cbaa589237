#include "DlgImportBook.h"

#include "AccessMessages.h"
#include "AccountBook.h"
#include "AccountFile.h"
#include "Base64.h"
#include "SealedBook.h"
#include "MessageBox.h"
#include "resource.h"

#include <filesystem>
#include <utility>

CDlgImportBook::CDlgImportBook(std::string path, AccountBook& book, CWnd* parent)
    : CDlgLogin(IDD_IMPORT_BOOK, parent), m_path(std::move(path)), m_book(book) {}

const MessageMap& CDlgImportBook::GetMessageMap() const {
    static const MessageMap map = {msgmap::OnBnClicked(IDOK, &CDlgImportBook::OnBnClickedMerge)};
    return map;
}

BOOL CDlgImportBook::OnInitDialog() {
    CDlgLogin::OnInitDialog();
    if (CWnd* label = GetDlgItem(IDC_STATIC_IMPORT_FILE))
        label->SetWindowText("Merging " + std::filesystem::path(m_path).filename().string() +
                             ": give that book's administrator account and password.");
    return TRUE;
}

void CDlgImportBook::OnBnClickedMerge() {
    if (!AccountAndPasswordTyped())
        return;
    // Another person's secrets stay in memory only once the password matched. Any XML document
    // reads, but only a book names its administrator. An encrypted book opens with its password.
    std::unique_ptr<BookKey> key;
    const BookRead read = ReadAccountBook(m_book, m_path, CBase64(), m_strPassword, key);
    if (read == BookRead::NotABook || (read == BookRead::Read && FieldText(m_book.szAdminAccount).empty())) {
        m_book.Clear();
        ShowMessage(kMsgImportNotABook, this);
        EndDialog(IDCANCEL);
        return;
    }
    if (read != BookRead::Read && read != BookRead::WrongPassword) {
        ShowMessage(read == BookRead::Damaged     ? kMsgLoginDamaged
                    : read == BookRead::TooCostly ? kMsgLoginTooCostly
                    : read == BookRead::NoMemory  ? kMsgLoginNoMemory
                                                  : kMsgLoginNewerFormat,
                    this);
        EndDialog(IDCANCEL);
        return;
    }
    if (read == BookRead::WrongPassword || m_strAccount != FieldText(m_book.szAdminAccount) ||
        m_strPassword != FieldText(m_book.szAdminPassword)) {
        m_book.Clear();
        ShowMessageAndFocus(*this, kMsgImportPasswordError, IDC_EDIT_PASSWORD);
        return;
    }
    CDialog::OnOK();
}
