// The Check Passwords dialog: the entries whose password is weak, used by several entries, or the
// administrator's, found on a worker thread while the dialog shows the progress. It never shows a
// password.
#pragma once

#include "AccountBook.h"
#include "PasswordHealth.h"
#include "afxwin.h"

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

class CDlgCheckPasswords : public CDialog {
public:
    explicit CDlgCheckPasswords(CWnd* parent = nullptr);
    // Stops a check that still runs and waits for it.
    ~CDlgCheckPasswords() override;
    CDlgCheckPasswords(const CDlgCheckPasswords&) = delete;
    CDlgCheckPasswords& operator=(const CDlgCheckPasswords&) = delete;
    const MessageMap& GetMessageMap() const override;

    // What is checked: the administrator and the rows, filled before DoModal. The worker reads it
    // until the check ends, so nothing else touches it meanwhile; wiped when the dialog goes.
    AccountBook m_book;
    // Once the dialog ended with IDOK: the row of m_book whose line was chosen.
    int m_nChosenRow = -1;

protected:
    // Prepares the list and starts the check.
    BOOL OnInitDialog() override;
    // Ends the dialog with the chosen line's row; does nothing while no line is chosen.
    void OnOK() override;
    // Stops the check if it runs, then closes.
    void OnCancel() override;

private:
    void OnTimer(UINT_PTR id);
    void OnDblClkList(NMHDR* hdr, LRESULT* result);

    void InitList();
    void StartCheck();
    // Asks the worker to stop and waits for it; nothing when none runs.
    void StopCheck();
    void ShowProgress();
    void ShowReport();
    void AddLine(const EntryHealth& entry);
    // Ends the dialog with that line's row.
    void ChooseLine(int line);

    CListCtrl m_list;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finished{false};
    std::atomic<std::size_t> m_done{0};
    bool m_failed = false;               // the check could not run to its end; written by the worker
    BookHealth m_health;                 // written by the worker, read once it finished
    std::vector<std::size_t> m_lineRows; // the book row of each line shown
};
