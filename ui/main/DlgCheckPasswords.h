// The Check Passwords dialog: the entries whose password is weak, used by several entries, or the
// administrator's, found on a worker thread while the dialog shows the progress. It never shows a
// password.
#pragma once

#include "AccountBook.h"
#include "PasswordHealth.h"
#include "afxwin.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

struct HealthReportLine;

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
    // What Replace Password and Change Password ask of the window that owns the book, set before
    // DoModal. Each returns true once it changed the book and refilled m_book; the check then runs
    // again. Unset, the button is not offered.
    std::function<bool(std::size_t row)> m_replacePassword;
    std::function<bool()> m_changeAdminPassword;
    // Whether the open book is encrypted; the dialog says so above its list when it is not.
    bool m_bookEncrypted = false;

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
    void OnSize(UINT type, int cx, int cy);
    // A new password for the chosen line's entry, then the check again.
    void OnBnClickedReplacePassword();
    // A new administrator password, then the check again.
    void OnBnClickedChangeAdmin();

    void InitList();
    void StartCheck();
    // Forgets the report and checks m_book again, with the line at keepLine chosen once it is done.
    void RestartCheck(int keepLine);
    // The line chosen, -1 for none.
    int ChosenLine() const;
    // Enables the buttons that act on the report.
    void EnableReportButtons();
    void NoteLayout();
    // Asks the worker to stop and waits for it; nothing when none runs.
    void StopCheck();
    void ShowProgress();
    void ShowReport();
    void AddLine(const HealthReportLine& line);
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
    int m_nLineAfterCheck = 0;           // the line chosen once the check is done

    // Where each control sits in the template's client area, to follow the window's size.
    struct Placement {
        UINT id;
        CRect rect;
        bool growX, growY, moveX, moveY;
    };
    std::vector<Placement> m_layout;
    CRect m_initialClient;
    int m_nProblemWidth = 0;
};
