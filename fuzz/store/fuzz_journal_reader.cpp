// Any journal content is read or refused without harm: what is read lies within the file, record
// after record, and applies to a book without ever going past its rows.
#include "BookJournal.h"

#include "ScratchFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("book.journal");
    file.Write(data, size);
    JournalContents contents;
    const JournalReadOutcome outcome = BookJournal::Read(file.Path(), contents);
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
