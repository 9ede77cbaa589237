// Replaces the test binary's operator new and delete so that a test can look at every block the
// program gives back, before it goes. Include it in exactly one file of a binary, which defines
// InspectFreedBlock. Every allocation still goes through malloc and free, so a sanitizer's checks
// still match.
#pragma once

#include <malloc.h>

#include <cstddef>
#include <cstdlib>
#include <new>

// Called with each block given back through operator delete, and with its size: as the caller
// stated it, or all the block holds when the caller did not say.
void InspectFreedBlock(void* block, std::size_t size) noexcept;

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* block, std::size_t size) noexcept {
    if (block != nullptr)
        InspectFreedBlock(block, size);
    std::free(block);
}
void operator delete[](void* block, std::size_t size) noexcept {
    ::operator delete(block, size);
}
void operator delete(void* block) noexcept {
    ::operator delete(block, block != nullptr ? ::malloc_usable_size(block) : 0);
}
void operator delete[](void* block) noexcept {
    ::operator delete(block);
}
