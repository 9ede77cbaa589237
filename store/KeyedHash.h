// A keyed hash for tables whose keys come from outside (an imported file): with a key the file's
// author cannot know, no file can be made whose rows all fall into one bucket.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

// The secret of a keyed hash: two 64-bit halves.
struct HashKey {
    std::uint64_t k0 = 0;
    std::uint64_t k1 = 0;
};

// SipHash-2-4 under the key of the pieces' bytes one after another, as if they were one text.
std::uint64_t SipHash24(const HashKey& key, std::initializer_list<std::string_view> pieces);

// A key drawn at random once per process.
const HashKey& ProcessHashKey();
