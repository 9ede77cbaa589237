// The duplicate index: counts per combination of texts, and the keyed hash under it.
#include "EntryIndex.h"
#include "KeyedHash.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using store_test::Entry;

TEST(EntryIndex, CountsRowsThatHoldTheSameTexts) {
    const AccountEntries rows = {Entry("a", "1", "c"), Entry("a", "1", "c"), Entry("b", "2", "")};
    EntryIndex index(rows);
    EXPECT_EQ(index.Rows(), 3u);
    EXPECT_TRUE(index.Contains({"a", "1", "c"}));
    EXPECT_TRUE(index.Remove({"a", "1", "c"}));
    EXPECT_TRUE(index.Contains({"a", "1", "c"})) << "a second row still holds them";
    EXPECT_TRUE(index.Remove({"a", "1", "c"}));
    EXPECT_FALSE(index.Contains({"a", "1", "c"}));
    EXPECT_FALSE(index.Remove({"a", "1", "c"}));
    EXPECT_EQ(index.Rows(), 1u);
    index.Add({"a", "1", "c"});
    EXPECT_TRUE(index.Contains({"a", "1", "c"}));
    index.Clear();
    EXPECT_EQ(index.Rows(), 0u);
    EXPECT_FALSE(index.Contains({"b", "2", ""}));
}

TEST(EntryIndex, TellsTextsApartOnlyByAllThree) {
    EntryIndex index;
    index.Add({"ab", "c", ""});
    index.Add({"x", "y", "z"});
    const EntryTexts others[] = {
        {"a", "bc", ""}, {"abc", "", ""}, {"", "abc", ""}, {"ab", "", "c"}, {"z", "y", "x"}, {"x", "y", "z "},
    };
    for (const EntryTexts& texts : others)
        EXPECT_FALSE(index.Contains(texts)) << texts.account << "|" << texts.password << "|" << texts.comment;
    EXPECT_TRUE(index.Contains({"ab", "c", ""}));
    EXPECT_TRUE(index.Contains({"x", "y", "z"}));
}

TEST(KeyedHash, GivesSipHash24) {
    // The reference values of SipHash's authors for the key 00 01 .. 0f.
    const HashKey key{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};
    std::string fifteen;
    for (char byte = 0; byte < 15; ++byte)
        fifteen += byte;
    EXPECT_EQ(SipHash24(key, {}), 0x726fdb47dd0e0e31ULL);
    EXPECT_EQ(SipHash24(key, {fifteen}), 0xa129ca6149be45e5ULL);
    EXPECT_EQ(SipHash24(key, {fifteen.substr(0, 3), "", fifteen.substr(3)}), 0xa129ca6149be45e5ULL);
}

} // namespace
