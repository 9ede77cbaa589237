// Looking for a text inside others, ignoring case, on the bytes the book keeps: UTF-8, or
// Windows-1252 bytes from older books, which then match byte for byte.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Letters are compared without case: ASCII, Latin-1, Greek and Cyrillic capitals match their
// small letters. The text looked for is folded once, for a search through many rows.
class TextSearch {
public:
    explicit TextSearch(std::string_view wanted);
    // Whether the text looked for occurs in text; an empty one occurs everywhere.
    bool FoundIn(std::string_view text) const;

private:
    bool MatchesAt(std::string_view text, std::size_t at) const;
    std::vector<std::uint32_t> m_wanted; // folded characters
};
