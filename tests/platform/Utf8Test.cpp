// UTF-8 validity, cutting on character boundaries, and Windows-1252 decoding.
#include "utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8IsValid, AcceptsWellFormedAndRejectsMalformedSequences) {
    struct Case {
        const char* name;
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"empty", "", true},
        {"ascii", "plain text", true},
        {"two-byte", "\xC3\xA9", true},
        {"three-byte", "\xE2\x82\xAC", true},
        {"four-byte", "\xF0\x9F\x98\x80", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", true},
        {"embedded nul", std::string("a\0b", 3), true},
        {"overlong slash", "\xC0\xAF", false},
        {"overlong two-byte lead C1", "\xC1\xBF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"overlong four-byte", "\xF0\x80\x80\xAF", false},
        {"surrogate low end", "\xED\xA0\x80", false},
        {"surrogate high end", "\xED\xBF\xBF", false},
        {"last before surrogates", "\xED\x9F\xBF", true},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"lead F5", "\xF5\x80\x80\x80", false},
        {"lone continuation", "\x80", false},
        {"truncated two-byte", "\xC3", false},
        {"truncated three-byte", "\xE2\x82", false},
        {"truncated four-byte", "\xF0\x9F\x98", false},
        {"ascii after lead",
         "\xC3"
         "A",
         false},
        {"windows-1252 text", "caf\xE9", false},
        {"FE byte", "\xFE", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8::IsValid(c.bytes), c.valid) << c.name;
}

TEST(Utf8PrefixLengthWithin, NeverCutsACharacter) {
    const std::string a126(126, 'a');
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t max;
        std::size_t expected;
    };
    const Case cases[] = {
        {"fits", "abc", 3, 3},
        {"shorter than the limit", "abc", 10, 3},
        {"ascii cut", "abcdef", 4, 4},
        {"limit zero", "abc", 0, 0},
        {"two-byte ends at the limit", a126 + "\xC3\xA9", 128, 128},
        {"two-byte straddles the limit", a126 + "a\xC3\xA9", 128, 127},
        {"three-byte straddles by one", a126 + "\xE2\x82\xAC", 128, 126},
        {"three-byte straddles by two", a126 + "\xE2\x82\xAC", 127, 126},
        {"four-byte straddles", a126 + "\xF0\x9F\x98\x80", 128, 126},
        {"four-byte straddles by three", a126 + "\xF0\x9F\x98\x80", 127, 126},
        {"four-byte fits exactly", a126 + "\xF0\x9F\x98\x80", 130, 130},
        {"cut before a lead byte", a126 + "\xC3\xA9\xC3\xA9", 128, 128},
        // Bytes that are not UTF-8 are single characters: the cut stays at the limit.
        {"stray continuation bytes", "a" + std::string(10, '\x80'), 5, 5},
        {"windows-1252 text", "\xE9\xE9\xE9\xE9", 2, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8::PrefixLengthWithin(c.bytes, c.max), c.expected) << c.name;
}

TEST(Utf8FromWindows1252, DecodesTheWholeByteRange) {
    struct Case {
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"\x80", "\xE2\x82\xAC"}, // euro sign
        {"\x81", "\xEF\xBF\xBD"}, // undefined
        {"\x82", "\xE2\x80\x9A"}, // single low quote
        {"\x83", "\xC6\x92"},     // f with hook
        {"\x8A", "\xC5\xA0"},     // S caron
        {"\x8D", "\xEF\xBF\xBD"}, // undefined
        {"\x8F", "\xEF\xBF\xBD"}, // undefined
        {"\x90", "\xEF\xBF\xBD"}, // undefined
        {"\x93", "\xE2\x80\x9C"}, // left double quote
        {"\x96", "\xE2\x80\x93"}, // en dash
        {"\x99", "\xE2\x84\xA2"}, // trade mark
        {"\x9D", "\xEF\xBF\xBD"}, // undefined
        {"\x9F", "\xC5\xB8"},     // Y diaeresis
        {"\xA0", "\xC2\xA0"},     // no-break space
        {"caf\xE9", "caf\xC3\xA9"},
        {"\xFF", "\xC3\xBF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8::FromWindows1252(c.bytes), c.expected)
            << std::hex << int(static_cast<unsigned char>(c.bytes[0]));
}

} // namespace
