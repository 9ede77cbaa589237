#include "DlgCheckPasswords.h"

#include "StrengthText.h"
#include "resource.h"

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
constexpr Column kColumns[] = {{"ID(Account)", 23}, {"Comment", 19}, {"Problem", 40}, {"Strength", 18}};

constexpr const char* kMsgNothingFound = "No weak or reused passwords found.";
constexpr const char* kMsgCheckFailed = "The check could not be completed: the computer ran short of memory.";

// 100000 as "100,000".
std::string Grouped(std::size_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

// What is wrong with an entry's password, most serious first.
std::string ProblemText(const EntryHealth& entry) {
    std::string text;
    const auto add = [&text](std::string_view problem) {
        text += text.empty() ? "" : "; ";
        text += problem;
    };
    if (entry.sameAsAdmin)
        add("Same as the administrator password");
    if (entry.Reused())
        add("Used by " + Grouped(entry.usedBy) + " entries");
    if (entry.Weak())
        add("Weak password");
    return text;
}

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
    };
    return map;
}

BOOL CDlgCheckPasswords::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list.SubclassDlgItem(IDC_LIST_PASSWORD_PROBLEMS, this);
    InitList();
    if (CWnd* goTo = GetDlgItem(IDOK))
        goTo->EnableWindow(FALSE);
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
    m_list.ReserveItems(int(m_health.entries.size()));
    for (const EntryHealth& entry : m_health.entries)
        if (entry.HasProblems())
            AddLine(entry);
    if (status)
        status->SetWindowText(m_lineRows.empty() ? std::string(kMsgNothingFound)
                                                 : "Weak or reused passwords: " + Grouped(m_lineRows.size()) + " of " +
                                                       Grouped(m_health.entries.size()) + " entries.");
    if (m_lineRows.empty())
        return;
    // Ready for the keyboard: the arrows choose a line, Enter goes to its entry.
    if (CWnd* goTo = GetDlgItem(IDOK))
        goTo->EnableWindow(TRUE);
    m_list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.SetFocus();
}

void CDlgCheckPasswords::AddLine(const EntryHealth& entry) {
    const AccountEntry& row = m_book.vecEntries[entry.row];
    const int line = m_list.InsertItem(m_list.GetItemCount(), std::string(FieldText(row.szAccount)));
    m_list.SetItemText(line, 1, std::string(FieldText(row.szComment)));
    m_list.SetItemText(line, 2, ProblemText(entry));
    m_list.SetItemText(line, 3, StrengthText(entry.rating));
    m_lineRows.push_back(entry.row);
}

void CDlgCheckPasswords::OnOK() {
    for (int line = 0; line < int(m_lineRows.size()); ++line)
        if (m_list.GetItemState(line, LVIS_FOCUSED | LVIS_SELECTED) == (LVIS_FOCUSED | LVIS_SELECTED)) {
            ChooseLine(line);
            return;
        }
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
