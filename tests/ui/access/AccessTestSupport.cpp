#include "AccessTestSupport.h"

#include "ScratchDir.h"
#include "AccountBook.h"
#include "Globals.h"
#include "ManagerDlg.h"
#include "resource.h"
#include "testhooks.h"

#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace access_test {

namespace {

// An application object that does nothing of its own: the tests give it its main window.
class TestApp : public CWinApp {};

QString ToQt(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string FromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

HRESULT RecordingFileLog::Write(const char* line) {
    m_events.push_back(std::string("log:") + line);
    return S_OK;
}

std::string Base64(const std::string& bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned value = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            value = (value << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            out += k <= n ? alphabet[(value >> (18 - 6 * k)) & 0x3F] : '=';
        }
    }
    return out;
}

namespace {
std::string Repeat(const std::string& unit, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}
} // namespace

const std::vector<LimitCase> kLimitCases = {
    {Repeat("a", 128), Repeat("Z", 128), "x"},
    // 64 two-byte characters; 42 three-byte characters and two letters.
    {Repeat("\xC3\xA9", 64), Repeat("\xE2\x82\xAC", 42) + "ab", "\xC3\xA9"},
};

BookFixture::BookFixture(std::string admin, std::string password, Entries entries, std::string app,
                         std::string storedAccount)
    : admin(std::move(admin)), password(std::move(password)), entries(std::move(entries)), app(std::move(app)),
      storedAccount(std::move(storedAccount)) {}

std::string BookXml(const BookFixture& book) {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" << book.admin
        << " Author=\"Zelvo Software\" Website=\"https://example.org\" App=\"" << book.app
        << "\" Version=\"1.3.0.1\"><AdminInfo><Account>"
        << (book.storedAccount.empty() ? book.admin : book.storedAccount) << "</Account><Password>"
        << Base64(book.password) << "</Password></AdminInfo><Accounts TotalCnt=\"" << book.entries.size() << "\">";
    for (std::size_t i = 0; i < book.entries.size(); ++i) {
        const auto& e = book.entries[i];
        xml << "<Item Index=\"" << i << "\"><Account>" << Base64(e[0]) << "</Account><Password>" << Base64(e[1])
            << "</Password><Comment>" << Base64(e[2]) << "</Comment></Item>";
    }
    xml << "</Accounts></" << book.admin << ">\n";
    return xml.str();
}

void AccessDialogTest::SetUpTestSuite() {
    WNDCLASS wc;
    GetClassInfo(AfxGetInstanceHandle(), "#32770", &wc);
    wc.lpszClassName = kMainDlgClassName;
    AfxRegisterClass(&wc);
}

void AccessDialogTest::SetUp() {
    m_dir = NewScratchDir("zelvo-access");
    ASSERT_FALSE(m_dir.empty());
    ASSERT_LT(m_dir.size(), sizeof g_szAppDir);
    std::strcpy(g_szAppDir, m_dir.c_str());
    afx_test::SetModuleFileName(m_dir + "/Manager");
    g_AccountBook.Clear();
    g_pFileLog = &m_log;
    m_app = std::make_unique<TestApp>();
    m_pMainDlg = new CManagerDlg;
    ASSERT_TRUE(m_pMainDlg->Create(IDD_ZELVO_MANAGER_DIALOG));
    m_app->m_pMainWnd = m_pMainDlg;
}

void AccessDialogTest::TearDown() {
    afx_test::SetModalHook(nullptr);
    if (m_app && m_app->m_pMainWnd) {
        m_app->m_pMainWnd->DestroyWindow(); // the main dialog deletes itself
    }
    m_app.reset();
    g_pFileLog = nullptr;
    g_AccountBook.Clear();
    g_szAppDir[0] = '\0';
    afx_test::ResetAll();
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

void AccessDialogTest::WriteProgramFile(const std::string& name, const std::string& content) const {
    std::ofstream out(m_dir + "/" + name, std::ios::binary);
    out << content;
    ASSERT_TRUE(out.good()) << name;
}

std::string AccessDialogTest::ReadProgramFile(const std::string& name) const {
    std::ifstream in(m_dir + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> AccessDialogTest::ProgramFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

INT_PTR AccessDialogTest::Run(CDialog& dialog, const std::function<void(CDialog&)>& script) {
    m_pDialogUnderTest = &dialog;
    afx_test::SetModalHook([this, &script](CDialog& shown) {
        if (shown.GetTemplateId() == IDD_MESSAGE_BOX) {
            const bool owned = m_pDialogUnderTest && shown.GetParent() == m_pDialogUnderTest;
            m_events.push_back((owned ? "box:" : "foreign box:") +
                               shown.GetDlgItem(IDC_STATIC_MSGBOX_TEXT)->GetWindowText());
            static_cast<CButton*>(shown.GetDlgItem(IDC_BTN_MSGBOX_OK))->Click();
            return;
        }
        if (&shown == m_pDialogUnderTest) {
            script(shown);
        }
    });
    const INT_PTR result = dialog.DoModal();
    afx_test::SetModalHook(nullptr);
    m_pDialogUnderTest = nullptr;
    return result;
}

Outcome AccessDialogTest::Submit(CDialog& dialog, const FieldTexts& fields) {
    for (const auto& [id, text] : fields) {
        dialog.GetDlgItem(id)->SetWindowText(text);
    }
    auto* ok = static_cast<CButton*>(dialog.GetDlgItem(IDOK));
    ok->SetFocus();
    m_events.clear();
    ok->Click();
    Outcome outcome;
    outcome.events = m_events;
    CWnd* focus = CWnd::GetFocus();
    outcome.focusId = focus ? focus->GetDlgCtrlID() : 0;
    return outcome;
}

void AccessDialogTest::Type(CDialog& dialog, UINT id, const std::string& text) {
    auto* edit = qobject_cast<QLineEdit*>(dialog.GetDlgItem(id)->GetSafeHwnd());
    ASSERT_NE(edit, nullptr);
    edit->clear();
    // One key press per character, carrying the character's text, as a keyboard layout would send it.
    const QString characters = ToQt(text);
    for (qsizetype i = 0; i < characters.size();) {
        const qsizetype width = characters.at(i).isHighSurrogate() ? 2 : 1;
        const QString character = characters.mid(i, width);
        QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_unknown, character, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_unknown, character, Qt::NoModifier);
        i += width;
    }
    ASSERT_LE(FromQt(edit->text()).size(), text.size());
}

void AccessDialogTest::WithoutMainWindow(bool dropApplication, const std::function<void()>& action) {
    m_app->m_pMainWnd = nullptr;
    if (dropApplication) {
        m_app.reset();
    }
    action();
    if (!m_app) {
        m_app = std::make_unique<TestApp>();
    }
    m_app->m_pMainWnd = m_pMainDlg;
}

} // namespace access_test
