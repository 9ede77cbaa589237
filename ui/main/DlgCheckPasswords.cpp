#include "DlgCheckPasswords.h"

#include "HealthReport.h"
#include "StrengthText.h"
#include "resource.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <system_error>

namespace {

// How often the dialog looks at the worker's progress.
constexpr UINT_PTR kProgressTimerId = 1;
constexpr UINT kProgressTimerMs = 50;

// The list's columns and their share of its width, in hundredths.
struct Column {
    const char* heading;
    int share;
};
constexpr Column kColumns[] = {{"ID(Account)", 21}, {"Comment", 16}, {"Problem", 45}, {"Strength", 18}};
// The column that takes the room the window gains: the problem, with the entries sharing a password.
constexpr int kProblemColumn = 2;

constexpr const char* kMsgNothingFound = "No weak or reused passwords found.";
constexpr const char* kMsgCheckFailed = "The check could not be completed: the computer ran short of memory.";

// 100000 as "100,000".
std::string Grouped(std::size_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

// How many of the entries sharing a password a line names; the count says how many there are.
constexpr std::size_t kSharersNamed = 3;

// An entry as a person finds it in the list: "bob (Mail)", or "bob" without a comment.
void AppendEntryName(std::string& text, const AccountEntry& entry) {
    text += FieldText(entry.szAccount);
    if (const std::string_view comment = FieldText(entry.szComment); !comment.empty()) {
        text += " (";
        text += comment;
        text += ')';
    }
}

// "Used by 3 entries, with bob (Mail) and carol": the others the line names, and how many more.
void AppendShared(std::string& text, const EntryHealth& entry, const HealthReportLine& line,
                  const AccountEntries& rows) {
    const std::size_t named = line.sharedWith.size();
    const std::size_t more = entry.usedBy > named + 1 ? entry.usedBy - 1 - named : 0;
    text += "Used by ";
    text += Grouped(entry.usedBy);
    text += " entries, with ";
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0)
            text += i + 1 == named && more == 0 ? " and " : ", ";
        AppendEntryName(text, rows[line.sharedWith[i]]);
    }
    if (more > 0) {
        text += " and ";
        text += Grouped(more);
        text += " more";
    }
}

// What is wrong with an entry's password, most serious first.
std::string ProblemText(const EntryHealth& entry, const HealthReportLine& line, const AccountEntries& rows) {
    std::string text;
    const auto separate = [&text] { text += text.empty() ? "" : "; "; };
    if (entry.sameAsAdmin)
        text += "Same as the administrator password";
    if (entry.Weak()) {
        separate();
        text += "Weak password";
    }
    if (entry.Reused()) {
        separate();
        AppendShared(text, entry, line, rows);
    }
    return text;
}

// How each control follows the window's size: the list takes the room, the lines widen, the
// buttons keep to their corner.
struct Anchor {
    UINT id;
    bool growX, growY, moveX, moveY;
};
constexpr Anchor kAnchors[] = {
    {IDC_STATIC_ADMIN_STRENGTH, true, false, false, false},
    {IDC_BTN_CHANGE_ADMIN, false, false, true, false},
    {IDC_STATIC_NOT_ENCRYPTED, true, false, false, false},
    {IDC_STATIC_CHECK_STATUS, true, false, false, false},
    {IDC_LIST_PASSWORD_PROBLEMS, true, true, false, false},
    {IDC_BTN_REPLACE_PASSWORD, false, false, true, true},
    {IDOK, false, false, true, true},
    {IDCANCEL, false, false, true, true},
};

} // namespace

CDlgCheckPasswords::CDlgCheckPasswords(CWnd* parent) : CDialog(IDD_CHECK_PASSWORDS, parent) {}

CDlgCheckPasswords::~CDlgCheckPasswords() {
    StopCheck();
}

const MessageMap& CDlgCheckPasswords::GetMessageMap() const {
    using C = CDlgCheckPasswords;
    static const MessageMap map = {
        msgmap::OnTimer(&C::OnTimer),
        msgmap::OnNotify(NM_DBLCLK, IDC_LIST_PASSWORD_PROBLEMS, &C::OnDblClkList),
        msgmap::OnSize(&C::OnSize),
        msgmap::OnBnClicked(IDC_BTN_REPLACE_PASSWORD, &C::OnBnClickedReplacePassword),
        msgmap::OnBnClicked(IDC_BTN_CHANGE_ADMIN, &C::OnBnClickedChangeAdmin),
    };
    return map;
}

BOOL CDlgCheckPasswords::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list.SubclassDlgItem(IDC_LIST_PASSWORD_PROBLEMS, this);
    InitList();
    NoteLayout();
    if (CWnd* offer = GetDlgItem(IDC_BTN_CHANGE_ADMIN))
        offer->ShowWindow(SW_HIDE);
    if (CWnd* notEncrypted = GetDlgItem(IDC_STATIC_NOT_ENCRYPTED))
        notEncrypted->ShowWindow(m_bookEncrypted ? SW_HIDE : SW_SHOW);
    for (const UINT id : {UINT(IDOK), IDC_BTN_REPLACE_PASSWORD})
        if (CWnd* button = GetDlgItem(id))
            button->EnableWindow(FALSE);
    StartCheck();
    ShowProgress();
    SetTimer(kProgressTimerId, kProgressTimerMs);
    return TRUE;
}

void CDlgCheckPasswords::InitList() {
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    CRect client;
    m_list.GetClientRect(&client);
    for (int column = 0; const Column& heading : kColumns) {
        m_list.InsertColumn(column, heading.heading, LVCFMT_LEFT, client.Width() * heading.share / 100);
        ++column;
    }
}

// The worker reads only m_book and writes only m_health, m_failed and the atomics; the window is
// the dialog's alone.
void CDlgCheckPasswords::StartCheck() {
    try {
        m_worker = std::thread([this] {
            HealthCheckControl control;
            control.progress = [this](std::size_t done, std::size_t) { m_done.store(done); };
            control.cancel = &m_cancel;
            try {
                CheckBookPasswords(m_book, m_health, control);
            } catch (...) {
                m_failed = true;
            }
            m_finished.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        m_failed = true;
        m_finished.store(true, std::memory_order_release);
    }
}

void CDlgCheckPasswords::StopCheck() {
    m_cancel.store(true);
    if (m_worker.joinable())
        m_worker.join();
}

void CDlgCheckPasswords::OnTimer(UINT_PTR id) {
    if (id != kProgressTimerId)
        return;
    if (!m_finished.load(std::memory_order_acquire)) {
        ShowProgress();
        return;
    }
    KillTimer(kProgressTimerId);
    StopCheck();
    ShowReport();
}

void CDlgCheckPasswords::ShowProgress() {
    if (CWnd* status = GetDlgItem(IDC_STATIC_CHECK_STATUS))
        status->SetWindowText("Checking passwords: " + Grouped(m_done.load()) + " of " +
                              Grouped(m_book.vecEntries.size()) + " entries...");
}

void CDlgCheckPasswords::ShowReport() {
    if (CWnd* cancel = GetDlgItem(IDCANCEL))
        cancel->SetWindowText("&Close");
    CWnd* status = GetDlgItem(IDC_STATIC_CHECK_STATUS);
    if (m_failed) {
        if (status)
            status->SetWindowText(kMsgCheckFailed);
        return;
    }
    if (CWnd* admin = GetDlgItem(IDC_STATIC_ADMIN_STRENGTH))
        admin->SetWindowText("Administrator password: " + StrengthText(m_health.admin));
    const std::vector<HealthReportLine> report = OrderHealthReport(m_health, kSharersNamed);
    const bool adminAtRisk =
        IsWeak(m_health.admin.band) || std::any_of(m_health.entries.begin(), m_health.entries.end(),
                                                   [](const EntryHealth& entry) { return entry.sameAsAdmin; });
    if (CWnd* offer = GetDlgItem(IDC_BTN_CHANGE_ADMIN))
        offer->ShowWindow(adminAtRisk && m_changeAdminPassword ? SW_SHOW : SW_HIDE);
    m_list.ReserveItems(int(report.size()));
    for (const HealthReportLine& line : report)
        AddLine(line);
    if (status)
        status->SetWindowText(m_lineRows.empty() ? std::string(kMsgNothingFound)
                                                 : "Weak or reused passwords: " + Grouped(m_lineRows.size()) + " of " +
                                                       Grouped(m_health.entries.size()) + " entries.");
    if (m_lineRows.empty())
        return;
    // Ready for the keyboard: the arrows choose a line, Enter goes to its entry.
    EnableReportButtons();
    const int chosen = std::min(m_nLineAfterCheck, int(m_lineRows.size()) - 1);
    m_list.SetItemState(chosen, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    if (chosen > 0) // after a check run again: the line that took the place of the one just fixed
        m_list.EnsureVisible(chosen, FALSE);
    m_list.SetFocus();
}

void CDlgCheckPasswords::EnableReportButtons() {
    if (CWnd* goTo = GetDlgItem(IDOK))
        goTo->EnableWindow(TRUE);
    if (CWnd* replace = GetDlgItem(IDC_BTN_REPLACE_PASSWORD))
        replace->EnableWindow(m_replacePassword ? TRUE : FALSE);
}

void CDlgCheckPasswords::AddLine(const HealthReportLine& line) {
    const EntryHealth& entry = m_health.entries[line.row];
    const AccountEntry& row = m_book.vecEntries[line.row];
    const int item = m_list.InsertItem(m_list.GetItemCount(), std::string(FieldText(row.szAccount)));
    m_list.SetItemText(item, 1, std::string(FieldText(row.szComment)));
    m_list.SetItemText(item, 2, ProblemText(entry, line, m_book.vecEntries));
    m_list.SetItemText(item, 3, StrengthText(entry.rating));
    m_lineRows.push_back(line.row);
}

int CDlgCheckPasswords::ChosenLine() const {
    for (int line = 0; line < int(m_lineRows.size()); ++line)
        if (m_list.GetItemState(line, LVIS_FOCUSED | LVIS_SELECTED) == (LVIS_FOCUSED | LVIS_SELECTED))
            return line;
    return -1;
}

void CDlgCheckPasswords::OnBnClickedReplacePassword() {
    const int line = ChosenLine();
    if (line < 0 || !m_replacePassword)
        return;
    if (m_replacePassword(m_lineRows[std::size_t(line)]))
        RestartCheck(line);
    else
        m_list.SetFocus();
}

void CDlgCheckPasswords::OnBnClickedChangeAdmin() {
    if (m_changeAdminPassword && m_changeAdminPassword())
        RestartCheck(std::max(ChosenLine(), 0));
}

void CDlgCheckPasswords::RestartCheck(int keepLine) {
    StopCheck();
    m_list.DeleteAllItems();
    m_lineRows.clear();
    m_health = {};
    m_failed = false;
    m_cancel.store(false);
    m_done.store(0);
    m_finished.store(false);
    m_nLineAfterCheck = keepLine;
    for (const UINT id : {UINT(IDOK), IDC_BTN_REPLACE_PASSWORD})
        if (CWnd* button = GetDlgItem(id))
            button->EnableWindow(FALSE);
    if (CWnd* cancel = GetDlgItem(IDCANCEL))
        cancel->SetWindowText("&Cancel");
    StartCheck();
    ShowProgress();
    SetTimer(kProgressTimerId, kProgressTimerMs);
}

void CDlgCheckPasswords::NoteLayout() {
    GetClientRect(&m_initialClient);
    m_nProblemWidth = m_list.GetColumnWidth(kProblemColumn);
    for (const Anchor& anchor : kAnchors) {
        const CWnd* control = GetDlgItem(anchor.id);
        if (!control)
            continue;
        CRect rect;
        control->GetWindowRect(&rect);
        CPoint topLeft{rect.left, rect.top};
        ScreenToClient(&topLeft);
        m_layout.push_back({anchor.id,
                            {topLeft.x, topLeft.y, topLeft.x + rect.Width(), topLeft.y + rect.Height()},
                            anchor.growX,
                            anchor.growY,
                            anchor.moveX,
                            anchor.moveY});
    }
}

void CDlgCheckPasswords::OnSize(UINT, int cx, int cy) {
    if (m_layout.empty() || cx <= 0 || cy <= 0)
        return;
    const int dx = std::max(cx - m_initialClient.Width(), 0);
    const int dy = std::max(cy - m_initialClient.Height(), 0);
    for (const Placement& placed : m_layout) {
        CRect rect = placed.rect;
        if (placed.moveX)
            rect = {rect.left + dx, rect.top, rect.right + dx, rect.bottom};
        if (placed.moveY)
            rect = {rect.left, rect.top + dy, rect.right, rect.bottom + dy};
        if (placed.growX)
            rect.right += dx;
        if (placed.growY)
            rect.bottom += dy;
        if (CWnd* control = GetDlgItem(placed.id))
            control->MoveWindow(rect);
    }
    m_list.SetColumnWidth(kProblemColumn, m_nProblemWidth + dx);
}

void CDlgCheckPasswords::OnOK() {
    if (const int line = ChosenLine(); line >= 0)
        ChooseLine(line);
}

void CDlgCheckPasswords::OnDblClkList(NMHDR* hdr, LRESULT* result) {
    const auto* activated = reinterpret_cast<const NMITEMACTIVATE*>(hdr);
    if (activated && activated->iItem >= 0 && activated->iItem < int(m_lineRows.size()))
        ChooseLine(activated->iItem);
    if (result)
        *result = 0;
}

void CDlgCheckPasswords::ChooseLine(int line) {
    m_nChosenRow = int(m_lineRows[std::size_t(line)]);
    EndDialog(IDOK);
}

void CDlgCheckPasswords::OnCancel() {
    StopCheck();
    CDialog::OnCancel();
}
