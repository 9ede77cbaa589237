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

// A login is held while any row holds its account ID and password, whatever the comments, through
// the table's growth and removals, and never across a different split of the same bytes.
TEST(EntryIndex, KnowsALoginWhileARowHoldsIt) {
    EntryIndex index;
    const auto holds = [&index](std::string_view account, std::string_view password) {
        return index.ContainsLogin(EntryIndex::LoginHash(account, password));
    };
    index.Add({"ann", "pw", "one"});
    index.Add({"ann", "pw", "two"});
    for (int row = 0; row < 1000; ++row)
        index.Add({"user" + std::to_string(row), "pw", ""});
    EXPECT_TRUE(holds("ann", "pw"));
    EXPECT_FALSE(holds("an", "npw"));
    EXPECT_FALSE(holds("ann", "pw "));
    ASSERT_TRUE(index.Remove({"ann", "pw", "one"}));
    EXPECT_TRUE(holds("ann", "pw")) << "the other row still holds it";
    ASSERT_TRUE(index.Remove({"ann", "pw", "two"}));
    EXPECT_FALSE(holds("ann", "pw"));
    for (int row = 0; row < 1000; row += 2)
        ASSERT_TRUE(index.Remove({"user" + std::to_string(row), "pw", ""}));
    for (int row = 0; row < 1000; ++row)
        EXPECT_EQ(holds("user" + std::to_string(row), "pw"), row % 2 == 1) << row;
    index.Add({"ann", "pw", "three"});
    EXPECT_TRUE(holds("ann", "pw"));
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
