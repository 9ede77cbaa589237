// Wiping memory that held secrets: passwords and the rest of a book must not outlive their use in
// freed heap blocks, old stack frames or a swapped-out page. Toolkit-free, so every layer may use it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string.h>

// Overwrites the bytes with zeros; unlike memset, the compiler may not drop it as a dead store.
inline void WipeBytes(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0)
        ::explicit_bzero(data, size);
}

// Zeros every byte the string's buffer holds, beyond its length up to its capacity, and empties it.
inline void WipeString(std::string& text) noexcept {
    WipeBytes(text.data(), text.capacity());
    text.clear();
}

// An allocator that zeros storage before giving it back, so a container of secrets leaves nothing
// behind when it grows, shrinks or is destroyed.
template <class T> struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U> WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return std::allocator<T>().allocate(count); }
    void deallocate(T* storage, std::size_t count) noexcept {
        WipeBytes(storage, count * sizeof(T));
        std::allocator<T>().deallocate(storage, count);
    }

    template <class U> bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
};

// A string whose every buffer is zeroed as it is given back: when it grows, when it shrinks to fit,
// and when it goes. For text that holds secrets and grows by appending.
using WipingString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;
