#include "DlgImport.h"

#include "ImportPlan.h"
#include "MessageText.h"
#include "resource.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr int kWhereColumnWidth = 50;
constexpr int kTitleColumnWidth = 110;

std::string AddedLine(const ImportPlan& plan) {
    if (plan.entries.empty())
        return "No entry will be added.";
    return CountOf(plan.entries.size(), "entry", "entries") + " will be added after the last row.";
}

std::string AlreadyLine(const ImportPlan& plan) {
    if (plan.alreadyInList == 0)
        return "No row is in the list already.";
    return CountOf(plan.alreadyInList, "row is", "rows are") +
           " in the list already (or earlier in the file), and will be left out.";
}

// The reasons in the order the rows listed first give them, each once.
std::string RefusedLine(const ImportPlan& plan) {
    if (plan.refusedRows == 0)
        return "Every row has an account ID and a password of at most 128 bytes.";
    std::vector<RowProblem> problems;
    std::string why;
    for (const LeftOutRow& row : plan.leftOut) {
        if (row.kind != LeftOutKind::Refused ||
            std::find(problems.begin(), problems.end(), row.problem) != problems.end())
            continue;
        problems.push_back(row.problem);
        why += (why.empty() ? "" : "; ") + std::string(DescribeRowProblem(row.problem));
    }
    return CountOf(plan.refusedRows, "row cannot", "rows cannot") + " be imported, and will be left out" +
           (why.empty() ? "" : ": " + why) + ".";
}

std::string NotCarriedLine(const ImportPlan& plan) {
    if (plan.rowsWithDataNotCarried == 0)
        return "No row to add holds data the book has no place for.";
    std::string columns;
    for (const std::string& column : plan.columnsNotCarried)
        columns += (columns.empty() ? "" : ", ") + column;
    return CountOf(plan.rowsWithDataNotCarried, "row to add holds", "rows to add hold") +
           " data the book has no place for; what " + (plan.rowsWithDataNotCarried == 1 ? "it holds" : "they hold") +
           " in " + columns + " is not imported.";
}

std::string NearLine(const ImportPlan& plan) {
    if (plan.nearDuplicates.empty())
        return "No row has the account ID and password of another entry under another comment.";
    return CountOf(plan.nearDuplicates.size(), "row has", "rows have") +
           " the account ID and password of an entry in the list (or earlier in the file) under another comment; " +
           (plan.nearDuplicates.size() == 1 ? "it comes" : "they come") + " in unless left out.";
}

std::string CutLine(const ImportPlan& plan) {
    if (plan.commentsCut == 0)
        return "No comment is longer than 128 bytes.";
    return CountOf(plan.commentsCut, "comment is", "comments are") + " longer than 128 bytes, and will be cut.";
}

} // namespace

CDlgImport::CDlgImport(ImportPlan& plan, std::string fileName, CWnd* parent)
    : CDialog(IDD_IMPORT, parent), m_plan(plan), m_fileName(std::move(fileName)) {}

const MessageMap& CDlgImport::GetMessageMap() const {
    static const MessageMap map = {msgmap::OnBnClicked(IDC_BTN_SHOW_LEFT_OUT, &CDlgImport::OnBnClickedShowLeftOut)};
    return map;
}

void CDlgImport::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_LIST_LEFT_OUT, m_listLeftOut);
}

BOOL CDlgImport::OnInitDialog() {
    CDialog::OnInitDialog();
    const std::pair<UINT, std::string> lines[] = {
        {IDC_STATIC_IMPORT_FILE, m_fileName},
        {IDC_STATIC_IMPORT_SOURCE, m_plan.source},
        {IDC_STATIC_IMPORT_CONVERSION, m_plan.conversion},
        {IDC_STATIC_IMPORT_ADDED, AddedLine(m_plan)},
        {IDC_STATIC_IMPORT_ALREADY, AlreadyLine(m_plan)},
        {IDC_STATIC_IMPORT_REFUSED, RefusedLine(m_plan)},
        {IDC_STATIC_IMPORT_NOT_CARRIED, NotCarriedLine(m_plan)},
        {IDC_STATIC_IMPORT_CUT, CutLine(m_plan)},
        {IDC_STATIC_IMPORT_NEAR, NearLine(m_plan)},
    };
    for (const auto& [id, text] : lines)
        if (CWnd* label = GetDlgItem(id))
            label->SetWindowText(text);
    PrepareLeftOutList();
    if (CWnd* box = GetDlgItem(IDC_CHECK_LEAVE_OUT_NEAR))
        box->EnableWindow(!m_plan.nearDuplicates.empty());
    // With nothing to add, only Cancel is left to press.
    const bool adds = !m_plan.entries.empty();
    if (CWnd* ok = GetDlgItem(IDOK))
        ok->EnableWindow(adds);
    if (CWnd* button = GetDlgItem(adds ? IDOK : IDCANCEL))
        button->SetFocus();
    return FALSE;
}

void CDlgImport::PrepareLeftOutList() {
    if (CWnd* button = GetDlgItem(IDC_BTN_SHOW_LEFT_OUT))
        button->EnableWindow(m_plan.leftOutRows > 0);
    if (!m_listLeftOut.HasWindow())
        return;
    m_listLeftOut.SetExtendedStyle(m_listLeftOut.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    CRect outer;
    m_listLeftOut.GetWindowRect(&outer);
    m_listLeftOut.InsertColumn(0, m_plan.placeName, LVCFMT_LEFT, kWhereColumnWidth);
    m_listLeftOut.InsertColumn(1, "Title", LVCFMT_LEFT, kTitleColumnWidth);
    m_listLeftOut.InsertColumn(2, "Why", LVCFMT_LEFT,
                               std::max(outer.Width() - kWhereColumnWidth - kTitleColumnWidth - 4, 0));
}

void CDlgImport::OnBnClickedShowLeftOut() {
    m_listLeftOut.DeleteAllItems();
    m_listLeftOut.ReserveItems(int(m_plan.leftOut.size()) + 1);
    for (const LeftOutRow& leftOut : m_plan.leftOut) {
        const int row = m_listLeftOut.InsertItem(m_listLeftOut.GetItemCount(), std::to_string(leftOut.place));
        m_listLeftOut.SetItemText(row, 1, leftOut.title);
        m_listLeftOut.SetItemText(row, 2, DescribeLeftOut(leftOut));
    }
    if (m_plan.leftOutRows > m_plan.leftOut.size()) {
        const int row = m_listLeftOut.InsertItem(m_listLeftOut.GetItemCount(), "...");
        m_listLeftOut.SetItemText(
            row, 2, CountOf(m_plan.leftOutRows - m_plan.leftOut.size(), "more row", "more rows") + ", not listed");
    }
    if (CWnd* button = GetDlgItem(IDC_BTN_SHOW_LEFT_OUT))
        button->EnableWindow(FALSE);
    m_listLeftOut.SetFocus();
}

void CDlgImport::OnOK() {
    const auto* box = static_cast<CButton*>(GetDlgItem(IDC_CHECK_LEAVE_OUT_NEAR));
    if (box != nullptr && box->GetCheck() == BST_CHECKED)
        m_plan.LeaveOutNearDuplicates();
    CDialog::OnOK();
}
