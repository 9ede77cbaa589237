// Any journal content is read or refused without harm: what is read lies within the file, record
// after record, and applies to a book without ever going past its rows.
#include "BookJournal.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The scratch file of this run, in memory-backed storage where there is some.
struct ScratchFile {
    std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/zelvo-fuzz-" +
                       std::to_string(::getpid()) + ".journal";
    ~ScratchFile() { std::remove(path.c_str()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file;
    {
        std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    JournalContents contents;
    const JournalReadOutcome outcome = BookJournal::Read(file.path, contents);
    if (outcome != JournalReadOutcome::Read && !contents.records.empty())
        std::abort();
    off_t end = contents.headerEnd;
    for (const JournalRecord& record : contents.records) {
        if (record.end <= end || record.end > off_t(size))
            std::abort();
        end = record.end;
    }
    AccountEntries entries(3);
    if (BookJournal::Apply(contents, entries) > contents.records.size())
        std::abort();
    return 0;
}
