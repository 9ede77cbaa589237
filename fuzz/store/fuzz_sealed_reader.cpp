// Any file is refused or opened whole by the sealed book's reader, never partly: what it gives is
// what a seal under the key held. A sealed journal's lines are opened or refused the same way.
#include "SealedBook.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// The key of the seed book (tests/data/sealed), derived once; a derivation per input would leave
// no time for the rest.
const BookKey& SeedKey() {
    static const KdfSalt salt{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    static const std::unique_ptr<BookKey> key = BookKey::Derive("pw", salt, {1, 8192});
    return *key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    SecretBytes plain;
    const SealedOutcome opened = UnsealBookWithKey(file, SeedKey(), plain);
    if (opened != SealedOutcome::Opened && !plain.empty())
        std::abort();
    // The same bytes as a sealed journal's first line and as one of its lines.
    JournalSeal seal(SeedKey());
    WipingString line;
    seal.TakeFirstLine(file);
    if (!seal.OpenLine(file, 1, line) && !line.empty())
        std::abort();
    return 0;
}
