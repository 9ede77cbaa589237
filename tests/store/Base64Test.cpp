#include "Base64.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace std::string_literals;

struct CodecCase {
    std::string bytes;
    std::string text;
};

const CodecCase kEncodings[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
    {"abc", "YWJj"},
    {"\xFB\xFF"s, "+/8="},
    {"\xFF\xFE\x80"s, "//6A"},
    {"\0\0\0"s, "AAAA"},
    {"\0a"s, "AGE="},
};

TEST(Base64, EncodesKnownVectorsAndDecodesThemBack) {
    const CBase64 codec;
    for (const auto& [bytes, text] : kEncodings) {
        EXPECT_EQ(codec.Encode(bytes), text) << "bytes of " << text;
        EXPECT_EQ(codec.Decode(text), bytes) << text;
    }
}

struct DecodeCase {
    const char* what;
    std::string text;
    std::string bytes;
};

const DecodeCase kLenientDecodes[] = {
    {"line break ends the text", "YWJj\nZGVm", "abc"},
    {"blank ends the text", "YWJj ZGVm", "abc"},
    {"leading blank gives nothing", " YWJj", ""},
    {"padding in the middle keeps the first encoding", "YQ==YmM=", "a"},
    {"padding after a full group", "YWJj=ZGVm", "abc"},
    {"five characters give three bytes", "YWJjZ", "abc"},
    {"six characters give four bytes", "YWJjZG", "abcd"},
    {"seven characters give five bytes", "YWJjZGV", "abcde"},
    {"one character gives nothing", "Y", ""},
    {"missing padding", "YQ", "a"},
    {"low bits of the last character dropped", "YR==", "a"},
    {"URL-safe minus stops", "YW-J", "a"},
    {"URL-safe underscore stops", "_w", ""},
    {"high byte stops", "YW\xC3\xA9Jj", "a"},
    {"high byte first gives nothing", "\x80YWJj", ""},
    {"NUL character stops", "YW\0Jj"s, "a"},
    {"NUL bytes decoded", "AAAA", "\0\0\0"s},
    {"NUL inside decoded text", "YWIAY2Q=", "ab\0cd"s},
    {"bytes of 128 and more", "gP/+", "\x80\xFF\xFE"},
    {"stop within the second group", "YWJjZG.V", "abcd"},
    {"stop at the start of the second group", "YWJj*ZGV", "abc"},
};

TEST(Base64, DecodesLenientlyUpToTheFirstStoppingCharacter) {
    const CBase64 codec;
    for (const auto& [what, text, bytes] : kLenientDecodes) {
        EXPECT_EQ(codec.Decode(text), bytes) << what;
    }
}

TEST(Base64, RoundTripsEveryByteValueAtEveryLengthUpTo300) {
    const CBase64 codec;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byteValue(0, 255);
    for (std::size_t length = 0; length <= 300; ++length) {
        std::string bytes(length, '\0');
        for (char& b : bytes) {
            b = static_cast<char>(byteValue(random));
        }
        const std::string text = codec.Encode(bytes);
        ASSERT_EQ(text.size(), (length + 2) / 3 * 4) << length;
        ASSERT_EQ(text.find_first_not_of(kBase64Alphabet), text.find('=')) << text;
        ASSERT_EQ(store_test::ReferenceDecode(text), bytes) << length;
        ASSERT_EQ(codec.Decode(text), bytes) << length;
    }
}

TEST(Base64, DecodesArbitraryTextLikeAPlainDecoder) {
    const CBase64 codec;
    // Mostly alphabet characters, so that texts run for a while before they stop.
    const std::string pool = std::string(kBase64Alphabet) + kBase64Alphabet + "=\n -_.\x80\xFF" + "\0"s;
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    for (std::size_t length = 0; length <= 300; ++length) {
        std::string text(length, '\0');
        for (char& c : text) {
            c = pool[pick(random)];
        }
        ASSERT_EQ(codec.Decode(text), store_test::ReferenceDecode(text)) << text;
    }
}

TEST(Base64, DecodesEveryByteValueAtEachPositionOfAGroup) {
    const CBase64 codec;
    for (int position = 0; position < 4; ++position) {
        for (int value = 0; value < 256; ++value) {
            std::string text = "QUJDRA==";
            text[static_cast<std::size_t>(position)] = static_cast<char>(value);
            ASSERT_EQ(codec.Decode(text), store_test::ReferenceDecode(text)) << position << ' ' << value;
        }
    }
}

} // namespace
