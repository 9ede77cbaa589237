// Moving in and out at scale: the duplicate index at 10 and 100,000 rows, planning the import of a
// 10,000-row file against a 100,000-entry list, and exporting 100,000 entries.
#include "BookFiles.h"
#include "CsvExport.h"
#include "ExportImport.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kListRows = 100'000;
constexpr std::size_t kFileRows = 10'000;
// Rows of the file that the list holds already.
constexpr std::size_t kFileRowsListed = 1'000;

const AccountBook& List() {
    static const AccountBook book = bench_store::MakeBook(kListRows);
    return book;
}

// One check and add of texts the index does not hold, as Insert makes them, and the remove that keeps
// the index's size (a Delete).
void BM_EntryIndex_ContainsAndAdd(benchmark::State& state) {
    const AccountBook book = bench_store::MakeBook(std::size_t(state.range(0)));
    EntryIndex index(book.vecEntries);
    const AccountBook fresh = bench_store::MakeBook(1000);
    std::size_t next = 0;
    for (auto _ : state) {
        const EntryTexts texts = TextsOf(fresh.vecEntries[next++ % fresh.vecEntries.size()]);
        if (!index.Contains(texts))
            index.Add(texts);
        index.Remove(texts);
    }
}
BENCHMARK(BM_EntryIndex_ContainsAndAdd)->Arg(10)->Arg(kListRows);

// What opening a book of 100,000 entries adds for its index.
void BM_EntryIndex_Build(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(EntryIndex(List().vecEntries));
}
BENCHMARK(BM_EntryIndex_Build)->Unit(benchmark::kMillisecond);

// The file to import: the browsers' layout, 10,000 rows of which 1,000 are in the list already.
std::string ImportFilePath() {
    static const std::string path = [] {
        AccountEntries rows = bench_store::MakeBook(kFileRows - kFileRowsListed).vecEntries;
        rows.insert(rows.end(), List().vecEntries.begin(), List().vecEntries.begin() + kFileRowsListed);
        std::string reason;
        const std::string file = bench_store::ScratchPath("import.csv");
        return ExportCsvFile(rows, ExportLayout::Browsers, file, "", reason) ? file : std::string();
    }();
    return path;
}

// The whole import short of the window: reading the file, recognising it and planning every row.
void BM_PlanExportFileImport(benchmark::State& state) {
    const EntryIndex list(List().vecEntries);
    const std::string path = ImportFilePath();
    ImportPlan plan;
    std::string reason;
    for (auto _ : state) {
        if (!PlanExportFileImport(path, list, plan, reason) || plan.entries.size() != kFileRows - kFileRowsListed)
            state.SkipWithError("the plan failed");
    }
}
BENCHMARK(BM_PlanExportFileImport)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportCsvFile(benchmark::State& state) {
    const std::string path = bench_store::ScratchPath("export.csv");
    std::string reason;
    for (auto _ : state) {
        if (!ExportCsvFile(List().vecEntries, ExportLayout::KeePassXC, path, "", reason))
            state.SkipWithError("the export failed");
    }
}
BENCHMARK(BM_ExportCsvFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
