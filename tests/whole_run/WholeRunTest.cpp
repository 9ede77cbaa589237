// Whole runs of the program: start-up, the dialogs a user goes through, the entry commands and
// shutdown, one after another against the same program directory, with the account file checked
// after every run by a reader that shares no code with the program.
#include "ScratchDir.h"
#include "ManagerApp.h"
#include "ManagerDlg.h"
#include "resource.h"
#include "testhooks.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Row = std::array<std::string, 3>; // account ID, password, comment
using Rows = std::vector<Row>;

// Base64 decoding written for these checks alone; nullopt-like false on a malformed text.
bool DecodeBase64(const std::string& text, std::string& out) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.clear();
    if (text.size() % 4 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); i += 4) {
        unsigned value = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            const std::size_t digit = alphabet.find(c);
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                ++padding;
                value <<= 6;
            } else if (digit == std::string::npos || padding > 0) {
                return false;
            } else {
                value = (value << 6) | unsigned(digit);
            }
        }
        for (int k = 0; k < 3 - padding; ++k) {
            out += char((value >> (16 - 8 * k)) & 0xFF);
        }
    }
    return true;
}

// An account file as libxml2 reads it.
struct StoredBook {
    std::string rootName;
    std::string adminAccount;
    std::string adminPassword; // decoded
    std::string totalCount;
    std::vector<std::string> indexes;
    Rows rows; // decoded
    bool wellFormed = false;
};

std::string Text(xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "<missing>";
    xmlFree(value);
    return text;
}

std::vector<xmlNode*> Elements(xmlNode* parent) {
    std::vector<xmlNode*> children;
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            children.push_back(child);
        }
    }
    return children;
}

std::string Name(xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

StoredBook ReadStoredBook(const std::string& path) {
    StoredBook book;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET),
                                                       &xmlFreeDoc);
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root) {
        return book;
    }
    book.rootName = Name(root);
    const auto sections = Elements(root);
    if (sections.size() != 2 || Name(sections[0]) != "AdminInfo" || Name(sections[1]) != "Accounts") {
        return book;
    }
    const auto admin = Elements(sections[0]);
    if (admin.size() != 2 || !DecodeBase64(Text(admin[1]), book.adminPassword)) {
        return book;
    }
    book.adminAccount = Text(admin[0]);
    book.totalCount = Attribute(sections[1], "TotalCnt");
    for (xmlNode* item : Elements(sections[1])) {
        book.indexes.push_back(Attribute(item, "Index"));
        const auto fields = Elements(item);
        Row row;
        if (fields.size() != 3) {
            return book;
        }
        for (std::size_t i = 0; i < 3; ++i) {
            if (!DecodeBase64(Text(fields[i]), row[i])) {
                return book;
            }
        }
        book.rows.push_back(row);
    }
    book.wellFormed = Attribute(root, "App") == "Zelvo Password Manager";
    return book;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WholeRunTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = NewScratchDir("zelvo-run");
        ASSERT_FALSE(m_dir.empty());
        const fs::path built(ZELVO_BUILT_PROGRAM_DIR);
        ASSERT_TRUE(fs::exists(built / "FileLog.so")) << "the log component is built with the program";
        fs::copy_file(built / "FileLog.so", fs::path(m_dir) / "FileLog.so");
        if (fs::exists(built / "Config.xml")) {
            fs::copy_file(built / "Config.xml", fs::path(m_dir) / "Config.xml");
        }
        afx_test::SetModuleFileName(m_dir + "/Manager");
        afx_test::SetMessageBoxHook([this](const std::string& text, const std::string&, UINT) {
            m_systemBoxes.push_back(text);
            return IDOK;
        });
    }

    void TearDown() override {
        afx_test::ResetAll();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    // Runs the program once. The session acts on the visible main window; afterwards the program
    // is closed as the window's close box would. Returns the exit code.
    int RunProgram(const std::function<void(CManagerDlg&)>& session) {
        m_boxes.clear();
        afx_test::SetModalHook([this](CDialog& dialog) { AnswerDialog(dialog); });
        AfxResetSessionEnd();
        CManagerApp app;
        QTimer::singleShot(0, [&] {
            auto* main = dynamic_cast<CManagerDlg*>(app.m_pMainWnd);
            if (main && QTest::qWaitFor([main] { return main->IsWindowVisible() != FALSE; }, 5000)) {
                session(*main);
                main->SendMessage(WM_CLOSE);
            } else {
                ADD_FAILURE() << "the main window never showed";
                PostQuitMessage(1);
            }
        });
        const int exitCode = AfxRunApplication(app);
        afx_test::SetModalHook(nullptr);
        EXPECT_TRUE(m_scripts.empty()) << "a dialog the test expected never opened";
        m_scripts.clear();
        return exitCode;
    }

    // The next dialog other than a message box is answered by this script.
    void ExpectDialog(std::function<void(CDialog&)> script) { m_scripts.push_back(std::move(script)); }

    void CreateAdmin(CManagerDlg& main, const std::string& account, const std::string& password) {
        ExpectDialog([=](CDialog& dlg) {
            EXPECT_EQ(dlg.GetTemplateId(), IDD_CREATE_ADMIN);
            dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText(account);
            dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(password);
            dlg.GetDlgItem(IDC_EDIT_CONFIRM)->SetWindowText(password);
            Click(dlg, IDOK);
        });
        Click(main, IDC_BTN_CREATE_ADMIN);
    }

    // Logs in with each password in turn, in one dialog.
    void Login(CManagerDlg& main, const std::string& account, const std::vector<std::string>& passwords) {
        ExpectDialog([=](CDialog& dlg) {
            EXPECT_EQ(dlg.GetTemplateId(), IDD_LOGIN);
            dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText(account);
            for (const std::string& password : passwords) {
                dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(password);
                Click(dlg, IDOK);
            }
        });
        Click(main, IDC_BTN_LOGIN);
    }

    // Imports the file through the window menu, and lets every row the preview shows come in.
    void Import(CManagerDlg& main, const std::string& path) {
        afx_test::SetFileDialogHook([path](const CFileDialog&, std::string& chosen, int&) {
            chosen = path;
            return true;
        });
        ExpectDialog([](CDialog& dlg) {
            EXPECT_EQ(dlg.GetTemplateId(), IDD_IMPORT);
            Click(dlg, IDOK);
        });
        main.SendMessage(WM_SYSCOMMAND, IDM_IMPORT);
    }

    static void SetEntry(CManagerDlg& main, const Row& row) {
        main.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText(row[0]);
        main.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText(row[1]);
        main.GetDlgItem(IDC_EDIT_COMMENT)->SetWindowText(row[2]);
    }

    static void Insert(CManagerDlg& main, const Row& row) {
        SetEntry(main, row);
        Click(main, IDC_BTN_INSERT);
    }

    static void Choose(CManagerDlg& main, int row) {
        static_cast<CListCtrl*>(main.GetDlgItem(IDC_LIST_ACCOUNTS))
            ->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }

    static Rows ListRows(CManagerDlg& main) {
        auto* list = static_cast<CListCtrl*>(main.GetDlgItem(IDC_LIST_ACCOUNTS));
        Rows rows;
        for (int i = 0; i < list->GetItemCount(); ++i) {
            rows.push_back({list->GetItemText(i, 0), list->GetItemText(i, 1), list->GetItemText(i, 2)});
        }
        return rows;
    }

    static void Click(CWnd& window, UINT id) { static_cast<CButton*>(window.GetDlgItem(id))->Click(); }

    std::string BookPath(const std::string& account) const { return m_dir + "/" + account + ".xml"; }

    std::string m_dir;
    std::vector<std::string> m_boxes;       // texts of the program's own message boxes, in order
    std::vector<std::string> m_systemBoxes; // texts of system message boxes

private:
    void AnswerDialog(CDialog& dialog) {
        if (dialog.GetTemplateId() == IDD_MESSAGE_BOX) {
            m_boxes.push_back(dialog.GetDlgItem(IDC_STATIC_MSGBOX_TEXT)->GetWindowText());
            Click(dialog, IDC_BTN_MSGBOX_OK);
            return;
        }
        if (m_scripts.empty()) {
            ADD_FAILURE() << "unexpected dialog " << dialog.GetTemplateId();
            return;
        }
        auto script = std::move(m_scripts.front());
        m_scripts.pop_front();
        script(dialog);
    }

    std::deque<std::function<void(CDialog&)>> m_scripts;
};

const Rows kFirstRows = {
    {"mail", "m-pass", ""},
    {"bank", "b-pass", "savings"},
    {"J\xC3\xBCrgen", "\xE2\x82\xAC-pass", "caf\xC3\xA9"},
};

TEST_F(WholeRunTest, BookSurvivesCreationEditingAndLoginsAcrossRuns) {
    // First run: a new book with three entries.
    EXPECT_EQ(RunProgram([&](CManagerDlg& main) {
                  CreateAdmin(main, "alice", "pw1");
                  for (const Row& row : kFirstRows) {
                      Insert(main, row);
                  }
                  EXPECT_EQ(ListRows(main), kFirstRows);
              }),
              0);
    EXPECT_TRUE(m_boxes.empty());
    StoredBook stored = ReadStoredBook(BookPath("alice"));
    ASSERT_TRUE(stored.wellFormed);
    EXPECT_EQ(stored.rootName, "alice");
    EXPECT_EQ(stored.adminAccount, "alice");
    EXPECT_EQ(stored.adminPassword, "pw1");
    EXPECT_EQ(stored.totalCount, "3");
    EXPECT_EQ(stored.indexes, (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(stored.rows, kFirstRows);

    // Second run: log in, see the rows once and in order, update one and delete another.
    const Row updated = {"bank", "b-pass", "checking"};
    RunProgram([&](CManagerDlg& main) {
        Login(main, "alice", {"pw1"});
        EXPECT_EQ(ListRows(main), kFirstRows);
        Choose(main, 1);
        SetEntry(main, updated);
        Click(main, IDC_BTN_UPDATE);
        Choose(main, 0);
        Click(main, IDC_BTN_DELETE);
    });
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Login success."});
    const Rows afterEdit = {updated, kFirstRows[2]};
    stored = ReadStoredBook(BookPath("alice"));
    ASSERT_TRUE(stored.wellFormed);
    EXPECT_EQ(stored.totalCount, "2");
    EXPECT_EQ(stored.indexes, (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(stored.rows, afterEdit);

    // Third run: a wrong password, then the right one; leaving without a change writes nothing.
    const std::string bytesBefore = ReadBytes(BookPath("alice"));
    RunProgram([&](CManagerDlg& main) {
        Login(main, "alice", {"PW1", "pw1"});
        EXPECT_EQ(ListRows(main), afterEdit);
    });
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"Login Failed:Password error.", "Login success."}));
    EXPECT_EQ(ReadBytes(BookPath("alice")), bytesBefore);
    EXPECT_TRUE(m_systemBoxes.empty());
}

TEST_F(WholeRunTest, NewBookLeftAtOnceIsWrittenWithoutEntries) {
    RunProgram([&](CManagerDlg& main) { CreateAdmin(main, "bob", "secret"); });
    const StoredBook stored = ReadStoredBook(BookPath("bob"));
    ASSERT_TRUE(stored.wellFormed);
    EXPECT_EQ(stored.adminAccount, "bob");
    EXPECT_EQ(stored.adminPassword, "secret");
    EXPECT_EQ(stored.totalCount, "0");
    EXPECT_TRUE(stored.rows.empty());

    // The name is taken from now on; the book stays as written.
    const std::string bytesBefore = ReadBytes(BookPath("bob"));
    RunProgram([&](CManagerDlg& main) {
        ExpectDialog([](CDialog& dlg) {
            dlg.GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText("bob");
            dlg.GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("other");
            dlg.GetDlgItem(IDC_EDIT_CONFIRM)->SetWindowText("other");
            Click(dlg, IDOK);
        });
        Click(main, IDC_BTN_CREATE_ADMIN);
    });
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Error:The Account is existend."});
    EXPECT_EQ(ReadBytes(BookPath("bob")), bytesBefore);
}

TEST_F(WholeRunTest, CancelledDialogsWriteNoBook) {
    RunProgram([&](CManagerDlg& main) {
        ExpectDialog([](CDialog&) {}); // left open: ended with Cancel
        Click(main, IDC_BTN_CREATE_ADMIN);
        ExpectDialog([](CDialog&) {});
        Click(main, IDC_BTN_LOGIN);
        EXPECT_TRUE(main.GetDlgItem(IDC_BTN_LOGIN)->IsWindowEnabled());
        EXPECT_FALSE(main.GetDlgItem(IDC_EDIT_ACCOUNT)->IsWindowEnabled());
    });
    for (const auto& entry : fs::directory_iterator(m_dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Config.xml" || name == "FileLog.so" || name == "FileLog") << name;
    }
}

// Another program writes the book's file while a run has the book open: both versions are kept,
// and the user is told where this run's book went.
TEST_F(WholeRunTest, ABookWrittenElsewhereMeanwhileIsKeptBesideIt) {
    const std::string elsewhere = "<bob>written elsewhere</bob>";
    for (const bool created : {true, false}) {
        SCOPED_TRACE(created ? "created in this run" : "opened in this run");
        if (!created) {
            RunProgram([&](CManagerDlg& main) { CreateAdmin(main, "bob", "pw"); });
        }
        m_systemBoxes.clear();
        RunProgram([&](CManagerDlg& main) {
            created ? CreateAdmin(main, "bob", "pw") : Login(main, "bob", {"pw"});
            Insert(main, kFirstRows[0]);
            std::ofstream(BookPath("bob") + ".sync") << elsewhere;
            fs::rename(BookPath("bob") + ".sync", BookPath("bob"));
        });
        EXPECT_EQ(ReadBytes(BookPath("bob")), elsewhere);
        ASSERT_EQ(m_systemBoxes.size(), 1u);
        const std::size_t at = m_systemBoxes[0].find(BookPath("bob") + ".kept-");
        ASSERT_NE(at, std::string::npos) << m_systemBoxes[0];
        const std::string kept = m_systemBoxes[0].substr(at);
        EXPECT_EQ(ReadStoredBook(kept).rows, Rows{kFirstRows[0]});
        fs::remove(BookPath("bob"));
        fs::remove(kept);
    }
}

} // namespace

namespace {

// Five runs, each adding one entry: the four saves that replace the book keep what they replaced,
// and only the three newest of those stay, each a book of its time with the book's own mode.
TEST_F(WholeRunTest, EachSaveKeepsTheBookItReplacesAndTheThreeNewestStay) {
    const auto row = [](int i) { return Row{"site" + std::to_string(i), "pw", ""}; };
    RunProgram([&](CManagerDlg& main) {
        CreateAdmin(main, "bob", "pw");
        Insert(main, row(1));
    });
    fs::permissions(BookPath("bob"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (int run = 2; run <= 5; ++run)
        RunProgram([&](CManagerDlg& main) {
            Login(main, "bob", {"pw"});
            Insert(main, row(run));
        });
    std::vector<std::size_t> versionRows;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
        if (entry.path().filename().string().rfind("bob.xml.previous-", 0) != 0)
            continue;
        versionRows.push_back(ReadStoredBook(entry.path().string()).rows.size());
        EXPECT_EQ(fs::status(entry).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    std::sort(versionRows.begin(), versionRows.end());
    EXPECT_EQ(versionRows, (std::vector<std::size_t>{2, 3, 4}));
    EXPECT_EQ(ReadStoredBook(BookPath("bob")).rows.size(), 5u);
}

constexpr char kSharedFolderVariable[] = "ZELVO_TEST_KILLED_RUN_FOLDER";

// Runs killed in the middle of their session. Each runs in a fresh copy of the test binary (a
// forked one would inherit the toolkit's threads dead), in the folder of the test that started it.
class WholeRunKilled : public WholeRunTest {
protected:
    void SetUp() override {
        WholeRunTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        ::setenv(kSharedFolderVariable, m_dir.c_str(), 0);
        const std::string shared = std::getenv(kSharedFolderVariable);
        if (shared != m_dir) {
            fs::remove_all(m_dir); // the copy's own folder, never used
            m_dir = shared;
            afx_test::SetModuleFileName(m_dir + "/Manager");
        }
    }
    void TearDown() override {
        ::unsetenv(kSharedFolderVariable);
        GTEST_FLAG_SET(death_test_style, "fast");
        WholeRunTest::TearDown();
    }
};

// Edits of each kind in a mix, an import among them, then the process is killed: the next login
// brings the list back as it was, says so, and Exit saves it. For a book saved before, and for a new
// one never saved.
TEST_F(WholeRunKilled, TheEditsOfAKilledSessionComeBackAtTheNextLogin) {
    const Row changed = {"bank", "b-pass", "checking"};
    const Row added = {"shop", "s-pass", ""};
    const Rows imported = {{"ann", "a-pass", "Forum"}, {"ben", "b-pass", "Mail"}};
    const std::string importFile = m_dir + "/export.csv";
    std::ofstream(importFile) << "Title,Username,Password\nForum,ann,a-pass\nMail,ben,b-pass\n";
    for (const bool savedBefore : {true, false}) {
        SCOPED_TRACE(savedBefore ? "saved before" : "never saved");
        const std::string account = savedBefore ? "saved" : "unsaved";
        const auto session = [&] {
            if (savedBefore)
                RunProgram([&](CManagerDlg& main) {
                    CreateAdmin(main, account, "pw");
                    for (const Row& row : kFirstRows)
                        Insert(main, row);
                });
            RunProgram([&](CManagerDlg& main) {
                if (savedBefore) {
                    Login(main, account, {"pw"});
                } else {
                    CreateAdmin(main, account, "pw");
                    for (const Row& row : kFirstRows)
                        Insert(main, row);
                }
                Insert(main, added);
                Choose(main, 1);
                SetEntry(main, changed);
                Click(main, IDC_BTN_UPDATE);
                Choose(main, 0);
                Click(main, IDC_BTN_DELETE);
                Import(main, importFile);
                ::raise(SIGKILL);
            });
        };
        EXPECT_EXIT(session(), testing::KilledBySignal(SIGKILL), "");
        const Rows expected = {changed, kFirstRows[2], added, imported[0], imported[1]};
        m_boxes.clear();
        RunProgram([&](CManagerDlg& main) {
            Login(main, account, {"PW", "pw"});
            EXPECT_EQ(ListRows(main), expected);
        });
        const std::string recovered = savedBefore ? "4 changes" : "7 changes";
        EXPECT_EQ(m_boxes, (std::vector<std::string>{"Login Failed:Password error.", "Login success.",
                                                     "Unsaved session recovered:" + recovered + " restored."}));
        EXPECT_EQ(ReadStoredBook(BookPath(account)).rows, expected);
        EXPECT_FALSE(fs::exists(BookPath(account) + ".journal"));
    }
}

} // namespace
