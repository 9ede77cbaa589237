#include "utf8.h"

namespace utf8 {

std::size_t SequenceLength(std::string_view bytes, std::size_t i) {
    const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byteAt(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = byteAt(i + k);
        const unsigned char min = k == 1 ? low : 0x80, max = k == 1 ? high : 0xBF;
        if (c < min || c > max)
            return 0;
    }
    return length;
}

bool IsValid(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::size_t PrefixLengthWithin(std::string_view bytes, std::size_t maxBytes) {
    if (bytes.size() <= maxBytes)
        return bytes.size();
    // Find the start of the character at the cut: at most three continuation bytes back.
    std::size_t start = maxBytes;
    while (start > 0 && maxBytes - start < 3 && (static_cast<unsigned char>(bytes[start]) & 0xC0) == 0x80)
        --start;
    // Cut before that character only when it is a well-formed one that runs past the limit; bytes
    // that are not UTF-8 count as one character each.
    const std::size_t length = SequenceLength(bytes, start);
    return length > 0 && start + length > maxBytes ? start : maxBytes;
}

std::string FromWindows1252(std::string_view bytes) {
    static const char16_t kHigh[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                       0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const char32_t cp = c < 0x80 ? c : (c < 0xA0 ? kHigh[c - 0x80] : c);
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace utf8
