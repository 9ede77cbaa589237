// Kills a session of random edits on a book with SIGKILL at random instants, again and again, and
// checks what the next login brings back against the edits that had returned before the kill.
//   session_crash [kills=100] [entries=1000]
// Each session runs in a child process that opens the book as a login does, makes Inserts, Updates
// and Deletes as the window's commands do, and tells the parent of each one that returned.
#include "AccountFile.h"
#include "BookFiles.h"
#include "OpenBook.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

namespace {

constexpr char kAccount[] = "benchmark";
constexpr char kPassword[] = "administrator password";

// The next random edit of a session, applied to the entries as the window applies it to its list.
class EditMaker {
public:
    explicit EditMaker(unsigned seed) : m_random(seed) {}

    // Makes the edit; the change, its row and the entry are what the journal is given.
    JournalChange Next(AccountEntries& entries, std::size_t& row, AccountEntry& entry) {
        const unsigned pick = m_random() % 3;
        entry = AccountEntry{};
        entry.nIndex = -1;
        const std::string text = "edit-" + std::to_string(m_random());
        CopyFieldText(entry.szAccount, text);
        CopyFieldText(entry.szPassword, "pw-" + text);
        if (pick == 0 || entries.empty()) {
            entries.push_back(entry);
            row = entries.size() - 1;
            return JournalChange::Insert;
        }
        row = m_random() % entries.size();
        if (pick == 1) {
            entries[row] = entry;
            return JournalChange::Update;
        }
        entries.erase(entries.begin() + std::ptrdiff_t(row));
        return JournalChange::Delete;
    }

private:
    std::mt19937 m_random;
};

// The session: edits until it is killed, one byte to the parent for each edit that returned.
[[noreturn]] void RunSession(const std::string& folder, unsigned seed, int returned) {
    AccountBook book;
    OpenBook open(book);
    if (open.Open(folder, kAccount, kPassword, CBase64()) != OpenOutcome::Opened)
        ::_exit(2);
    EditMaker edits(seed);
    for (;;) {
        std::size_t row = 0;
        AccountEntry entry;
        const JournalChange change = edits.Next(book.vecEntries, row, entry);
        if (!open.Record(change, row, entry, nullptr, nullptr))
            ::_exit(3);
        const char ack = 1;
        if (::write(returned, &ack, 1) != 1)
            ::_exit(4);
    }
}

struct Round {
    int returned = 0;          // edits that returned before the kill
    std::size_t recovered = 0; // changes the next login brought back
    bool matches = false;      // the book is the one after the returned edits, or after one more
};

Round KillOneSession(const std::string& folder, AccountEntries& model, unsigned seed, std::chrono::microseconds delay) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        std::exit(1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        RunSession(folder, seed, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    Round round;
    char acks[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], acks, sizeof acks)) > 0;)
        round.returned += int(got);
    ::close(pipeFds[0]);

    AccountBook book;
    OpenBook open(book);
    if (open.Open(folder, kAccount, kPassword, CBase64()) != OpenOutcome::Opened)
        return round;
    round.recovered = open.Recovery().changesRecovered;
    // The edit under way at the kill may have reached the journal before it could return.
    EditMaker edits(seed);
    std::size_t row = 0;
    AccountEntry entry;
    for (int i = 0; i < round.returned; ++i)
        edits.Next(model, row, entry);
    AccountEntries oneMore = model;
    edits.Next(oneMore, row, entry);
    round.matches = SameEntryTexts(book.vecEntries, model) || SameEntryTexts(book.vecEntries, oneMore);
    if (SameEntryTexts(book.vecEntries, oneMore))
        model = oneMore;
    else
        model = book.vecEntries;
    if (open.Save(folder, kAccount, CBase64()).outcome != BookSaveOutcome::Saved)
        round.matches = false;
    return round;
}

} // namespace

int main(int argc, char** argv) {
    const int kills = argc > 1 ? std::atoi(argv[1]) : 100;
    const std::size_t entries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000;
    char pattern[] = "/tmp/zelvo-session-crash-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    AccountBook book = bench_store::MakeBook(entries);
    if (!SaveAccountBook(book, OpenBook::PathOf(folder, kAccount), CBase64()))
        return 1;
    AccountEntries model = book.vecEntries;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long> delay(0, 40000);
    long returned = 0;
    long lost = 0;
    int mismatched = 0;
    for (int i = 0; i < kills; ++i) {
        const Round round = KillOneSession(folder, model, unsigned(random()), std::chrono::microseconds(delay(random)));
        returned += round.returned;
        lost += round.recovered < std::size_t(round.returned) ? round.returned - long(round.recovered) : 0;
        mismatched += round.matches ? 0 : 1;
    }
    std::printf("entries per book: %zu\nsessions killed: %d\nedits returned before the kills: %ld\n"
                "edits lost: %ld\nbooks unlike the edits that returned: %d\n",
                entries, kills, returned, lost, mismatched);
    std::filesystem::remove_all(folder);
    return lost == 0 && mismatched == 0 ? 0 : 1;
}
