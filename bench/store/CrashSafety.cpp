// Kills a process that is saving an account book with SIGKILL at random instants, again and again,
// and counts what a user would meet afterwards: books that no longer load whole, and temporary
// files left in the folder once the next run has started.
//   crash_safety [saves=100] [entries=100000] [--named]
// --named writes through named temporary files, as on a file system without unnamed ones.
#include "AccountFile.h"
#include "BookFiles.h"
#include "xmldom.h"

#include <dirent.h>
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

using Clock = std::chrono::steady_clock;

int CountLeftovers(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += IsLeftoverSaveName(entry.path().filename().string()) ? 1 : 0;
    return count;
}

// Saves in a child process; the parent kills it after the delay unless it finished first.
// True when the kill landed while the save was still running.
bool SaveAndKill(const AccountBook& book, const std::string& path, std::chrono::microseconds delay) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(SaveAccountBook(book, path, CBase64()) ? 0 : 1);
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status);
}

// A fresh process, as the next start of the program would be, removes what the kills left.
int NextStartRemoves(const std::string& folder) {
    const pid_t child = ::fork();
    if (child == 0) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        ::_exit(RemoveLeftoverSaveFiles(folder, now) > 255 ? 255 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int main(int argc, char** argv) {
    const int saves = argc > 1 ? std::atoi(argv[1]) : 100;
    const std::size_t entries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
    const bool named = argc > 3 && std::strcmp(argv[3], "--named") == 0;
    xmldom_test::RefuseUnnamedFiles(named);
    char pattern[] = "/tmp/zelvo-crash-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    const std::string path = folder + "/crash.xml";
    const AccountBook book = bench_store::MakeBook(entries);
    const auto started = Clock::now();
    if (!SaveAccountBook(book, path, CBase64()))
        return 1;
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    std::mt19937 random(std::random_device{}());
    // Most kills land inside a save; a few after it, which must be harmless too.
    std::uniform_int_distribution<long> delay(0, saveTime.count() * 6 / 5);
    int killedDuringSave = 0;
    int corrupt = 0;
    for (int i = 0; i < saves; ++i) {
        killedDuringSave += SaveAndKill(book, path, std::chrono::microseconds(delay(random))) ? 1 : 0;
        AccountBook loaded;
        if (!LoadAccountBook(loaded, path, CBase64()) || loaded.vecEntries.size() != entries)
            ++corrupt;
    }
    const int leftBeforeStart = CountLeftovers(folder);
    NextStartRemoves(folder);
    const int leftAfterStart = CountLeftovers(folder);
    std::printf("temporary files: %s\nentries per book: %zu\none save: %lld ms\nsaves killed: %d of %d\n"
                "corrupt books: %d\ntemporary files before the next start: %d\n"
                "temporary files after the next start: %d\n",
                named ? "named" : "unnamed where supported", entries, static_cast<long long>(saveTime.count() / 1000),
                killedDuringSave, saves, corrupt, leftBeforeStart, leftAfterStart);
    std::filesystem::remove_all(folder);
    return corrupt == 0 && leftAfterStart == 0 ? 0 : 1;
}
