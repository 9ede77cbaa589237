// The main window's Import and Export: the rows of another program's export, or of another account
// book, brought into the list after the user saw what will happen; and the list written out for
// another program, once the administrator password was given.
#include "ManagerDlg.h"

#include "AccountBook.h"
#include "CsvExport.h"
#include "ExportImport.h"
#include "KeePassXmlImport.h"
#include "CsvParser.h"
#include "DlgExport.h"
#include "DlgImport.h"
#include "DlgImportBook.h"
#include "FileDialogFolder.h"
#include "Globals.h"
#include "Identity.h"
#include "MessageBox.h"
#include "MessageText.h"
#include "xmldom_files.h"

#include <filesystem>
#include <string_view>

namespace {

constexpr const char* kImportFilter =
    "Exports (CSV, KeePass XML, Bitwarden JSON)|*.csv;*.txt;*.xml;*.json|Account books|*.xml|All files|*|";
// The file kinds of an export, one per layout: KeePassXC's first, then the browsers'.
constexpr const char* kExportFilter = "KeePassXC CSV|*.csv|Browser CSV (Chrome, Edge, Firefox)|*.csv|";
constexpr int kBrowsersFileKind = 2;

constexpr const char* kMsgImportFailed = "Import Failed:";
constexpr const char* kMsgImportSuccess = "Import success:";
constexpr const char* kMsgExportFailed = "Export Failed:";
constexpr const char* kMsgExportSuccess = "Export success:";
// The name an export suggests, after the account's: "alice-export.csv".
constexpr const char* kExportNameEnding = "-export.csv";

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Whether the file is read as an account book: its name or its text says so, and it is no KeePass
// export.
bool ReadsAsBook(const std::string& path, const SecretBytes& bytes) {
    const std::string_view text(bytes.data(), bytes.size());
    return (AsciiLowercase(std::filesystem::path(path).extension().string()) == ".xml" || StartsAsXmlDocument(text)) &&
           !IsKeePassXml(text);
}

// The reason names a file or gives the system's words, so it goes to the system's message box.
void TellFailure(const char* title, const std::string& reason) {
    MessageBox(nullptr, title + FragmentAsSentence(reason), kAppTitle, MB_ICONERROR | MB_OK);
}

} // namespace

void CManagerDlg::OnImport() {
    CFileDialog choose(TRUE, "", "", OFN_FILEMUSTEXIST, kImportFilter, this);
    choose.SetTitle("Import From");
    choose.SetInitialFolder(FileDialogFolder(m_strFileFolder));
    if (choose.DoModal() != IDOK)
        return;
    const std::string path = choose.GetPathName();
    m_strFileFolder = FolderOf(path);
    ImportPlan plan;
    if (!PlanImport(path, plan))
        return;
    CDlgImport preview(plan, FileNameOf(path), this);
    if (preview.DoModal() != IDOK || plan.entries.empty())
        return;
    AppendImported(plan.entries);
    ShowMessage(kMsgImportSuccess + CountOf(plan.entries.size(), "entry", "entries") + " added.", this);
}

bool CManagerDlg::PlanImport(const std::string& path, ImportPlan& plan) {
    // Read once, whatever the file turns out to be: only a regular file, never waiting on a pipe,
    // and never more than an import may take.
    SecretBytes bytes;
    std::string reason;
    if (!ReadImportFile(path, bytes, reason)) {
        TellFailure(kMsgImportFailed, reason);
        return false;
    }
    if (ReadsAsBook(path, bytes)) {
        SecretBytes().swap(bytes);
        return PlanBookMerge(path, plan);
    }
    if (!PlanExportImport(std::string_view(bytes.data(), bytes.size()), m_index, plan, reason)) {
        TellFailure(kMsgImportFailed, reason);
        return false;
    }
    return true;
}

bool CManagerDlg::PlanBookMerge(const std::string& path, ImportPlan& plan) {
    AccountBook other;
    CDlgImportBook administrator(path, other, this);
    if (administrator.DoModal() != IDOK)
        return false;
    PlanBookImport(other, m_index, plan);
    return true;
}

// The rows are in the list, and the index, before the journal takes them; should it fail, they
// stay, as any other change does, until Exit saves them.
void CManagerDlg::AppendImported(const AccountEntries& entries) {
    const int firstRow = m_listAccounts.GetItemCount();
    AppendRows(entries);
    m_bModified = 1;
    std::string reason;
    const bool recorded = g_OpenBook.RecordBatch(std::size_t(firstRow), entries, WindowRows(), &reason);
    RememberStep(AppendStep("Import", std::size_t(firstRow), entries));
    ReportJournalFailure(recorded, reason);
    m_listAccounts.EnsureVisible(firstRow, FALSE);
}

void CManagerDlg::OnExport() {
    CDlgExport confirm(this);
    if (confirm.DoModal() != IDOK)
        return;
    CFileDialog choose(FALSE, "csv", std::string(FieldText(g_AccountBook.szAdminAccount)) + kExportNameEnding,
                       OFN_OVERWRITEPROMPT, kExportFilter, this);
    choose.SetTitle("Export To");
    choose.SetInitialFolder(FileDialogFolder(m_strFileFolder));
    if (choose.DoModal() != IDOK)
        return;
    m_strFileFolder = FolderOf(choose.GetPathName());
    const ExportLayout layout =
        choose.GetFilterIndex() == kBrowsersFileKind ? ExportLayout::Browsers : ExportLayout::KeePassXC;
    AccountEntries rows;
    CollectRows(rows);
    std::string reason;
    if (!ExportCsvFile(rows, layout, choose.GetPathName(), g_szAppDir, reason)) {
        TellFailure(kMsgExportFailed, reason);
        return;
    }
    // Told as every command's success is; the folder is the one just chosen, so the name says where.
    // Written, though perhaps not yet durable: the reason then says so.
    const std::string notYetDurable = reason.empty() ? "" : "\n" + reason;
    ShowMessage(kMsgExportSuccess + CountOf(rows.size(), "entry", "entries") + " written to " +
                    FileNameOf(choose.GetPathName()) + "." + notYetDurable,
                this);
}
