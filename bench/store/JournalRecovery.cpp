// The login that brings back a long unfinished session: its time and peak memory, for a book of the
// given size and journals of mixed Inserts, Updates and Deletes of the given lengths.
//   bench_journal_recovery [entries=100000] [records ...=10000 100000 1000000]
// Each login runs in a fresh process, so that the figures are its own.
#include "AccountFile.h"
#include "BookFiles.h"
#include "OpenBook.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr char kAccount[] = "benchmark";
constexpr char kPassword[] = "administrator password";

AccountEntry Edit(const std::string& account) {
    AccountEntry entry;
    CopyFieldText(entry.szAccount, account);
    CopyFieldText(entry.szPassword, "pw-" + account);
    CopyFieldText(entry.szComment, "c");
    return entry;
}

// A journal of random changes against the saved book, as a session that never saved leaves it.
bool WriteJournal(const std::string& bookPath, std::size_t rows, std::size_t records) {
    FileIdentity base;
    if (!IdentifyFile(bookPath, base))
        return false;
    WipingString text;
    BookJournal::AppendHeader(text, base, kAccount, kPassword);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < records; ++i) {
        const unsigned pick = rows == 0 ? 0 : random() % 3;
        if (pick == 0)
            BookJournal::AppendRecord(text, JournalChange::Insert, rows++, Edit("acc" + std::to_string(i)));
        else if (pick == 1)
            BookJournal::AppendRecord(text, JournalChange::Update, random() % rows, Edit("upd" + std::to_string(i)));
        else
            BookJournal::AppendRecord(text, JournalChange::Delete, random() % rows--, AccountEntry{});
    }
    std::ofstream out(BookJournal::PathFor(bookPath), std::ios::binary | std::ios::trunc);
    return bool(out.write(text.data(), std::streamsize(text.size())));
}

int MeasureLogin(const char* folder) {
    AccountBook book;
    OpenBook open(book);
    const auto start = std::chrono::steady_clock::now();
    const OpenOutcome outcome = open.Open(folder, kAccount, kPassword, CBase64());
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%9zu changes restored, %zu entries: login %6.0f ms, peak resident %4ld MiB\n",
                open.Recovery().changesRecovered, book.vecEntries.size(), ms, usage.ru_maxrss / 1024);
    return outcome == OpenOutcome::Opened ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--login") == 0)
        return MeasureLogin(argv[2]);
    const std::size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    std::vector<std::size_t> lengths;
    for (int i = 2; i < argc; ++i)
        lengths.push_back(std::strtoul(argv[i], nullptr, 10));
    if (lengths.empty())
        lengths = {0, 10000, 100000, 1000000};
    const std::string saved = bench_store::SavedBookPath(entries);
    const std::string folder = saved.substr(0, saved.find_last_of('/'));
    const std::string book = folder + "/" + kAccount + ".xml";
    std::printf("book of %zu entries; journals of mixed changes\n", entries);
    for (const std::size_t records : lengths) {
        std::remove(book.c_str());
        if (saved.empty() || ::link(saved.c_str(), book.c_str()) != 0 || !WriteJournal(book, entries, records))
            return 1;
        std::printf("%9zu records: ", records);
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl("/proc/self/exe", argv[0], "--login", folder.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return 1;
        BookJournal::RemoveFor(book);
    }
    std::remove(book.c_str());
    return 0;
}
