// Wiping secrets: a string's whole buffer, and a container's storage before it is given back.
// The test binary's own operator delete looks at every block the test thread gives back.
#include "FreedBlocks.h"
#include "wipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
thread_local bool t_watching = false;
thread_local int t_blocksFreed = 0;
thread_local int t_blocksFreedUnwiped = 0;
} // namespace

void InspectFreedBlock(void* block, std::size_t size) noexcept {
    if (!t_watching)
        return;
    const char* bytes = static_cast<const char*>(block);
    ++t_blocksFreed;
    if (std::any_of(bytes, bytes + size, [](char c) { return c != 0; }))
        ++t_blocksFreedUnwiped;
}

namespace {

TEST(Wipe, WipeStringZerosTheWholeBufferNotOnlyTheText) {
    std::string secret(200, 's');
    secret.resize(3); // the buffer still holds the longer text beyond the new length
    const char* buffer = secret.data();
    const std::size_t capacity = secret.capacity();
    WipeString(secret);
    EXPECT_TRUE(secret.empty());
    ASSERT_EQ(secret.data(), buffer);
    EXPECT_TRUE(std::all_of(buffer, buffer + capacity, [](char c) { return c == 0; }));
}

TEST(Wipe, TheWipingAllocatorZerosStorageBeforeGivingItBack) {
    t_blocksFreed = t_blocksFreedUnwiped = 0;
    {
        std::vector<char, WipingAllocator<char>> secret(100, 's');
        t_watching = true;
        secret.resize(10000, 's'); // grows: the first block goes back
    }                              // destroyed: the second one goes back
    t_watching = false;
    EXPECT_EQ(t_blocksFreed, 2);
    EXPECT_EQ(t_blocksFreedUnwiped, 0);
}

} // namespace
