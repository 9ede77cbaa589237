// The list control of the main window's template: columns, rows, item data, byte-exact cells, and
// the item-changing notifications that user clicks raise and program changes do not.
#include "PlatformFixture.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableView>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Change {
    int item;
    UINT newState;
    UINT oldState;
    friend bool operator==(const Change&, const Change&) = default;
};

std::ostream& operator<<(std::ostream& out, const Change& c) {
    return out << "{row " << c.item << " new " << c.newState << " old " << c.oldState << "}";
}

class ListDlg : public CDialog {
public:
    ListDlg() : CDialog(IDD_ZELVO_MANAGER_DIALOG) {}
    const MessageMap& GetMessageMap() const override {
        static const MessageMap map = {
            msgmap::OnNotify(LVN_ITEMCHANGING, IDC_LIST_ACCOUNTS, &ListDlg::OnItemChanging),
            msgmap::OnNotify(NM_DBLCLK, IDC_LIST_ACCOUNTS, &ListDlg::OnDoubleClick),
        };
        return map;
    }
    CListCtrl m_list;
    std::vector<Change> changes;
    // Each double click: its row, and how many changes had been reported before it.
    std::vector<std::pair<int, std::size_t>> doubleClicks;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_LIST_ACCOUNTS, m_list);
    }

private:
    void OnItemChanging(NMHDR* hdr, LRESULT* result) {
        const auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
        EXPECT_EQ(nm->uChanged, LVIF_STATE);
        changes.push_back({nm->iItem, nm->uNewState, nm->uOldState});
        *result = 0;
    }
    void OnDoubleClick(NMHDR* hdr, LRESULT*) {
        doubleClicks.emplace_back(reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem, changes.size());
    }
};

constexpr UINT kChosen = LVIS_SELECTED | LVIS_FOCUSED;

class ListCtrlTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ASSERT_TRUE(m_dlg.Create(IDD_ZELVO_MANAGER_DIALOG));
        m_view = qobject_cast<QTableView*>(m_dlg.m_list.GetSafeHwnd());
        ASSERT_NE(m_view, nullptr);
        m_dlg.m_list.SetExtendedStyle(m_dlg.m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        m_dlg.m_list.InsertColumn(0, "ID(Account)", LVCFMT_LEFT, 150);
        m_dlg.m_list.InsertColumn(1, "Password", LVCFMT_LEFT, 150);
        m_dlg.m_list.InsertColumn(2, "Comment", LVCFMT_LEFT, 100);
    }
    void AddRows(int count) {
        for (int i = 0; i < count; ++i) {
            const int row = m_dlg.m_list.InsertItem(m_dlg.m_list.GetItemCount(), "account" + std::to_string(i));
            m_dlg.m_list.SetItemText(row, 1, "password" + std::to_string(i));
            m_dlg.m_list.SetItemText(row, 2, "comment" + std::to_string(i));
            m_dlg.m_list.SetItemData(row, UINT_PTR(100 + i));
        }
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect rect = m_view->visualRect(m_view->model()->index(row, 1));
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
    std::vector<UINT> States() const {
        std::vector<UINT> states;
        for (int i = 0; i < m_dlg.m_list.GetItemCount(); ++i)
            states.push_back(m_dlg.m_list.GetItemState(i, kChosen));
        return states;
    }

    ListDlg m_dlg;
    QTableView* m_view = nullptr;
};

TEST_F(ListCtrlTest, ColumnsHeadingsAndWidths) {
    EXPECT_EQ(m_dlg.m_list.GetExtendedStyle(), LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    EXPECT_EQ(m_view->model()->columnCount(), 3);
    EXPECT_EQ(m_view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Password"));
    EXPECT_EQ(m_dlg.m_list.GetColumnWidth(0), 150);
    EXPECT_EQ(m_dlg.m_list.GetColumnWidth(2), 100);
    EXPECT_TRUE(m_dlg.m_list.SetColumnWidth(1, 77));
    EXPECT_EQ(m_dlg.m_list.GetColumnWidth(1), 77);
    // Wider than the header can show: clamped to its largest width, not left at the old one.
    EXPECT_TRUE(m_dlg.m_list.SetColumnWidth(1, 2147483647));
    EXPECT_EQ(m_dlg.m_list.GetColumnWidth(1), 1048575);
    EXPECT_FALSE(m_dlg.m_list.SetColumnWidth(3, 10));
    EXPECT_EQ(m_dlg.m_list.GetColumnWidth(3), 0);
    // A column inserted in front moves the others right.
    EXPECT_EQ(m_dlg.m_list.InsertColumn(0, "First", LVCFMT_LEFT, 20), 0);
    EXPECT_EQ(m_view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("ID(Account)"));
    EXPECT_EQ(m_dlg.m_list.GetColumnWidth(1), 150);
}

TEST_F(ListCtrlTest, RowsItemDataAndDeletion) {
    AddRows(4);
    EXPECT_EQ(m_dlg.m_list.GetItemCount(), 4);
    EXPECT_EQ(m_dlg.m_list.GetItemText(2, 0), "account2");
    EXPECT_EQ(m_dlg.m_list.GetItemText(2, 2), "comment2");
    EXPECT_EQ(m_dlg.m_list.GetItemData(3), UINT_PTR(103));
    // Inserting in the middle shifts the rest down.
    EXPECT_EQ(m_dlg.m_list.InsertItem(1, "middle"), 1);
    EXPECT_EQ(m_dlg.m_list.GetItemText(1, 0), "middle");
    EXPECT_EQ(m_dlg.m_list.GetItemText(1, 1), "");
    EXPECT_EQ(m_dlg.m_list.GetItemData(1), UINT_PTR(0));
    EXPECT_EQ(m_dlg.m_list.GetItemText(2, 0), "account1");
    EXPECT_EQ(m_dlg.m_list.GetItemData(2), UINT_PTR(101));
    // Out of range.
    EXPECT_FALSE(m_dlg.m_list.SetItemText(9, 0, "x"));
    EXPECT_FALSE(m_dlg.m_list.SetItemText(0, 3, "x"));
    EXPECT_EQ(m_dlg.m_list.GetItemText(9, 0), "");
    EXPECT_FALSE(m_dlg.m_list.SetItemData(-1, 5));
    EXPECT_EQ(m_dlg.m_list.InsertItem(-1, "x"), -1);
    EXPECT_EQ(m_dlg.m_list.InsertItem(99, "appended"), 5);
    EXPECT_EQ(m_dlg.m_list.GetItemText(5, 0), "appended");
    // Deletion.
    EXPECT_TRUE(m_dlg.m_list.DeleteItem(0));
    EXPECT_EQ(m_dlg.m_list.GetItemText(0, 0), "middle");
    EXPECT_FALSE(m_dlg.m_list.DeleteItem(5));
    EXPECT_EQ(m_dlg.m_list.GetItemCount(), 5);
    EXPECT_TRUE(m_dlg.m_list.DeleteAllItems());
    EXPECT_EQ(m_dlg.m_list.GetItemCount(), 0);
    EXPECT_EQ(m_dlg.m_list.GetItemText(0, 0), "");
    m_dlg.m_list.ReserveItems(1000);
    AddRows(2);
    EXPECT_EQ(m_dlg.m_list.GetItemText(1, 1), "password1");
}

TEST_F(ListCtrlTest, TextCopiedIntoABufferIsCutToFitAndEnded) {
    AddRows(2);
    struct Case {
        int row, column, length;
        std::string expected;
    };
    const Case cases[] = {
        {1, 1, 32, "password1"}, {1, 1, 10, "password1"}, {1, 1, 9, "password"},
        {1, 1, 1, ""},           {5, 0, 32, ""},          {0, 4, 32, ""},
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        const int copied = m_dlg.m_list.GetItemText(c.row, c.column, buffer, c.length);
        EXPECT_EQ(std::string(buffer, std::size_t(copied)), c.expected) << c.row << "," << c.column << "," << c.length;
        EXPECT_EQ(buffer[copied], '\0');
    }
}

TEST_F(ListCtrlTest, CellsKeepArbitraryBytes) {
    struct Case {
        std::string bytes;
        QString shown;
    };
    const Case cases[] = {
        {"plain", QStringLiteral("plain")},
        {"caf\xC3\xA9", QString::fromUtf8("caf\xC3\xA9")},
        {"caf\xE9", QString::fromUtf8("caf\xC3\xA9")}, // Windows-1252 e acute
        {"\x80 \x93quoted\x94", QString::fromUtf8("\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D")},
        {"\xC0\xAF", QString::fromUtf8("\xC3\x80\xC2\xAF")},                 // overlong stays bytes
        {"\xED\xA0\x80", QString::fromUtf8("\xC3\xAD\xC2\xA0\xE2\x82\xAC")}, // surrogate stays bytes
        {std::string("a\0b", 3), QString::fromUtf8("a\0b", 3)},
        {"", QString()},
    };
    int row = 0;
    for (const Case& c : cases) {
        m_dlg.m_list.InsertItem(row, c.bytes);
        m_dlg.m_list.SetItemText(row, 2, c.bytes);
        EXPECT_EQ(m_dlg.m_list.GetItemText(row, 0), c.bytes);
        EXPECT_EQ(m_dlg.m_list.GetItemText(row, 2), c.bytes);
        EXPECT_EQ(m_view->model()->index(row, 2).data().toString(), c.shown) << row;
        ++row;
    }
}

TEST_F(ListCtrlTest, ClicksRaiseOneNotificationPerChangedRow) {
    AddRows(5);
    ShowAndExpose(m_dlg);
    ASSERT_TRUE(m_dlg.changes.empty());

    ClickRow(1);
    EXPECT_EQ(m_dlg.changes, (std::vector<Change>{{1, kChosen, 0}}));
    EXPECT_EQ(States(), (std::vector<UINT>{0, kChosen, 0, 0, 0}));

    m_dlg.changes.clear();
    ClickRow(3, Qt::ControlModifier);
    EXPECT_EQ(m_dlg.changes, (std::vector<Change>{{1, LVIS_SELECTED, kChosen}, {3, kChosen, 0}}));
    EXPECT_EQ(States(), (std::vector<UINT>{0, LVIS_SELECTED, 0, kChosen, 0}));

    // A plain click on another row chooses it alone.
    m_dlg.changes.clear();
    ClickRow(0);
    EXPECT_EQ(std::count(m_dlg.changes.begin(), m_dlg.changes.end(), Change{0, kChosen, 0}), 1);
    for (const Change& c : m_dlg.changes) {
        if (c.item != 0) {
            EXPECT_NE(c.newState, kChosen) << c;
        }
    }
    EXPECT_EQ(States(), (std::vector<UINT>{kChosen, 0, 0, 0, 0}));

    // Clicking the chosen row again changes nothing.
    m_dlg.changes.clear();
    ClickRow(0);
    EXPECT_TRUE(m_dlg.changes.empty());

    // An empty area below the rows chooses nothing.
    m_dlg.changes.clear();
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, QPoint(10, m_view->viewport()->height() - 3));
    for (const Change& c : m_dlg.changes)
        EXPECT_NE(c.newState, kChosen) << c;
    EXPECT_EQ(m_dlg.m_list.GetItemState(0, LVIS_SELECTED), 0u);
}

// A double click reports its row after the choice its first click made; below the rows, row -1.
TEST_F(ListCtrlTest, DoubleClicksReportTheirRowAfterTheChoice) {
    AddRows(4);
    ShowAndExpose(m_dlg);
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {},
                       m_view->visualRect(m_view->model()->index(2, 1)).center());
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, QPoint(10, m_view->viewport()->height() - 3));
    ASSERT_FALSE(m_dlg.changes.empty());
    EXPECT_EQ(m_dlg.changes.front(), (Change{2, kChosen, 0}));
    using Click = std::pair<int, std::size_t>;
    EXPECT_EQ(m_dlg.doubleClicks, (std::vector<Click>{{2, 1}, {-1, m_dlg.changes.size()}}));
}

TEST_F(ListCtrlTest, ProgramChangesToRowsRaiseNoNotification) {
    AddRows(4);
    ShowAndExpose(m_dlg);
    ClickRow(2);
    m_dlg.changes.clear();

    m_dlg.m_list.InsertItem(0, "new first");
    EXPECT_EQ(States(), (std::vector<UINT>{0, 0, 0, kChosen, 0}));
    m_dlg.m_list.InsertItem(m_dlg.m_list.GetItemCount(), "new last");
    m_dlg.m_list.DeleteItem(1);
    EXPECT_EQ(States(), (std::vector<UINT>{0, 0, kChosen, 0, 0}));
    m_dlg.m_list.DeleteItem(2); // the chosen row itself
    EXPECT_EQ(m_dlg.m_list.GetItemText(2, 0), "account3");
    m_dlg.m_list.DeleteAllItems();
    EXPECT_TRUE(m_dlg.changes.empty());

    // A row inserted where a chosen one was is not chosen, and choosing it again is reported.
    AddRows(3);
    ClickRow(2);
    EXPECT_EQ(m_dlg.changes, (std::vector<Change>{{2, kChosen, 0}}));
}

TEST_F(ListCtrlTest, SetItemStateIsReportedLikeAUserChange) {
    AddRows(3);
    EXPECT_TRUE(m_dlg.m_list.SetItemState(1, kChosen, kChosen));
    EXPECT_EQ(m_dlg.changes, (std::vector<Change>{{1, kChosen, 0}}));
    EXPECT_EQ(States(), (std::vector<UINT>{0, kChosen, 0}));
    m_dlg.changes.clear();
    EXPECT_TRUE(m_dlg.m_list.SetItemState(1, 0, LVIS_SELECTED));
    EXPECT_EQ(m_dlg.changes, (std::vector<Change>{{1, LVIS_FOCUSED, kChosen}}));
    EXPECT_FALSE(m_dlg.m_list.SetItemState(3, kChosen, kChosen));
    EXPECT_EQ(m_dlg.m_list.GetItemState(7, kChosen), 0u);
}

TEST_F(ListCtrlTest, TabLeavesTheListEvenWithRows) {
    AddRows(3);
    ShowAndExpose(m_dlg);
    m_dlg.GetSafeHwnd()->activateWindow();
    QTRY_VERIFY(m_dlg.GetSafeHwnd()->isActiveWindow());
    ClickRow(1);
    ASSERT_EQ(QApplication::focusWidget(), m_view);
    QTest::keyClick(m_view, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Widget(m_dlg, IDC_BTN_LOGIN));
}

TEST_F(ListCtrlTest, ListFoundThroughGetDlgItemIsTheAttachedMember) {
    EXPECT_EQ(m_dlg.GetDlgItem(IDC_LIST_ACCOUNTS), &m_dlg.m_list);
    CDialog plain;
    ASSERT_TRUE(plain.Create(IDD_ZELVO_MANAGER_DIALOG));
    auto* list = dynamic_cast<CListCtrl*>(plain.GetDlgItem(IDC_LIST_ACCOUNTS));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->InsertColumn(0, "Only"), 0);
    EXPECT_EQ(list->InsertItem(0, "row"), 0);
    EXPECT_EQ(list->GetItemText(0, 0), "row");
    CRect rect;
    list->GetWindowRect(&rect);
    EXPECT_EQ(rect.Width(), list->GetSafeHwnd()->width());
}

} // namespace
