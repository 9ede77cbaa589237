#include "Base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

static_assert(sizeof(kBase64Alphabet) == 65, "64 characters and the terminator");

// Every pair of characters for a 12-bit value, so three input bytes take two look-ups.
constexpr std::array<std::array<char, 2>, 4096> MakePairTable() {
    std::array<std::array<char, 2>, 4096> table{};
    for (std::size_t v = 0; v < table.size(); ++v) {
        table[v] = {kBase64Alphabet[v >> 6], kBase64Alphabet[v & 0x3F]};
    }
    return table;
}
constexpr auto kPairs = MakePairTable();

// The value of each byte in the alphabet, or -1 outside it.
constexpr std::array<int, 256> MakeValueTable() {
    std::array<int, 256> table{};
    table.fill(-1);
    for (int v = 0; v < 64; ++v) {
        table[static_cast<unsigned char>(kBase64Alphabet[v])] = v;
    }
    return table;
}
constexpr auto kValues = MakeValueTable();

// Bit 24 never occurs in a decoded group, so it marks a character outside the alphabet.
constexpr std::uint32_t kBadGroup = 1u << 24;

// The 24 bits a character contributes at one of the four positions of a group, laid out so that
// OR-ing the four gives the three output bytes in their order, lowest byte first.
constexpr std::array<std::uint32_t, 256> MakeGroupTable(int position) {
    std::array<std::uint32_t, 256> table{};
    for (std::size_t c = 0; c < 256; ++c) {
        const int value = kValues[c];
        if (value < 0) {
            table[c] = kBadGroup;
            continue;
        }
        const std::uint32_t bits = static_cast<std::uint32_t>(value) << (18 - 6 * position);
        table[c] = ((bits >> 16) & 0xFF) | (bits & 0xFF00) | ((bits & 0xFF) << 16);
    }
    return table;
}
constexpr std::array<std::array<std::uint32_t, 256>, 4> kGroups = {MakeGroupTable(0), MakeGroupTable(1),
                                                                   MakeGroupTable(2), MakeGroupTable(3)};

// Writes the three bytes of a decoded group; on little-endian machines one four-byte store, which
// needs one byte of slack after the output position.
inline void StoreGroup(unsigned char* out, std::uint32_t group) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &group, sizeof group);
    } else {
        out[0] = static_cast<unsigned char>(group);
        out[1] = static_cast<unsigned char>(group >> 8);
        out[2] = static_cast<unsigned char>(group >> 16);
    }
}

inline void EncodeTriple(char* out, std::uint32_t triple) {
    std::memcpy(out, kPairs[triple >> 12].data(), 2);
    std::memcpy(out + 2, kPairs[triple & 0xFFF].data(), 2);
}

} // namespace

std::string CBase64::Encode(const std::string& bytes) const {
    std::string text;
    Encode(std::string_view(bytes), text);
    return text;
}

void CBase64::Encode(std::string_view bytes, std::string& text) const {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    text.assign((size + 2) / 3 * 4, '=');
    char* out = text.data();
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3, out += 4) {
        EncodeTriple(out, (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2]);
    }
    const std::size_t rest = size - i;
    if (rest > 0) {
        const std::uint32_t second = rest == 2 ? in[i + 1] : 0;
        const std::uint32_t triple = (std::uint32_t{in[i]} << 16) | (second << 8);
        out[0] = kBase64Alphabet[triple >> 18];
        out[1] = kBase64Alphabet[(triple >> 12) & 0x3F];
        if (rest == 2) {
            out[2] = kBase64Alphabet[(triple >> 6) & 0x3F];
        }
    }
}

std::string CBase64::Decode(const std::string& text) const {
    std::string bytes;
    Decode(std::string_view(text), bytes);
    return bytes;
}

void CBase64::Decode(std::string_view text, std::string& bytes) const {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    // Three bytes per full group, two for a trailing part group, one of slack for the group store.
    bytes.resize(size / 4 * 3 + 3);
    auto* const begin = reinterpret_cast<unsigned char*>(bytes.data());
    unsigned char* out = begin;
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4, out += 3) {
        const std::uint32_t group =
            kGroups[0][in[i]] | kGroups[1][in[i + 1]] | kGroups[2][in[i + 2]] | kGroups[3][in[i + 3]];
        if (group & kBadGroup) {
            break;
        }
        StoreGroup(out, group);
    }
    // The last, part group: the accepted characters before the end or the first stopping character.
    std::uint32_t bits = 0;
    int accepted = 0;
    for (; i < size && accepted < 4; ++i, ++accepted) {
        const int value = kValues[in[i]];
        if (value < 0) {
            break;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
    }
    bits <<= 6 * (4 - accepted);
    for (int k = 0; k + 1 < accepted; ++k) {
        *out++ = static_cast<unsigned char>(bits >> (16 - 8 * k));
    }
    bytes.resize(static_cast<std::size_t>(out - begin));
}
