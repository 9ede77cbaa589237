// Prints the peak resident memory of loading one account book of the given size (default 100000).
#include "AccountFile.h"
#include "BookFiles.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    // The book is written here and loaded by a fresh run of this program, so that writing it does not count.
    if (argc > 2) {
        AccountBook book;
        if (!LoadAccountBook(book, argv[2], CBase64())) {
            std::fprintf(stderr, "load failed\n");
            return 1;
        }
        std::printf("entries loaded: %zu\npeak resident memory: %ld KiB\n", book.vecEntries.size(), PeakResidentKiB());
        return 0;
    }
    const std::string path = bench_store::SavedBookPath(entries);
    if (path.empty()) {
        std::fprintf(stderr, "could not write the book\n");
        return 1;
    }
    const std::string count = std::to_string(entries);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/proc/self/exe", argv[0], count.c_str(), path.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
