#include "AccountBook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace {

using namespace std::string_literals;

struct CopyCase {
    const char* what;
    std::string text;
    bool taken;
    std::string held;
};

const CopyCase kCopies[] = {
    {"empty text", "", true, ""},
    {"short text", "abc", true, "abc"},
    {"exactly the limit, held whole", std::string(128, 'x'), true, std::string(128, 'x')},
    {"one byte over the limit", std::string(129, 'x'), false, ""},
    {"cut at the first NUL", "ab\0cd"s, true, "ab"},
    {"long text whose NUL comes early", "abcde"s + '\0' + std::string(200, 'y'), true, "abcde"},
};

TEST(AccountBook, CopyFieldTextHoldsWholeTextsOrNothing) {
    for (const auto& [what, text, taken, held] : kCopies) {
        AccountEntry entry;
        entry.nIndex = 7;
        CopyFieldText(entry.szAccount, "previous");
        CopyFieldText(entry.szPassword, "neighbour");
        CopyFieldText(entry.szComment, "after");
        EXPECT_EQ(CopyFieldText(entry.szAccount, text), taken) << what;
        EXPECT_EQ(FieldText(entry.szAccount), held) << what;
        // A refused or full-length text never reaches the next field.
        EXPECT_EQ(FieldText(entry.szPassword), "neighbour") << what;
        EXPECT_EQ(entry.nIndex, 7) << what;
    }
}

TEST(AccountBook, MultiByteTextOfExactly128BytesIsHeldWhole) {
    std::string euros;
    for (int i = 0; i < 42; ++i) {
        euros += "\xE2\x82\xAC";
    }
    euros += "ab";
    ASSERT_EQ(euros.size(), 128u);
    AccountBook book;
    EXPECT_TRUE(CopyFieldText(book.szAdminPassword, euros));
    EXPECT_EQ(FieldText(book.szAdminPassword), euros);
    EXPECT_TRUE(FieldText(book.szAdminAccount).empty());
}

TEST(AccountBook, FieldTextStopsAtTheFieldEvenWithoutTerminator) {
    AccountEntry entry;
    std::fill(std::begin(entry.szAccount), std::end(entry.szAccount), 'z');
    EXPECT_EQ(FieldText(entry.szAccount).size(), kMaxTextBytes);
}

TEST(AccountBook, ClearZerosAdministratorAndReleasesEntries) {
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "alice");
    CopyFieldText(book.szAdminPassword, "secret");
    book.vecEntries.resize(1000);
    book.Clear();
    const auto zero = [](char c) { return c == '\0'; };
    EXPECT_TRUE(std::all_of(std::begin(book.szAdminAccount), std::end(book.szAdminAccount), zero));
    EXPECT_TRUE(std::all_of(std::begin(book.szAdminPassword), std::end(book.szAdminPassword), zero));
    EXPECT_TRUE(book.vecEntries.empty());
    EXPECT_EQ(book.vecEntries.capacity(), 0u);
}

TEST(AccountBook, ProcessBookStartsWithNoBookOpen) {
    EXPECT_TRUE(FieldText(g_AccountBook.szAdminAccount).empty());
    EXPECT_TRUE(FieldText(g_AccountBook.szAdminPassword).empty());
    EXPECT_TRUE(g_AccountBook.vecEntries.empty());
}

} // namespace
