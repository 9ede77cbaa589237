// Choosing rows and the Insert, Update and Delete commands on an open book.
#include "MainWindowFixture.h"

#include "AccountBook.h"
#include "resource.h"

#include <cctype>
#include <ostream>

namespace {
const std::string kDup = "The same item have been existent.";
const std::string kNoAccount = "Please input the account.";
const std::string kNoPassword = "Please input the password.";
const std::vector<Row> kBook = {{"abc", "pw", ""}, {"abc", "pw", "work"}, {"xyz", "789", "note"}};

struct Step {
    enum Kind { Type, Insert, Update, Delete, Choose, AlsoChoose, ClickEmpty, Focus, SendUpdate, SendDelete } kind;
    Row texts{};
    int arg = -1; // row to choose, or control to focus
};
// clang-format off
Step Type(Row r) { return {Step::Type, std::move(r)}; }
Step Choose(int row) { return {Step::Choose, {}, row}; }
Step AlsoChoose(int row) { return {Step::AlsoChoose, {}, row}; }
Step FocusComment() { return {Step::Focus, {}, int(IDC_EDIT_COMMENT)}; }
const Step kInsert{Step::Insert}, kUpdate{Step::Update}, kDelete{Step::Delete}, kClickEmpty{Step::ClickEmpty};

struct EntryCase {
    const char* name;
    std::vector<Row> book;
    std::vector<Step> steps;
    std::vector<Row> rows;             // the list afterwards
    std::vector<std::string> messages; // what was shown, in order
    UINT focus;                        // the focused control afterwards; 0 when it does not matter
    int chosen;                        // the chosen row afterwards
    Row edits;                         // the edit fields afterwards
    bool saved;                        // the book is written when the window is destroyed
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const EntryCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<EntryCase> kCases = {
    {"insert with an empty comment", {}, {Type({"abc", "pw", ""}), kInsert},
     {{"abc", "pw", ""}}, {}, 0, -1, {"abc", "pw", ""}, true},
    {"exact duplicate is refused", kBook, {FocusComment(), Type(kBook[1]), kInsert},
     kBook, {kDup}, IDC_EDIT_COMMENT, -1, kBook[1], false},
    {"letter case and comment make new rows", {kBook[0]},
     {Type({"ABC", "pw", ""}), kInsert, Type({"abc", "pW", ""}), kInsert, Type({"abc", "pw", " "}), kInsert},
     {kBook[0], {"ABC", "pw", ""}, {"abc", "pW", ""}, {"abc", "pw", " "}}, {}, 0, -1, {"abc", "pw", " "}, true},
    {"blank texts are not empty", {}, {Type({" ", " ", ""}), kInsert},
     {{" ", " ", ""}}, {}, 0, -1, {" ", " ", ""}, true},
    {"insert without account or password", kBook, {FocusComment(), Type({"", "", "c"}), kInsert},
     kBook, {kNoAccount}, IDC_EDIT_ACCOUNT, -1, {"", "", "c"}, false},
    {"insert without password", kBook, {Type({"abc", "", "c"}), kInsert},
     kBook, {kNoPassword}, IDC_EDIT_PASSWORD, -1, {"abc", "", "c"}, false},
    {"update without editing", kBook, {Choose(1), kUpdate},
     kBook, {kDup}, IDC_EDIT_PASSWORD, 1, kBook[1], false},
    {"update into a copy of another row", kBook, {Choose(0), Type(kBook[2]), kUpdate},
     kBook, {kDup}, IDC_EDIT_PASSWORD, 0, kBook[2], false},
    {"update without account or password", kBook, {Choose(0), Type({"", "", ""}), kUpdate},
     kBook, {kNoAccount}, IDC_EDIT_ACCOUNT, 0, {"", "", ""}, false},
    {"update replaces the chosen row", kBook, {Choose(1), Type({"abc", "pw", "home"}), kUpdate},
     {kBook[0], {"abc", "pw", "home"}, kBook[2]}, {}, 0, 1, {"abc", "pw", "home"}, true},
    {"update trades the old texts for the new", kBook,
     {Choose(1), Type({"abc", "pw", "home"}), kUpdate, kInsert, Type(kBook[1]), kInsert},
     {kBook[0], {"abc", "pw", "home"}, kBook[2], kBook[1]}, {kDup}, 0, 1, kBook[1], true},
    {"deleting the only row", {kBook[2]}, {Choose(0), kDelete},
     {}, {}, 0, -1, kBook[2], true},
    {"delete then insert puts the row last", kBook, {Choose(0), kDelete, kInsert},
     {kBook[1], kBook[2], kBook[0]}, {}, 0, -1, kBook[0], true},
    {"an empty area keeps the choice", kBook, {Choose(2), kClickEmpty, Type({"q", "r", "s"}), kUpdate},
     {kBook[0], kBook[1], {"q", "r", "s"}}, {}, 0, 2, {"q", "r", "s"}, true},
    {"delete removes only the row chosen last", kBook, {Choose(2), AlsoChoose(0), kDelete},
     {kBook[1], kBook[2]}, {}, 0, -1, kBook[0], true},
    {"nothing chosen: update and delete do nothing", kBook, {Type({"q", "r", "s"}), {Step::SendUpdate}, {Step::SendDelete}},
     kBook, {}, 0, -1, {"q", "r", "s"}, false},
};
// clang-format on
} // namespace

class EntryCommandsTest : public MainWindowTest, public ::testing::WithParamInterface<EntryCase> {
protected:
    void Run(const Step& step) {
        switch (step.kind) {
        case Step::Type:
            return TypeEntry(step.texts);
        case Step::Insert:
            return Click(IDC_BTN_INSERT);
        case Step::Update:
            return Click(IDC_BTN_UPDATE);
        case Step::Delete:
            return Click(IDC_BTN_DELETE);
        case Step::Choose:
            return ClickRow(step.arg);
        case Step::AlsoChoose:
            return ClickRow(step.arg, true);
        case Step::ClickEmpty:
            return ClickRow(-1);
        case Step::Focus:
            Item(UINT(step.arg))->SetFocus();
            return;
        case Step::SendUpdate:
            m_dlg->SendMessage(WM_COMMAND, IDC_BTN_UPDATE);
            return;
        case Step::SendDelete:
            m_dlg->SendMessage(WM_COMMAND, IDC_BTN_DELETE);
            return;
        }
    }
    Row Edits() const {
        return {Item(IDC_EDIT_ACCOUNT)->GetWindowText(), Item(IDC_EDIT_PASSWORD)->GetWindowText(),
                Item(IDC_EDIT_COMMENT)->GetWindowText()};
    }
};

TEST_P(EntryCommandsTest, ChangesRowsAndReportsAsExpected) {
    const EntryCase& c = GetParam();
    OpenWindow();
    LoginTo("book", c.book);
    const std::string original = FileText(BookPath("book"));
    for (const Step& step : c.steps)
        Run(step);
    EXPECT_EQ(ListRows(), c.rows);
    EXPECT_EQ(m_messages, c.messages);
    if (c.focus) {
        EXPECT_EQ(FocusId(), c.focus);
    }
    EXPECT_EQ(m_dlg->m_nSelItem, c.chosen);
    EXPECT_EQ(Item(IDC_BTN_UPDATE)->IsWindowEnabled() != FALSE, c.chosen != -1);
    EXPECT_EQ(Item(IDC_BTN_DELETE)->IsWindowEnabled() != FALSE, c.chosen != -1);
    EXPECT_EQ(Edits(), c.edits);
    EXPECT_EQ(FileText(BookPath("book")), original) << "written before the window was destroyed";
    DestroyWindow();
    if (c.saved) {
        EXPECT_EQ(ReadBookRows(BookPath("book")), c.rows);
    } else {
        EXPECT_EQ(FileText(BookPath("book")), original);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EntryCommandsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<EntryCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(MainWindowTest, OnlyARowBecomingSelectedAndFocusedIsChosen) {
    struct Case {
        UINT newState;
        bool chosen;
    };
    const Case cases[] = {{LVIS_SELECTED | LVIS_FOCUSED, true},
                          {LVIS_SELECTED, false},
                          {LVIS_FOCUSED, false},
                          {0, false},
                          {LVIS_SELECTED | LVIS_FOCUSED | 0x4, false}};
    OpenWindow();
    LoginTo("book", kBook);
    for (const Case& c : cases) {
        m_dlg->m_nSelItem = -1;
        NMLISTVIEW change;
        change.hdr = {IDC_LIST_ACCOUNTS, LVN_ITEMCHANGING};
        change.iItem = 2;
        change.uNewState = c.newState;
        change.uChanged = LVIF_STATE;
        EXPECT_EQ(m_dlg->SendMessage(WM_NOTIFY, IDC_LIST_ACCOUNTS, reinterpret_cast<LPARAM>(&change)), 0);
        EXPECT_EQ(m_dlg->m_nSelItem, c.chosen ? 2 : -1) << "state " << c.newState;
    }
    EXPECT_EQ(Item(IDC_EDIT_COMMENT)->GetWindowText(), "note");
}
