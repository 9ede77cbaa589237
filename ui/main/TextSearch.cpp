#include "TextSearch.h"

#include <cstddef>

namespace {

// One character read from UTF-8, folded to its small letter where it has one; a byte that does
// not start a two-byte sequence stands for itself.
struct Folded {
    std::uint32_t code;
    std::size_t length;
};

std::uint32_t FoldTwoByte(std::uint32_t code) {
    if ((code >= 0xC0 && code <= 0xDE && code != 0xD7) || (code >= 0x391 && code <= 0x3AB && code != 0x3A2) ||
        (code >= 0x410 && code <= 0x42F))
        return code + 0x20;
    if (code >= 0x400 && code <= 0x40F)
        return code + 0x50;
    return code;
}

Folded FoldAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return {lead >= 'A' && lead <= 'Z' ? lead + 0x20u : lead, 1};
    if ((lead & 0xE0) == 0xC0 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if ((next & 0xC0) == 0x80)
            return {FoldTwoByte(((lead & 0x1Fu) << 6) | (next & 0x3Fu)), 2};
    }
    return {0x110000u + lead, 1}; // never equal to a decoded character
}

} // namespace

TextSearch::TextSearch(std::string_view wanted) {
    for (std::size_t at = 0; at < wanted.size();) {
        const Folded folded = FoldAt(wanted, at);
        m_wanted.push_back(folded.code);
        at += folded.length;
    }
}

bool TextSearch::MatchesAt(std::string_view text, std::size_t at) const {
    for (const std::uint32_t wanted : m_wanted) {
        if (at >= text.size())
            return false;
        const Folded folded = FoldAt(text, at);
        if (folded.code != wanted)
            return false;
        at += folded.length;
    }
    return true;
}

bool TextSearch::FoundIn(std::string_view text) const {
    if (m_wanted.empty())
        return true;
    if (text.size() < m_wanted.size()) // every character takes one byte at least
        return false;
    const std::uint32_t first = m_wanted.front();
    if (first < 0x80) {
        // An ASCII byte is always a whole character, so every byte may be tried as a start.
        for (std::size_t at = 0; at < text.size(); ++at) {
            const auto byte = static_cast<unsigned char>(text[at]);
            const std::uint32_t folded = byte >= 'A' && byte <= 'Z' ? byte + 0x20u : byte;
            if (folded == first && MatchesAt(text, at))
                return true;
        }
        return false;
    }
    for (std::size_t at = 0; at < text.size();) {
        const Folded first = FoldAt(text, at);
        if (first.code == m_wanted.front() && MatchesAt(text, at))
            return true;
        at += first.length;
    }
    return false;
}
