// Any journal content is read or refused without harm: what is applied lies within the file, and
// never goes past the rows of the book it is applied to.
#include "BookJournal.h"
#include "JournalReplay.h"

#include "ScratchFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("book.journal");
    file.Write(data, size);
    JournalReader reader;
    JournalHeader header;
    if (reader.Open(file.Path(), header) != JournalReadOutcome::Read)
        return 0;
    const off_t headerEnd = reader.RecordEnd();
    AccountBook book;
    book.vecEntries.resize(3);
    const ReplayResult replay = ReplayJournal(reader, book);
    if (replay.end < headerEnd || replay.end > off_t(size) || (replay.applied == 0) != (replay.end == headerEnd))
        std::abort();
    if (replay.stop != JournalStep::Damaged && replay.notApplied != 0)
        std::abort();
    return 0;
}
