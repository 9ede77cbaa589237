// What a sealed book costs beside a plain one: the key's derivation (its time, with the memory it
// takes as a counter), a login, a save, and one Insert with the sealed journal.
#include "AccountFile.h"
#include "BookFiles.h"
#include "OpenBook.h"
#include "SealedBook.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>

namespace {

constexpr char kPassword[] = "administrator password";

// A folder holding the book of that many entries under the account "benchmark", sealed or plain.
std::string BookFolder(std::size_t entries, bool sealed) {
    static std::map<std::pair<std::size_t, bool>, std::string> folders;
    const auto known = folders.find({entries, sealed});
    if (known != folders.end())
        return known->second;
    const std::string folder =
        bench_store::ScratchPath((sealed ? "sealed-" : "plain-") + std::to_string(entries));
    std::filesystem::create_directories(folder);
    const std::unique_ptr<BookKey> key = sealed ? BookKey::DeriveNew(kPassword) : nullptr;
    if (!SaveAccountBook(bench_store::MakeBook(entries), folder + "/benchmark.xml", CBase64(), nullptr, nullptr,
                         key.get()))
        return {};
    return folders[{entries, sealed}] = folder;
}

void BM_DeriveKey(benchmark::State& state) {
    const KdfCost cost = CalibratedKdfCost();
    const KdfSalt salt{};
    for (auto _ : state)
        benchmark::DoNotOptimize(BookKey::Derive(kPassword, salt, cost));
    state.counters["memory_MiB"] = double(cost.memoryBytes >> 20);
    state.counters["passes"] = double(cost.passes);
}
BENCHMARK(BM_DeriveKey)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A login as the Login dialog makes it: the lock, the read, the password's check, the journal's.
void BM_Login(benchmark::State& state) {
    const std::string folder = BookFolder(std::size_t(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        AccountBook book;
        OpenBook open(book);
        if (open.Open(folder, "benchmark", kPassword, CBase64()) != OpenOutcome::Opened)
            state.SkipWithError("login failed");
    }
}
BENCHMARK(BM_Login)
    ->ArgsProduct({{1000, 100000}, {0, 1}})
    ->ArgNames({"entries", "sealed"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_Save(benchmark::State& state) {
    const AccountBook book = bench_store::MakeBook(std::size_t(state.range(0)));
    const std::unique_ptr<BookKey> key = state.range(1) != 0 ? BookKey::DeriveNew(kPassword) : nullptr;
    const std::string path = bench_store::ScratchPath("saved-" + std::to_string(state.range(1)) + ".xml");
    for (auto _ : state)
        if (!SaveAccountBook(book, path, CBase64(), nullptr, nullptr, key.get()))
            state.SkipWithError("save failed");
}
BENCHMARK(BM_Save)
    ->ArgsProduct({{1000, 100000}, {0, 1}})
    ->ArgNames({"entries", "sealed"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One Insert made durable in the journal, as the window's Insert makes it.
void BM_Insert(benchmark::State& state) {
    const std::size_t entries = std::size_t(state.range(0));
    const std::string folder = BookFolder(entries, state.range(1) != 0);
    AccountBook book;
    OpenBook open(book);
    if (open.Open(folder, "benchmark", kPassword, CBase64()) != OpenOutcome::Opened) {
        state.SkipWithError("login failed");
        return;
    }
    AccountEntry entry;
    CopyFieldText(entry.szAccount, "inserted account");
    CopyFieldText(entry.szPassword, "inserted password");
    std::size_t row = entries;
    for (auto _ : state)
        if (!open.Record(JournalChange::Insert, row++, entry, nullptr, nullptr))
            state.SkipWithError("insert failed");
    // The next run's login must not bring this session back.
    open.Close();
    BookJournal::RemoveFor(folder + "/benchmark.xml");
}
BENCHMARK(BM_Insert)
    ->ArgsProduct({{1000, 100000}, {0, 1}})
    ->ArgNames({"entries", "sealed"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
