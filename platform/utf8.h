// UTF-8 helpers shared by the edits' byte limits and the list's byte-preserving cells.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

// Length of the well-formed sequence starting at bytes[i], or 0 when it is malformed.
std::size_t SequenceLength(std::string_view bytes, std::size_t i);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValid(std::string_view bytes);

// The longest prefix of at most maxBytes bytes that does not end inside a character.
std::size_t PrefixLengthWithin(std::string_view bytes, std::size_t maxBytes);

// Decodes bytes that are not UTF-8 as Windows-1252, giving UTF-8 (undefined bytes map to U+FFFD).
std::string FromWindows1252(std::string_view bytes);

} // namespace utf8
