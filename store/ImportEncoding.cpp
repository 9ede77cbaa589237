#include "ImportEncoding.h"

#include "utf8.h"
#include "wipe.h"

#include <algorithm>
#include <cstdint>

namespace {

unsigned char Byte(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

void AppendCodePoint(std::uint32_t code, SecretBytes& out) {
    if (code < 0x80) {
        out.push_back(char(code));
    } else if (code < 0x800) {
        out.push_back(char(0xC0 | code >> 6));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(char(0xE0 | code >> 12));
        out.push_back(char(0x80 | (code >> 6 & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else {
        out.push_back(char(0xF0 | code >> 18));
        out.push_back(char(0x80 | (code >> 12 & 0x3F)));
        out.push_back(char(0x80 | (code >> 6 & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    }
}

std::uint32_t Utf16Unit(std::string_view bytes, std::size_t at, bool bigEndian) {
    return bigEndian ? std::uint32_t(Byte(bytes, at) << 8 | Byte(bytes, at + 1))
                     : std::uint32_t(Byte(bytes, at + 1) << 8 | Byte(bytes, at));
}

bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}

bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

bool ConvertUtf16(std::string_view bytes, bool bigEndian, SecretBytes& out, std::string& reason) {
    const std::string name = bigEndian ? "UTF-16 (big-endian)" : "UTF-16 (little-endian)";
    if (bytes.size() % 2 != 0) {
        reason = name + " text of an odd number of bytes, which cannot be converted";
        return false;
    }
    out.reserve(bytes.size());
    const bool marked = Utf16Unit(bytes, 0, bigEndian) == 0xFEFF;
    for (std::size_t at = marked ? 2 : 0; at < bytes.size(); at += 2) {
        std::uint32_t code = Utf16Unit(bytes, at, bigEndian);
        if (IsHighSurrogate(code) && at + 2 < bytes.size() && IsLowSurrogate(Utf16Unit(bytes, at + 2, bigEndian))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (Utf16Unit(bytes, at + 2, bigEndian) - 0xDC00);
            at += 2;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            reason =
                name + " text with an unpaired surrogate at byte " + std::to_string(at) + ", which cannot be converted";
            out.clear();
            return false;
        }
        AppendCodePoint(code, out);
    }
    return true;
}

// UTF-16 by its byte-order mark or, without one, by its zero bytes: text that is mostly ASCII has a
// zero in one half of nearly every pair of bytes and almost none in the other.
bool LooksLikeUtf16(std::string_view bytes, bool& bigEndian) {
    if (bytes.size() >= 2 && (Byte(bytes, 0) == 0xFF && Byte(bytes, 1) == 0xFE)) {
        bigEndian = false;
        return true;
    }
    if (bytes.size() >= 2 && (Byte(bytes, 0) == 0xFE && Byte(bytes, 1) == 0xFF)) {
        bigEndian = true;
        return true;
    }
    const std::size_t pairs = std::min<std::size_t>(bytes.size(), 4096) / 2;
    std::size_t evenZeros = 0;
    std::size_t oddZeros = 0;
    for (std::size_t pair = 0; pair < pairs; ++pair) {
        evenZeros += bytes[2 * pair] == '\0';
        oddZeros += bytes[2 * pair + 1] == '\0';
    }
    const auto mostly = [pairs](std::size_t zeros, std::size_t others) {
        return pairs >= 2 && zeros * 2 > pairs && others * 8 < zeros;
    };
    bigEndian = mostly(evenZeros, oddZeros);
    return bigEndian || mostly(oddZeros, evenZeros);
}

// Keeps each valid UTF-8 sequence and reads each other byte as Windows-1252, so that a file that is
// UTF-8 but for a few bytes (an export of an older list, say) keeps its UTF-8.
void ConvertWindows1252(std::string_view bytes, SecretBytes& out) {
    out.reserve(bytes.size() + bytes.size() / 2);
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = utf8::SequenceLength(bytes, at);
        if (length > 0) {
            out.insert(out.end(), bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + length));
            at += length;
            continue;
        }
        while (at + length < bytes.size() && utf8::SequenceLength(bytes, at + length) == 0)
            ++length;
        std::string converted = utf8::FromWindows1252(bytes.substr(at, length));
        out.insert(out.end(), converted.begin(), converted.end());
        WipeString(converted);
        at += length;
    }
}

} // namespace

const char* NameOfEncoding(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::Windows1252:
        return "Windows-1252";
    case TextEncoding::Utf16LittleEndian:
        return "UTF-16 (little-endian)";
    case TextEncoding::Utf16BigEndian:
        return "UTF-16 (big-endian)";
    }
    return "";
}

bool ConvertToUtf8(std::string_view bytes, TextEncoding& encoding, SecretBytes& utf8, std::string& reason) {
    utf8.clear();
    bool bigEndian = false;
    if (LooksLikeUtf16(bytes, bigEndian)) {
        encoding = bigEndian ? TextEncoding::Utf16BigEndian : TextEncoding::Utf16LittleEndian;
        return ConvertUtf16(bytes, bigEndian, utf8, reason);
    }
    if (utf8::IsValid(bytes)) {
        encoding = TextEncoding::Utf8;
        return true;
    }
    encoding = TextEncoding::Windows1252;
    ConvertWindows1252(bytes, utf8);
    return true;
}
