// Any file is read or refused without harm, as an export of any kind (CSV, KeePass 2 XML, Bitwarden
// JSON) and by each reader directly: a refused file gives no plan; a plan holds only UTF-8 rows that
// Insert would take, each once and none of the list's; and the export of a plan imports back to the
// same rows.
#include "BitwardenJsonImport.h"
#include "CsvExport.h"
#include "CsvImport.h"
#include "ExportImport.h"
#include "KeePassXmlImport.h"
#include "utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const EntryIndex& List() {
    static const EntryIndex list = [] {
        AccountEntries entries(2);
        CopyFieldText(entries[0].szAccount, "alice");
        CopyFieldText(entries[0].szPassword, "secret");
        CopyFieldText(entries[1].szAccount, "bob");
        CopyFieldText(entries[1].szPassword, "hunter2");
        CopyFieldText(entries[1].szComment, "https://example.com");
        return EntryIndex(entries);
    }();
    return list;
}

void Require(bool holds) {
    if (!holds)
        std::abort();
}

void CheckRecords(std::string_view text) {
    CsvReader reader(text);
    while (reader.Next()) {
        // A bad record has no fields; reading goes on after it.
        Require(reader.Problem().empty() ? reader.Columns() >= 1 && reader.Columns() <= kMaxCsvColumns
                                         : reader.Columns() == 0);
        for (std::size_t column = 0; column < reader.Columns(); ++column)
            Require(reader.Field(column).size() <= text.size());
    }
    Require(reader.Columns() == 0);
}

void CheckPlan(const ImportPlan& plan) {
    EntryIndex taken;
    for (const AccountEntry& entry : plan.entries) {
        const EntryTexts texts = TextsOf(entry);
        Require(!texts.account.empty() && !texts.password.empty());
        Require(utf8::IsValid(texts.account) && utf8::IsValid(texts.password) && utf8::IsValid(texts.comment));
        Require(!List().Contains(texts) && !taken.Contains(texts));
        taken.Add(texts);
    }
    Require(plan.leftOut.size() == std::min(plan.leftOutRows, kMostLeftOutRowsListed));
    Require(plan.nearDuplicates.size() <= plan.entries.size());
}

void CheckRoundTrip(const ImportPlan& plan) {
    SecretBytes bytes;
    FormatCsvExport(plan.entries, ExportLayout::KeePassXC, bytes);
    ImportPlan again;
    std::string reason;
    Require(PlanExportImport({bytes.data(), bytes.size()}, EntryIndex(), again, reason));
    Require(SameEntryTexts(again.entries, plan.entries));
}

using Planner = bool (*)(std::string_view, const EntryIndex&, ImportPlan&, std::string&);

void CheckPlanner(Planner planner, std::string_view text) {
    ImportPlan plan;
    std::string reason;
    if (!planner(text, List(), plan, reason)) {
        Require(!reason.empty() && plan.entries.empty() && plan.source.empty());
        return;
    }
    CheckPlan(plan);
    CheckRoundTrip(plan);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckRecords(text);
    for (const Planner planner : {PlanExportImport, PlanKeePassXmlImport, PlanBitwardenJsonImport})
        CheckPlanner(planner, text);
    return 0;
}
