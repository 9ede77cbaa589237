#include "MainWindowFixture.h"

#include <cstdio>

#include "AccountBook.h"
#include "Globals.h"
#include "resource.h"
#include "testhooks.h"

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <ostream>

void PrintTo(const Row& row, std::ostream* out) {
    *out << '{' << row.account << ", " << row.password << ", " << row.comment << '}';
}

namespace {
std::string ToBase64(const std::string& bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64().toStdString();
}

std::string ChildText(xmlNode* item, const char* name) {
    for (xmlNode* child = item->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(child->name), name) == 0) {
            xmlChar* text = xmlNodeGetContent(child);
            const QByteArray decoded = QByteArray::fromBase64(reinterpret_cast<const char*>(text));
            xmlFree(text);
            return decoded.toStdString();
        }
    }
    return "<missing>";
}

bool ReadItems(xmlNode* accounts, std::vector<Row>& rows) {
    for (xmlNode* item = accounts->children; item; item = item->next) {
        if (item->type != XML_ELEMENT_NODE)
            continue;
        xmlChar* index = xmlGetProp(item, BAD_CAST "Index");
        const bool inOrder = index && std::to_string(rows.size()) == reinterpret_cast<const char*>(index);
        xmlFree(index);
        if (!inOrder)
            return false;
        rows.push_back({ChildText(item, "Account"), ChildText(item, "Password"), ChildText(item, "Comment")});
    }
    return true;
}
} // namespace

std::string BookXml(const std::string& admin, const std::string& password, const std::vector<Row>& rows) {
    std::string xml = "<" + admin + R"( Author="Zelvo Software" App="Zelvo Password Manager" Version="1.3.0.1">)" +
                      "<AdminInfo><Account>" + admin + "</Account><Password>" + ToBase64(password) +
                      "</Password></AdminInfo><Accounts TotalCnt=\"" + std::to_string(rows.size()) + "\">";
    for (std::size_t i = 0; i < rows.size(); ++i)
        xml += "<Item Index=\"" + std::to_string(i) + "\"><Account>" + ToBase64(rows[i].account) +
               "</Account><Password>" + ToBase64(rows[i].password) + "</Password><Comment>" +
               ToBase64(rows[i].comment) + "</Comment></Item>";
    return xml + "</Accounts></" + admin + ">";
}

std::optional<std::vector<Row>> ReadBookRows(const std::string& path) {
    xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    if (!doc)
        return std::nullopt;
    std::optional<std::vector<Row>> rows;
    for (xmlNode* child = xmlDocGetRootElement(doc)->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE &&
            std::strcmp(reinterpret_cast<const char*>(child->name), "Accounts") == 0) {
            rows.emplace();
            if (!ReadItems(child, *rows))
                rows.reset();
        }
    }
    xmlFreeDoc(doc);
    return rows;
}

void MainWindowTest::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    const std::string dir = m_dir.path().toStdString();
    afx_test::SetModuleFileName(dir + "/Manager");
    std::strncpy(g_szAppDir, dir.c_str(), MAX_PATH - 1);
    g_nCol0Width = 150;
    g_nCol1Width = 150;
    g_AccountBook.Clear();
    WNDCLASS wc;
    GetClassInfo(AfxGetInstanceHandle(), "#32770", &wc);
    wc.lpszClassName = kMainDlgClassName;
    AfxRegisterClass(&wc);

    afx_test::SetModalHook([this](CDialog& dlg) {
        m_templates.push_back(dlg.GetTemplateId());
        if (dlg.GetTemplateId() == IDD_MESSAGE_BOX) {
            m_messages.push_back(dlg.GetDlgItem(IDC_STATIC_MSGBOX_TEXT)->GetWindowText());
        } else if (!m_script.empty()) {
            auto answer = std::move(m_script.front());
            m_script.pop_front();
            answer(dlg);
        }
    });
    afx_test::SetMessageBoxHook([this](const std::string& text, const std::string&, UINT) {
        m_systemMessages.push_back(text);
        return IDOK;
    });
    afx_test::SetShellHook([this](const std::string&, const std::string& file) -> INT_PTR {
        m_shellFiles.push_back(file);
        return 42;
    });
}

void MainWindowTest::TearDown() {
    if (m_dlg)
        DestroyWindow();
    afx_test::ResetAll();
    afx_test::SetModalHook(nullptr);
    AfxResetSessionEnd();
    AfxPumpMessages();
    g_AccountBook.Clear();
    g_szAppDir[0] = '\0';
}

CManagerDlg& MainWindowTest::OpenWindow() {
    m_dlg = new CManagerDlg(nullptr);
    EXPECT_TRUE(m_dlg->Create(IDD_ZELVO_MANAGER_DIALOG, nullptr));
    AfxGetApp()->m_pMainWnd = m_dlg;
    EXPECT_FALSE(m_dlg->IsWindowVisible()) << "shown before its start-up timer";
    QElapsedTimer clock;
    clock.start();
    while (!m_dlg->IsWindowVisible() && clock.elapsed() < 5000)
        QTest::qWait(5);
    EXPECT_TRUE(m_dlg->IsWindowVisible());
    return *m_dlg;
}

void MainWindowTest::DestroyWindow() {
    m_dlg->DestroyWindow();
    m_dlg = nullptr;
}

void MainWindowTest::EndCase() {
    if (m_dlg)
        DestroyWindow();
    g_AccountBook.Clear();
    m_templates.clear();
    m_messages.clear();
    m_systemMessages.clear();
    m_script.clear();
}

bool MainWindowTest::QuitPosted(int timeoutMs) {
    bool timedOut = false;
    QObject scope; // the timer goes with this call, never firing into a later one
    QTimer::singleShot(timeoutMs, &scope, [&timedOut] {
        timedOut = true;
        PostQuitMessage(-1);
    });
    AfxRunMessageLoop();
    AfxPumpMessages(); // drains a quit request that was posted while no loop ran
    return !timedOut;
}

void MainWindowTest::WriteBook(const std::string& admin, const std::vector<Row>& rows) {
    // Written under another name and renamed into place, as a sync tool replaces a file.
    QFile file(QString::fromStdString(BookPath(admin) + ".new"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(BookXml(admin, "pw", rows)));
    file.close();
    ASSERT_EQ(std::rename((BookPath(admin) + ".new").c_str(), BookPath(admin).c_str()), 0);
}

void MainWindowTest::Login(const std::string& admin) {
    m_script.push_back([admin](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText(admin);
        dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("pw");
        static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
    });
    Click(IDC_BTN_LOGIN);
}

void MainWindowTest::LoginTo(const std::string& admin, const std::vector<Row>& rows) {
    WriteBook(admin, rows);
    Login(admin);
    ASSERT_EQ(m_messages, std::vector<std::string>{"Login success."});
    m_messages.clear();
    m_templates.clear();
}

void MainWindowTest::CreateAdmin(const std::string& admin) {
    m_script.push_back([admin](CDialog& dlg) {
        dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText(admin);
        dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("pw");
        dlg.GetDlgItem(IDC_EDIT_CONFIRM)->SetWindowText("pw");
        static_cast<CButton*>(dlg.GetDlgItem(IDOK))->Click();
    });
    Click(IDC_BTN_CREATE_ADMIN);
    ASSERT_TRUE(Item(IDC_EDIT_ACCOUNT)->IsWindowEnabled()) << "no book was created";
    m_templates.clear();
}

void MainWindowTest::Click(UINT id) const {
    static_cast<CButton*>(Item(id))->Click();
}

void MainWindowTest::TypeEntry(const Row& row) const {
    SetText(IDC_EDIT_ACCOUNT, row.account);
    SetText(IDC_EDIT_PASSWORD, row.password);
    SetText(IDC_EDIT_COMMENT, row.comment);
}

QTableView* MainWindowTest::ListView() const {
    return qobject_cast<QTableView*>(Item(IDC_LIST_ACCOUNTS)->GetSafeHwnd());
}

std::vector<Row> MainWindowTest::ListRows() const {
    auto* list = static_cast<CListCtrl*>(Item(IDC_LIST_ACCOUNTS));
    std::vector<Row> rows;
    for (int i = 0; i < list->GetItemCount(); ++i)
        rows.push_back({list->GetItemText(i, 0), list->GetItemText(i, 1), list->GetItemText(i, 2)});
    return rows;
}

void MainWindowTest::ClickRow(int row, bool ctrl) const {
    QTableView* view = ListView();
    const QPoint at =
        row >= 0 ? view->visualRect(view->model()->index(row, 0)).center() : QPoint(10, view->viewport()->height() - 5);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, ctrl ? Qt::ControlModifier : Qt::NoModifier, at);
}

UINT MainWindowTest::FocusId() const {
    CWnd* focus = CWnd::GetFocus();
    return focus ? focus->GetDlgCtrlID() : 0;
}

std::string MainWindowTest::FileText(const std::string& path) const {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}
