// An export's text made UTF-8: UTF-8 as it is, UTF-16 converted with or without its byte-order
// mark, anything else read as Windows-1252, and UTF-16 that cannot be converted refused by name.
#include "ImportEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct EncodingCase {
    const char* what;
    std::string bytes;
    TextEncoding encoding;
    std::string text; // UTF-8, as read; the refusal when it cannot be
    bool converts = true;
};

const EncodingCase kCases[] = {
    {"ASCII", "a,b\n", TextEncoding::Utf8, "a,b\n"},
    {"UTF-8 with its byte-order mark", "\xEF\xBB\xBF\xC3\xA9\xF0\x9F\x94\x91", TextEncoding::Utf8,
     "\xEF\xBB\xBF\xC3\xA9\xF0\x9F\x94\x91"},
    {"Latin-1", "j\xF6hn", TextEncoding::Windows1252, "j\xC3\xB6hn"},
    {"Windows-1252's own characters, and its unassigned bytes as U+FFFD", "\x80\x9F\x81", TextEncoding::Windows1252,
     "\xE2\x82\xAC\xC5\xB8\xEF\xBF\xBD"},
    {"overlong form", "\xC0\xAF", TextEncoding::Windows1252, "\xC3\x80\xC2\xAF"},
    {"surrogate in UTF-8", "\xED\xA0\x80", TextEncoding::Windows1252, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::Windows1252, "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"},
    {"cut short", "ok\xE2\x82", TextEncoding::Windows1252, "ok\xC3\xA2\xE2\x80\x9A"},
    {"UTF-8 kept beside Latin-1", "\xEF\xBB\xBF\xC3\xA9 j\xF6", TextEncoding::Windows1252,
     "\xEF\xBB\xBF\xC3\xA9 j\xC3\xB6"},
    {"UTF-16LE with its mark",
     "\xFF\xFE"
     "a\0\xE9\0=\xD8\x11\xDD"s,
     TextEncoding::Utf16LittleEndian, "a\xC3\xA9\xF0\x9F\x94\x91"},
    {"UTF-16LE without a mark", "u\0,\0p\0\r\0\n\0"s, TextEncoding::Utf16LittleEndian, "u,p\r\n"},
    {"UTF-16BE without a mark", "\0u\0,\0p\0\n"s, TextEncoding::Utf16BigEndian, "u,p\n"},
    {"UTF-16 of an odd length",
     "\xFF\xFE"
     "a\0b"s,
     TextEncoding::Utf16LittleEndian,
     "UTF-16 (little-endian) text of an odd number of bytes, which cannot be converted", false},
    {"UTF-16 with a lone low surrogate", "\xFE\xFF\xDC\x00"s, TextEncoding::Utf16BigEndian,
     "UTF-16 (big-endian) text with an unpaired surrogate at byte 2, which cannot be converted", false},
    {"a NUL in ASCII is no UTF-16", "a,b\nc\0d\n"s, TextEncoding::Utf8, "a,b\nc\0d\n"s},
};

TEST(ImportEncoding, MakesEveryTextUtf8OrRefusesItByName) {
    for (const EncodingCase& c : kCases) {
        SCOPED_TRACE(c.what);
        TextEncoding encoding = TextEncoding::Utf8;
        SecretBytes utf8{'x'};
        std::string reason;
        EXPECT_EQ(ConvertToUtf8(c.bytes, encoding, utf8, reason), c.converts);
        EXPECT_EQ(encoding, c.encoding);
        const std::string read = encoding == TextEncoding::Utf8 ? c.bytes : std::string(utf8.begin(), utf8.end());
        EXPECT_EQ(c.converts ? read : reason, c.text);
    }
}

} // namespace
