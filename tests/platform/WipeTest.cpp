// Wiping secrets: a string's whole buffer, and a container's storage before it is given back.
// The test binary's own operator delete looks at every block the test thread gives back.
#include "wipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {
thread_local bool t_watching = false;
thread_local int t_blocksFreed = 0;
thread_local int t_blocksFreedUnwiped = 0;

void Watch(void* block, std::size_t size) noexcept {
    if (!t_watching || block == nullptr)
        return;
    const char* bytes = static_cast<const char*>(block);
    ++t_blocksFreed;
    if (std::any_of(bytes, bytes + size, [](char c) { return c != 0; }))
        ++t_blocksFreedUnwiped;
}
} // namespace

// Every plain allocation goes through malloc and free, so a sanitizer's checks still match.
void* operator new(std::size_t size) {
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t size) noexcept {
    Watch(block, size);
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
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
