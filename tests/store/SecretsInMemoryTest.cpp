// A book saved or read leaves none of its texts behind in memory the program gave back: the
// document written grows through ever larger buffers, and libxml2 reads the file in pieces.
#include "AccountFile.h"
#include "FreedBlocks.h"
#include "StoreTestSupport.h"
#include "xmldom.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

namespace {
// The Base64 text of "SECRET" where every password of the books below has it: after "pw-". A
// literal, so that the test itself never holds it in memory it could give back.
constexpr char kEncodedMarker[] = "U0VDUkVU";

thread_local bool t_watching = false;
thread_local int t_blocksWithMarker = 0;
} // namespace

void InspectFreedBlock(void* block, std::size_t size) noexcept {
    if (t_watching &&
        std::string_view(static_cast<const char*>(block), size).find(kEncodedMarker) != std::string_view::npos)
        ++t_blocksWithMarker;
}

namespace {

using store_test::ScratchFolder;

// Passwords of every length up to the longest, so that each buffer they pass through has to grow.
AccountBook BookOfSecrets(std::size_t entries) {
    std::vector<std::string> passwords;
    for (std::size_t i = 0; i < entries; ++i)
        passwords.push_back("pw-SECRET" + std::string(i % (kMaxTextBytes - 9), char('a' + i % 26)));
    return store_test::BookWithPasswords(passwords);
}

TEST(SecretsInMemory, ASaveGivesBackNoBufferHoldingATextOfTheBook) {
    const ScratchFolder folder;
    const AccountBook book = BookOfSecrets(2000);
    t_blocksWithMarker = 0;
    t_watching = true;
    const bool saved = SaveAccountBook(book, folder / "alice.xml", CBase64());
    t_watching = false;
    ASSERT_TRUE(saved);
    EXPECT_EQ(t_blocksWithMarker, 0);
}

// How often the marker stands in the heap's memory, whether in use or given back.
int MarkersInTheHeap() {
    std::ifstream maps("/proc/self/maps");
    int found = 0;
    for (std::string line; std::getline(maps, line);) {
        if (line.find("[heap]") == std::string::npos)
            continue;
        const char* at = reinterpret_cast<const char*>(std::stoull(line, nullptr, 16));
        const char* end = reinterpret_cast<const char*>(std::stoull(line.substr(line.find('-') + 1), nullptr, 16));
        const std::size_t length = std::strlen(kEncodedMarker);
        while ((at = static_cast<const char*>(std::memchr(at, kEncodedMarker[0], std::size_t(end - at)))) &&
               std::size_t(end - at) >= length) {
            found += std::memcmp(at, kEncodedMarker, length) == 0 ? 1 : 0;
            ++at;
        }
    }
    return found;
}

// libxml2 reads the file through buffers of its own, and builds a node for every text.
TEST(SecretsInMemory, ABookReadLeavesNoneOfItsTextsInTheHeap) {
    const ScratchFolder folder;
    {
        AccountBook book = BookOfSecrets(5000);
        ASSERT_TRUE(SaveAccountBook(book, folder / "alice.xml", CBase64()));
        book.Clear();
    }
    AccountBook read;
    ASSERT_TRUE(LoadAccountBook(read, folder / "alice.xml", CBase64()));
    ASSERT_EQ(read.vecEntries.size(), 5000u);
    read.Clear();
    EXPECT_EQ(MarkersInTheHeap(), 0);
}

} // namespace
