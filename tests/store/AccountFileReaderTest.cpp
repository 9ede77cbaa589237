#include "AccountFile.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using store_test::FixturePath;

struct Entry {
    std::int32_t index;
    std::string account;
    std::string password;
    std::string comment;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << '{' << e.index << ',' << e.account << ',' << e.password << ',' << e.comment << '}';
}

std::vector<Entry> EntriesOf(const AccountBook& book) {
    std::vector<Entry> entries;
    for (const AccountEntry& e : book.vecEntries) {
        entries.push_back({e.nIndex, std::string(FieldText(e.szAccount)), std::string(FieldText(e.szPassword)),
                           std::string(FieldText(e.szComment))});
    }
    return entries;
}

// A book holding what an earlier load left, so that every case also shows that a load starts clean.
AccountBook StaleBook() {
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "stale");
    CopyFieldText(book.szAdminPassword, "stale password");
    AccountEntry entry;
    CopyFieldText(entry.szAccount, "stale entry");
    book.vecEntries.push_back(entry);
    return book;
}

const std::string k128(128, 'a');
const std::vector<Entry> kAliceEntries = {{0, "abc", "pw1", ""}, {1, "bank", "p@ss", "main card"}};

struct LoadCase {
    const char* file;
    bool loads;
    std::string admin;
    std::string password;
    std::vector<Entry> entries;
};

const LoadCase kLoads[] = {
    {"alice.xml", true, "alice", "secret", kAliceEntries},
    {"compact.xml", true, "alice", "secret", kAliceEntries},
    {"no_app.xml", true, "alice", "secret", {{0, "abc", "pw1", ""}}},
    {"app_other_case.xml", false, "", "", {}},
    {"app_after_others.xml", false, "", "", {}},
    {"admin_after_accounts.xml", true, "alice", "secret", kAliceEntries},
    {"item_without_comment.xml", true, "alice", "secret", {{1, "bank", "p@ss", "main card"}}},
    {"item_extra_child.xml", true, "alice", "secret", {{0, "abc", "pw1", "mail"}}},
    {"repeated_name.xml", true, "alice", "secret", {{0, "y", "pw1", ""}}},
    {"total_count_disagrees.xml", true, "alice", "secret", kAliceEntries},
    {"empty_admin_password.xml", true, "bob", "", {}},
    {"empty_admin_account.xml", false, "", "", {}},
    {"empty_admin_account_no_password.xml", false, "", "", {}},
    {"password_before_account.xml", false, "", "", {}},
    {"identical_items.xml", true, "alice", "secret", {{0, "abc", "pw1", ""}, {0, "abc", "pw1", ""}}},
    {"value_128_bytes.xml", true, "alice", k128, {{0, k128, "pw1", k128}}},
    {"value_129_bytes.xml", true, "alice", "secret", {{0, "abc", "", "mail"}}},
    {"admin_password_129_bytes.xml", false, "", "", {}},
    {"admin_account_129_bytes.xml", false, "", "", {}},
    {"not_well_formed.xml", false, "", "", {}},
    {"truncated.xml", false, "", "", {}},
    {"empty_file.xml", false, "", "", {}},
    {"no_such_file.xml", false, "", "", {}},
    {"no_carry_over.xml",
     true,
     "alice",
     "secret",
     {{0, "abc", "pw1", "mail"}, {1, "y", "", "z"}, {2, "bank", "", "z"}}},
    {"index_forms.xml",
     true,
     "alice",
     "secret",
     {{-12, "x", "x", "x"},
      {0, "y", "y", "y"},
      {INT32_MAX, "z", "z", "z"},
      {INT32_MIN, "abc", "abc", "abc"},
      {7, "pw1", "pw1", "pw1"}}},
    {"nul_in_value.xml", true, "alice", "ab", {{0, "ab", "", "mail"}}},
    {"stray_children.xml", true, "alicia", "secret", kAliceEntries},
    {"no_admin_info.xml", true, "", "", {{0, "abc", "pw1", ""}}},
};

TEST(AccountFileReader, ReadsEachFixtureAsExpected) {
    const CBase64 codec;
    for (const LoadCase& c : kLoads) {
        AccountBook book = StaleBook();
        const bool loaded = LoadAccountBook(book, FixturePath(c.file), codec);
        EXPECT_EQ(loaded, c.loads) << c.file;
        if (!loaded || !c.loads) {
            continue;
        }
        EXPECT_EQ(FieldText(book.szAdminAccount), c.admin) << c.file;
        EXPECT_EQ(FieldText(book.szAdminPassword), c.password) << c.file;
        EXPECT_EQ(EntriesOf(book), c.entries) << c.file;
    }
}

TEST(AccountFileReader, LoadingTheSameFileTwiceYieldsItsEntriesOnce) {
    const CBase64 codec;
    AccountBook book;
    ASSERT_TRUE(LoadAccountBook(book, FixturePath("alice.xml"), codec));
    ASSERT_TRUE(LoadAccountBook(book, FixturePath("alice.xml"), codec));
    EXPECT_EQ(EntriesOf(book), kAliceEntries);
}

TEST(AccountFileReader, FileThatIsAFolderOrEmptyPathFails) {
    const CBase64 codec;
    AccountBook book;
    EXPECT_FALSE(LoadAccountBook(book, std::string(ZELVO_TEST_DATA) + "/store", codec));
    EXPECT_FALSE(LoadAccountBook(book, "", codec));
}

struct NumberCase {
    const char* text;
    std::int32_t value;
};

const NumberCase kNumbers[] = {
    {"0", 0},
    {"42", 42},
    {"  -17", -17},
    {"\t\n\v\f\r 5", 5},
    {"+8", 8},
    {"12abc", 12},
    {"abc", 0},
    {"", 0},
    {"-", 0},
    {"- 5", 0},
    {"--5", 0},
    {"2147483647", INT32_MAX},
    {"2147483648", INT32_MAX},
    {"-2147483648", INT32_MIN},
    {"-2147483649", INT32_MIN},
    {"000000000000000000000000000123", 123},
    {"99999999999999999999999999999999", INT32_MAX},
    {"-99999999999999999999999999999999", INT32_MIN},
};

TEST(AccountFileReader, ParsesItemNumbersLikeAtoiWithinTheIntRange) {
    for (const auto& [text, value] : kNumbers) {
        EXPECT_EQ(ParseDecimalInt32(text), value) << '"' << text << '"';
    }
}

} // namespace
