// Import, the merge of another book, and Export, driven through the window menu, the file dialog
// hook and the dialogs' controls.
#include "MainWindowFixture.h"

#include "AccountFile.h"
#include "SealedBook.h"
#include "resource.h"
#include "testhooks.h"

#include <unistd.h>

#include <QFile>
#include <QTableView>
#include <QTest>

#include <fstream>
#include <map>

namespace {

const std::string kData = ZELVO_TEST_DATA;
constexpr char kNoNear[] = "No row has the account ID and password of another entry under another comment.";

// The preview's lines, by control id, as the user read them.
using PreviewLines = std::map<UINT, std::string>;

class ImportExportTest : public MainWindowTest {
public:
    // Answers the next file dialog with the path and file kind, and counts the dialogs asked.
    void ChooseFile(const std::string& path, int kind = 1) {
        afx_test::SetFileDialogHook([this, path, kind](const CFileDialog&, std::string& chosen, int& chosenKind) {
            ++m_fileDialogs;
            chosen = path;
            chosenKind = kind;
            return true;
        });
    }
    // Reads the preview and, when it has any, the rows left out (as "place title: why;"); ticks the
    // box that leaves near duplicates out when asked and it can; then presses the button.
    void AnswerPreview(UINT button, bool leaveOutNear = false) {
        m_script.push_back([this, button, leaveOutNear](CDialog& dlg) {
            ASSERT_EQ(dlg.GetTemplateId(), IDD_IMPORT);
            for (const UINT id : {IDC_STATIC_IMPORT_SOURCE, IDC_STATIC_IMPORT_CONVERSION, IDC_STATIC_IMPORT_ADDED,
                                  IDC_STATIC_IMPORT_ALREADY, IDC_STATIC_IMPORT_REFUSED, IDC_STATIC_IMPORT_NOT_CARRIED,
                                  IDC_STATIC_IMPORT_NEAR})
                if (const std::string text = dlg.GetDlgItem(id)->GetWindowText(); !text.empty())
                    m_preview[id] = text;
            if (dlg.GetDlgItem(IDC_BTN_SHOW_LEFT_OUT)->IsWindowEnabled()) {
                static_cast<CButton*>(dlg.GetDlgItem(IDC_BTN_SHOW_LEFT_OUT))->Click();
                auto* list = static_cast<CListCtrl*>(dlg.GetDlgItem(IDC_LIST_LEFT_OUT));
                std::string& leftOut = m_preview[IDC_LIST_LEFT_OUT];
                for (int row = 0; row < list->GetItemCount(); ++row)
                    leftOut += list->GetItemText(row, 0) + " " + list->GetItemText(row, 1) + ": " +
                               list->GetItemText(row, 2) + ";";
            }
            auto* nearBox = static_cast<CButton*>(dlg.GetDlgItem(IDC_CHECK_LEAVE_OUT_NEAR));
            if (leaveOutNear && nearBox->IsWindowEnabled())
                nearBox->Click();
            static_cast<CButton*>(dlg.GetDlgItem(button))->Click();
        });
    }
    // Types a password into the next dialog's field (and an account, when given), then presses OK.
    void AnswerPassword(UINT dialog, const std::string& password, const std::string& account = {}) {
        m_script.push_back([dialog, password, account](CDialog& dlg) {
            ASSERT_EQ(dlg.GetTemplateId(), dialog);
            if (!account.empty())
                dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText(account);
            dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(password);
            static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
        });
    }
    // The commands' keys, pressed in the list (the window menu runs them in the whole-run tests).
    void Import() {
        m_preview.clear();
        QTest::keyClick(ListView(), Qt::Key_I, Qt::ControlModifier);
    }
    void Export() { QTest::keyClick(ListView(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier); }
    std::string WriteFile(const std::string& name, const std::string& bytes) const {
        const std::string path = m_dir.path().toStdString() + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    int m_fileDialogs = 0;
    PreviewLines m_preview;
};

// Hand-written exports of two programs, each into a list that holds some of their rows or none, and
// another book, which comes in only with its administrator's name and password; a file is taken for
// a book by its name or by its text. Cancel, a file refused whole (told as a sentence) or a wrong
// administrator changes nothing, and journals nothing.
TEST_F(ImportExportTest, AnImportAddsAfterTheLastRowWhatThePreviewSaidOrNothing) {
    struct Case {
        const char* label;
        std::string file;
        std::vector<Row> book;
        std::vector<Row> added;
        PreviewLines preview; // empty: none is shown
        std::vector<std::string> messages;
        std::string refusal = {}; // how the system message box goes on after "Import Failed:"
        std::pair<const char*, const char*> otherAdministrator = {}; // typed with the password for a book
        UINT button = IDOK;                                          // pressed in the preview
    };
    const std::string csv = kData + "/import/";
    const std::string large = WriteFile("large.csv", "username,password\n");
    ASSERT_EQ(::truncate(large.c_str(), 65 << 20), 0); // sparse: nothing of it is written
    const std::string noPassword = WriteFile("nopassword.csv", "username,url\nann,https://a.example\n");
    const Row bob = {"bob", "hunter2", "https://www.example.com"};
    const Row a = {"a", "1", ""};
    const Row b = {"b", "2", "from other"};
    const std::string otherBook = WriteFile("saved-elsewhere.bak", BookXml("other", "pw2", {a, b}));
    const std::string notABook = WriteFile("notes.xml", "<notes/>");
    // The same book, encrypted: it merges once its password opens it.
    const std::string sealedBook = WriteFile("sealed-elsewhere.xml", "");
    {
        sealed_book_test::UseCost({1, 8192});
        AccountBook other;
        ASSERT_TRUE(LoadAccountBook(other, otherBook, CBase64()));
        const std::unique_ptr<BookKey> key = BookKey::DeriveNew("pw2");
        ASSERT_TRUE(SaveAccountBook(other, sealedBook, CBase64(), nullptr, nullptr, key.get()));
        sealed_book_test::UseCost({});
    }
    const std::string notXml = WriteFile("list.xml", "username,password\nann,1\n");
    const std::vector<Row> keepassxcRows = {{"dave", "forum-pass", "Forum"},
                                            {"dave@mail.example", "m@il", "Mail"},
                                            {"dave2", "no-title", "https://notitle.example"}};
    const PreviewLines keepassxc = {
        {IDC_STATIC_IMPORT_SOURCE, "KeePassXC"},
        {IDC_STATIC_IMPORT_ADDED, "3 entries will be added after the last row."},
        {IDC_STATIC_IMPORT_ALREADY, "No row is in the list already."},
        {IDC_STATIC_IMPORT_REFUSED, "Every row has an account ID and a password of at most 128 bytes."},
        {IDC_STATIC_IMPORT_NOT_CARRIED, "2 rows to add hold data the book has no place for; what they hold in Group, "
                                        "URL, Notes, TOTP is not imported."},
        {IDC_STATIC_IMPORT_NEAR, kNoNear},
        {IDC_LIST_LEFT_OUT, "3 Mail: comes in; its notes are not imported;"}};
    const PreviewLines merged = {
        {IDC_STATIC_IMPORT_SOURCE, "account book"},
        {IDC_STATIC_IMPORT_ADDED, "1 entry will be added after the last row."},
        {IDC_STATIC_IMPORT_ALREADY, "1 row is in the list already (or earlier in the file), and will be left out."},
        {IDC_STATIC_IMPORT_REFUSED, "Every row has an account ID and a password of at most 128 bytes."},
        {IDC_STATIC_IMPORT_NOT_CARRIED, "No row to add holds data the book has no place for."},
        {IDC_STATIC_IMPORT_NEAR, kNoNear},
        {IDC_LIST_LEFT_OUT, "1 : already in the list;"}};
    const Case cases[] = {
        {"firefox",
         csv + "firefox.csv",
         {bob},
         {{"bob@example.org", "p\"q", "https://accounts.example.org"}},
         {{IDC_STATIC_IMPORT_SOURCE, "Firefox"},
          {IDC_STATIC_IMPORT_ADDED, "1 entry will be added after the last row."},
          {IDC_STATIC_IMPORT_ALREADY, "1 row is in the list already (or earlier in the file), and will be left out."},
          {IDC_STATIC_IMPORT_REFUSED, "1 row cannot be imported, and will be left out: no account ID."},
          {IDC_STATIC_IMPORT_NOT_CARRIED, "No row to add holds data the book has no place for."},
          {IDC_STATIC_IMPORT_NEAR, kNoNear},
          {IDC_LIST_LEFT_OUT,
           "2 https://www.example.com: already in the list;4 https://nouser.example: no account ID;"}},
         {"Import success:1 entry added."}},
        {"keepassxc", csv + "keepassxc.csv", {}, keepassxcRows, keepassxc, {"Import success:3 entries added."}},
        {"keepassxc, Cancel", csv + "keepassxc.csv", {bob}, {}, keepassxc, {}, {}, {}, IDCANCEL},
        {"no password column", noPassword, {bob}, {}, {}, {}, "The file's first line names no password column;"},
        {"too large", large, {bob}, {}, {}, {}, "Cannot read " + large + ": larger than"},
        {"another book", otherBook, {a}, {b}, merged, {"Import success:1 entry added."}, {}, {"other", "pw2"}},
        {"wrong password", otherBook, {a}, {}, {}, {"Import Failed:Password error."}, {}, {"other", "PW2"}},
        {"an encrypted book", sealedBook, {a}, {b}, merged, {"Import success:1 entry added."}, {}, {"other", "pw2"}},
        {"an encrypted book, wrong password",
         sealedBook,
         {a},
         {},
         {},
         {"Import Failed:Password error."},
         {},
         {"other", "PW2"}},
        {"wrong administrator", otherBook, {a}, {}, {}, {"Import Failed:Password error."}, {}, {"Other", "pw2"}},
        {"not a book", notABook, {a}, {}, {}, {"Import Failed:The file is not an account book."}, {}, {"other", "pw2"}},
        {"not XML", notXml, {a}, {}, {}, {"Import Failed:The file is not an account book."}, {}, {"other", "pw2"}},
    };
    const std::string journal = BookPath("book") + ".journal";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OpenWindow();
        LoginTo("book", c.book);
        const std::string original = FileText(BookPath("book"));
        ChooseFile(c.file);
        if (const auto [administrator, password] = c.otherAdministrator; administrator)
            AnswerPassword(IDD_IMPORT_BOOK, password, administrator);
        AnswerPreview(c.button);
        Import();
        std::vector<Row> expected = c.book;
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(ListRows(), expected);
        EXPECT_EQ(m_preview, c.preview);
        EXPECT_EQ(m_messages, c.messages);
        EXPECT_EQ(m_systemMessages.size(), c.refusal.empty() ? 0u : 1u);
        for (const std::string& text : m_systemMessages) {
            EXPECT_TRUE(text.starts_with("Import Failed:" + c.refusal) && text.ends_with('.')) << text;
        }
        EXPECT_EQ(QFile::exists(QString::fromStdString(journal)), !c.added.empty()) << "journaled";
        DestroyWindow();
        EXPECT_EQ(ReadBookRows(BookPath("book")), expected) << "saved at Exit";
        if (c.added.empty()) {
            EXPECT_EQ(FileText(BookPath("book")), original) << "written without a change";
        }
        EndCase();
    }
}

// A file with one unreadable row in the middle brings in the others and lists that row; rows that
// share an account ID and password with an entry come in unless the box is ticked, and only they
// stay out when it is.
TEST_F(ImportExportTest, ABadRowStaysOutAloneAndNearDuplicatesComeInUnlessLeftOut) {
    const std::string data = kData + "/import/";
    const Row github = {"octo", "gh-pass", "github.com"};
    const Row sam = {"sam", "pw-1", "https://one.example"};
    const Row sam3 = {"sam3", "pw-3", "https://three.example"};
    const Row keepassGithub = {"octo", "gh-pass", "GitHub"};
    const Row router = {"admin", "<p&w> \"q\"", "https://router.example"};
    const Row mail = {"octo@mail.example", "m@il", "Mail"};
    const std::string nearLine = "1 row has the account ID and password of an entry in the list (or earlier in the "
                                 "file) under another comment; it comes in unless left out.";
    const struct {
        const char* file;
        bool leaveOutNear;
        std::vector<Row> added;
        PreviewLines preview;
    } cases[] = {
        {"firefox-stray-quote.csv",
         false,
         {sam, sam3},
         {{IDC_STATIC_IMPORT_SOURCE, "Firefox"},
          {IDC_STATIC_IMPORT_ADDED, "2 entries will be added after the last row."},
          {IDC_STATIC_IMPORT_ALREADY, "No row is in the list already."},
          {IDC_STATIC_IMPORT_REFUSED, "1 row cannot be imported, and will be left out: cannot be read."},
          {IDC_STATIC_IMPORT_NOT_CARRIED, "No row to add holds data the book has no place for."},
          {IDC_STATIC_IMPORT_NEAR, kNoNear},
          {IDC_LIST_LEFT_OUT, "3 : cannot be read: text follows the closing quote of a field (a quote inside a "
                              "quoted field must be doubled);"}}},
        {"keepass2.xml", false, {keepassGithub, router, mail}, {}},
        {"keepass2.xml", true, {router, mail}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.leaveOutNear ? ", near duplicates left out" : ""));
        OpenWindow();
        LoginTo("book", {github});
        ChooseFile(data + c.file);
        AnswerPreview(IDOK, c.leaveOutNear);
        Import();
        std::vector<Row> expected = {github};
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(ListRows(), expected);
        if (!c.preview.empty()) {
            EXPECT_EQ(m_preview, c.preview);
        } else {
            EXPECT_EQ(m_preview[IDC_STATIC_IMPORT_NEAR], nearLine);
        }
        DestroyWindow();
        EndCase();
    }
}

// Each layout, written from one book and imported into a new one, gives the same list.
TEST_F(ImportExportTest, AnExportImportedIntoANewBookGivesTheSameList) {
    const std::vector<Row> rows = {{"ann", "p,w\"1 ", "https://a.example/"},
                                   {"bob", "pw2", ""},
                                   {"J\xC3\xBCrgen", "\xE2\x82\xAC-pass", "caf\xC3\xA9, \"home\""}};
    // The file kind chosen in the dialog decides the layout: KeePassXC's, then the browsers'.
    const std::pair<int, const char*> kinds[] = {{1, "\"Group\",\"Title\","}, {2, "\"name\",\"url\","}};
    for (const auto& [kind, header] : kinds) {
        SCOPED_TRACE(kind);
        const std::string file = m_dir.path().toStdString() + "/export" + std::to_string(kind) + ".csv";
        OpenWindow();
        LoginTo("book", rows);
        AnswerPassword(IDD_EXPORT, "pw");
        ChooseFile(file, kind);
        Export();
        EXPECT_EQ(m_messages, std::vector<std::string>{"Export success:3 entries written to export" +
                                                       std::to_string(kind) + ".csv."});
        EXPECT_TRUE(FileText(file).starts_with(header));
        DestroyWindow();
        OpenWindow();
        CreateAdmin("copy" + std::to_string(kind));
        ChooseFile(file);
        AnswerPreview(IDOK);
        Import();
        EXPECT_EQ(ListRows(), rows);
        EndCase();
    }
}

TEST_F(ImportExportTest, ExportWritesNothingWithoutTheAdministratorPassword) {
    OpenWindow();
    LoginTo("book", {{"a", "1", ""}});
    AnswerPassword(IDD_EXPORT, "PW");
    ChooseFile(m_dir.path().toStdString() + "/out.csv");
    Export();
    EXPECT_EQ(m_messages, std::vector<std::string>{"Export Failed:Password error."});
    EXPECT_EQ(m_fileDialogs, 0);
    EXPECT_FALSE(QFile::exists(m_dir.path() + "/out.csv"));
}

} // namespace
