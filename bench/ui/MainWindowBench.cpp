// The main window's list with large books: filling it from the book, collecting the book back,
// one Insert with its duplicate check, one Insert, Update and Delete with and without the session
// journal that makes each durable, a Find Next that matches no row, Check Passwords, and an import
// of 10,000 rows.
#include "AccountBook.h"
#include "ExportImport.h"
#include "Globals.h"
#include "ManagerDlg.h"
#include "OpenBook.h"
#include "resource.h"
#include "testhooks.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPixmap>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <chrono>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

// Opens the window's protected command to the benchmark.
class BenchDlg : public CManagerDlg {
public:
    using CManagerDlg::AddAccountItem;
    using CManagerDlg::AppendImported;
    using CManagerDlg::FindAndChoose;
    using CManagerDlg::OnBnClickedDelete;
    using CManagerDlg::OnBnClickedInsert;
    using CManagerDlg::OnBnClickedUpdate;
    using CManagerDlg::PlanImport;
};

// A new book in a folder of its own, as after Create Admin: from then on every entry command
// writes the session journal. Without it no book is held, and the commands change the list only.
class JournaledBook {
public:
    explicit JournaledBook(bool journaled) {
        if (!journaled)
            return;
        char pattern[] = "/tmp/zelvo-bench-journal-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        m_folder = pattern;
        std::strncpy(g_szAppDir, pattern, MAX_PATH - 1);
        g_OpenBook.Create(m_folder, "bench", "administrator password");
    }
    ~JournaledBook() {
        g_OpenBook.Close();
        std::error_code ignored;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, ignored);
    }
    JournaledBook(const JournaledBook&) = delete;
    JournaledBook& operator=(const JournaledBook&) = delete;

private:
    std::string m_folder;
};

// The worst case for a duplicate check that compares rows: every row shares the account ID and
// password, so each comparison reads all three texts.
void MakeBook(int count) {
    g_AccountBook.Clear();
    g_AccountBook.vecEntries.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        AccountEntry entry;
        entry.nIndex = i;
        CopyFieldText(entry.szAccount, "someone@example.org");
        CopyFieldText(entry.szPassword, "correct horse battery staple");
        CopyFieldText(entry.szComment, "comment number " + std::to_string(i));
        g_AccountBook.vecEntries.push_back(entry);
    }
}

BenchDlg* OpenWindow() {
    auto* dlg = new BenchDlg;
    dlg->Create(IDD_ZELVO_MANAGER_DIALOG, nullptr);
    AfxGetApp()->m_pMainWnd = dlg;
    return dlg;
}

// The window, shown or not, with a book of that many rows in its list.
BenchDlg* OpenWindowOnBook(int rows, bool shown) {
    MakeBook(rows);
    BenchDlg* dlg = OpenWindow();
    if (shown)
        dlg->ShowWindow(SW_SHOW);
    dlg->FillAccountList();
    return dlg;
}

// The window with the book's rows and its edit fields open, holding an entry's account ID and
// password as every row has them.
BenchDlg* OpenWindowReadyToEdit() {
    BenchDlg* dlg = OpenWindow();
    dlg->FillAccountList();
    for (const UINT id : {IDC_EDIT_ACCOUNT, IDC_EDIT_PASSWORD, IDC_EDIT_COMMENT})
        dlg->GetDlgItem(id)->EnableWindow(TRUE);
    dlg->GetDlgItem(IDC_EDIT_ACCOUNT)->SetWindowText("someone@example.org");
    dlg->GetDlgItem(IDC_EDIT_PASSWORD)->SetWindowText("correct horse battery staple");
    return dlg;
}

// Removes the row as Delete does, so that the duplicate index forgets it too.
void RemoveRow(BenchDlg& dlg, int row) {
    dlg.m_nSelItem = row;
    dlg.OnBnClickedDelete();
}

void CloseWindow(BenchDlg* dlg) {
    dlg->m_listAccounts.DeleteAllItems(); // nothing to collect, nothing to save
    dlg->DestroyWindow();
}

void BM_FillAccountList(benchmark::State& state) {
    MakeBook(int(state.range(0)));
    BenchDlg* dlg = OpenWindow();
    for (auto _ : state)
        dlg->FillAccountList();
    state.SetItemsProcessed(state.iterations() * state.range(0));
    CloseWindow(dlg);
}

void BM_StoreAccountList(benchmark::State& state) {
    MakeBook(int(state.range(0)));
    BenchDlg* dlg = OpenWindow();
    dlg->FillAccountList();
    for (auto _ : state)
        dlg->StoreAccountList();
    state.SetItemsProcessed(state.iterations() * state.range(0));
    CloseWindow(dlg);
}

void BM_InsertIntoList(benchmark::State& state) {
    MakeBook(int(state.range(0)));
    BenchDlg* dlg = OpenWindowReadyToEdit();
    dlg->GetDlgItem(IDC_EDIT_COMMENT)->SetWindowText("a comment no row has");
    for (auto _ : state) {
        dlg->OnBnClickedInsert();
        state.PauseTiming();
        if (dlg->m_listAccounts.GetItemCount() != state.range(0) + 1)
            state.SkipWithError("the row was not inserted");
        RemoveRow(*dlg, int(state.range(0)));
        state.ResumeTiming();
    }
    CloseWindow(dlg);
}

// One entry command on a list of range(0) rows, with the session journal (range(1) = 1) or without.
// The row the command changed is put back outside the timing.
void RunEntryCommand(benchmark::State& state, void (BenchDlg::*command)(), bool deletes) {
    MakeBook(int(state.range(0)));
    const JournaledBook journal(state.range(1) != 0);
    BenchDlg* dlg = OpenWindowReadyToEdit();
    const int last = int(state.range(0)) - 1;
    int round = 0;
    for (auto _ : state) {
        dlg->GetDlgItem(IDC_EDIT_COMMENT)->SetWindowText("no row has comment " + std::to_string(++round));
        dlg->m_nSelItem = last;
        (dlg->*command)();
        state.PauseTiming();
        const int expected = command == &BenchDlg::OnBnClickedInsert ? last + 2 : deletes ? last : last + 1;
        if (dlg->m_listAccounts.GetItemCount() != expected)
            state.SkipWithError("the command did not change the list");
        if (expected > last + 1)
            RemoveRow(*dlg, last + 1);
        if (deletes)
            dlg->AddAccountItem("someone@example.org", "correct horse battery staple", "comment number last");
        state.ResumeTiming();
    }
    CloseWindow(dlg);
}

void BM_InsertCommand(benchmark::State& state) {
    RunEntryCommand(state, &BenchDlg::OnBnClickedInsert, false);
}
void BM_UpdateCommand(benchmark::State& state) {
    RunEntryCommand(state, &BenchDlg::OnBnClickedUpdate, false);
}
void BM_DeleteCommand(benchmark::State& state) {
    RunEntryCommand(state, &BenchDlg::OnBnClickedDelete, true);
}

// Find Next at its worst: no row holds the text, so every cell of every row is searched.
void BM_FindNextWithoutMatch(benchmark::State& state) {
    MakeBook(int(state.range(0)));
    BenchDlg* dlg = OpenWindow();
    dlg->FillAccountList();
    for (auto _ : state)
        if (dlg->FindAndChoose("no row holds this", true))
            state.SkipWithError("a row matched");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    CloseWindow(dlg);
}

// Responsiveness while a large list is scrolled: one page down and a full repaint of the rows in
// view, as a scroll wheel or Page Down causes.
void BM_ScrollAndRepaintPage(benchmark::State& state) {
    BenchDlg* dlg = OpenWindowOnBook(int(state.range(0)), true);
    auto* view = qobject_cast<QAbstractScrollArea*>(dlg->m_listAccounts.GetSafeHwnd());
    QScrollBar* bar = view->verticalScrollBar();
    for (auto _ : state) {
        const int next = bar->value() + bar->pageStep();
        bar->setValue(next > bar->maximum() ? 0 : next);
        // Rendering into an image paints every visible row, also where no screen is attached.
        benchmark::DoNotOptimize(view->viewport()->grab());
    }
    CloseWindow(dlg);
}

// The window with an open book of that many rows, as Check Passwords finds it.
BenchDlg* OpenWindowWithBook(int rows) {
    BenchDlg* dlg = OpenWindowOnBook(rows, false);
    dlg->m_bBookOpen = true;
    return dlg;
}

// Runs the messages of the Check Passwords dialog while its status line starts with the text.
void PumpWhileStatusStartsWith(CDialog& check, const char* start) {
    while (check.GetDlgItem(IDC_STATIC_CHECK_STATUS)->GetWindowText().starts_with(start)) {
        AfxPumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Check Passwords from the command to the report on screen: the rows collected, the check on its
// worker thread, and the lines listed. Every row shares one password, so every entry is listed.
void BM_CheckPasswordsDialog(benchmark::State& state) {
    BenchDlg* dlg = OpenWindowWithBook(int(state.range(0)));
    bool reported = false;
    afx_test::SetModalHook([&reported](CDialog& check) {
        PumpWhileStatusStartsWith(check, "Checking");
        reported = true;
    });
    for (auto _ : state) {
        reported = false;
        dlg->SendMessage(WM_SYSCOMMAND, IDM_CHECK_PASSWORDS);
        if (!reported)
            state.SkipWithError("no report was shown");
    }
    afx_test::SetModalHook(nullptr);
    CloseWindow(dlg);
}

// Cancel pressed while the check runs, to the dialog gone: the worker stops at its next entry.
void BM_CancelCheckPasswords(benchmark::State& state) {
    BenchDlg* dlg = OpenWindowWithBook(int(state.range(0)));
    std::chrono::steady_clock::time_point pressed;
    afx_test::SetModalHook([&pressed](CDialog& check) {
        // Once the first progress is shown, the worker is well under way.
        PumpWhileStatusStartsWith(check, "Checking passwords: 0 ");
        pressed = std::chrono::steady_clock::now();
        static_cast<CButton*>(check.GetDlgItem(IDCANCEL))->Click();
    });
    for (auto _ : state) {
        dlg->SendMessage(WM_SYSCOMMAND, IDM_CHECK_PASSWORDS);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count());
    }
    afx_test::SetModalHook(nullptr);
    CloseWindow(dlg);
}

// A KeePassXC export of rows that no row of the book holds, in a file of its own.
class ImportFile {
public:
    explicit ImportFile(int rows) {
        char pattern[] = "/tmp/zelvo-bench-import-XXXXXX.csv";
        const int fd = ::mkstemps(pattern, 4);
        if (fd < 0)
            return;
        ::close(fd);
        m_path = pattern;
        std::ofstream file(m_path);
        file << "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\r\n";
        for (int i = 0; i < rows; ++i)
            file << "\"Root\",\"imported " << i << "\",\"someone@example.org\",\"pass " << i << "\",\"\",\"\"\r\n";
    }
    ~ImportFile() {
        if (!m_path.empty())
            std::remove(m_path.c_str());
    }
    ImportFile(const ImportFile&) = delete;
    ImportFile& operator=(const ImportFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// From the file chosen to the import dialog: reading and planning range(1) rows against a list of
// range(0), with the index the window keeps.
void BM_PlanImport(benchmark::State& state) {
    BenchDlg* dlg = OpenWindowOnBook(int(state.range(0)), false);
    const ImportFile file(int(state.range(1)));
    ImportPlan plan;
    for (auto _ : state) {
        plan.Clear();
        if (!dlg->PlanImport(file.Path(), plan) || plan.entries.size() != std::size_t(state.range(1)))
            state.SkipWithError("the file was not planned in full");
    }
    CloseWindow(dlg);
}

// The same plan as it would cost without an index kept by the window: one made from the rows first.
void BM_PlanImportIndexingTheRows(benchmark::State& state) {
    BenchDlg* dlg = OpenWindowOnBook(int(state.range(0)), false);
    const ImportFile file(int(state.range(1)));
    ImportPlan plan;
    for (auto _ : state) {
        plan.Clear();
        dlg->StoreAccountList();
        const EntryIndex index(g_AccountBook.vecEntries);
        std::string reason;
        if (!PlanExportFileImport(file.Path(), index, plan, reason))
            state.SkipWithError(reason.c_str());
    }
    CloseWindow(dlg);
}

// From OK in the import dialog to the rows shown: range(1) rows appended after range(0), into the
// list, its index and, with range(2) = 1, the session journal as one step; then the rows in view
// painted. Each round starts from the book's rows and a journal of its own.
void BM_ImportIntoList(benchmark::State& state) {
    BenchDlg* dlg = OpenWindowOnBook(int(state.range(0)), true);
    const ImportFile file(int(state.range(1)));
    ImportPlan plan;
    dlg->PlanImport(file.Path(), plan);
    auto* view = qobject_cast<QAbstractScrollArea*>(dlg->m_listAccounts.GetSafeHwnd());
    std::unique_ptr<JournaledBook> journal;
    for (auto _ : state) {
        state.PauseTiming();
        journal.reset();
        journal = std::make_unique<JournaledBook>(state.range(2) != 0);
        dlg->FillAccountList();
        state.ResumeTiming();
        dlg->AppendImported(plan.entries);
        benchmark::DoNotOptimize(view->viewport()->grab());
    }
    if (dlg->m_listAccounts.GetItemCount() != state.range(0) + state.range(1))
        state.SkipWithError("the rows were not imported");
    CloseWindow(dlg);
    journal.reset();
}

BENCHMARK(BM_FillAccountList)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreAccountList)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertIntoList)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
// Each command at 1,000 and 100,000 rows, without the journal (0) and with it (1).
void EntryCommandSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgsProduct({{1'000, 100'000}, {0, 1}})->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_InsertCommand)->Apply(EntryCommandSizes);
BENCHMARK(BM_UpdateCommand)->Apply(EntryCommandSizes);
BENCHMARK(BM_DeleteCommand)->Apply(EntryCommandSizes);
BENCHMARK(BM_FindNextWithoutMatch)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollAndRepaintPage)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckPasswordsDialog)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CancelCheckPasswords)->Arg(100'000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlanImport)->Args({100'000, 10'000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanImportIndexingTheRows)->Args({100'000, 10'000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportIntoList)->ArgsProduct({{100'000}, {10'000}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    CWinApp app("Manager");
    WNDCLASS wc;
    GetClassInfo(AfxGetInstanceHandle(), "#32770", &wc);
    wc.lpszClassName = kMainDlgClassName;
    AfxRegisterClass(&wc);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
