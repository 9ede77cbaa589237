// Any text is read or refused without harm: a refused text gives no plan; a plan holds only rows that
// Insert would take, each once and none of the list's; and the export of a plan imports back to the
// same rows.
#include "CsvExport.h"
#include "CsvImport.h"

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
        Require(reader.Columns() >= 1 && reader.Columns() <= kMaxCsvColumns);
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
        Require(!List().Contains(texts) && !taken.Contains(texts));
        taken.Add(texts);
    }
    Require(plan.refused.size() == std::min(plan.refusedRows, kMostRefusedRowsListed));
}

void CheckRoundTrip(const ImportPlan& plan) {
    SecretBytes bytes;
    FormatCsvExport(plan.entries, ExportLayout::KeePassXC, bytes);
    ImportPlan again;
    std::string reason;
    Require(PlanCsvImport({bytes.data(), bytes.size()}, EntryIndex(), again, reason));
    Require(SameEntryTexts(again.entries, plan.entries));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckRecords(text);
    ImportPlan plan;
    std::string reason;
    if (!PlanCsvImport(text, List(), plan, reason)) {
        Require(!reason.empty() && plan.entries.empty() && plan.source.empty());
        return 0;
    }
    CheckPlan(plan);
    CheckRoundTrip(plan);
    return 0;
}
