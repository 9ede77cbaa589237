// The bytes a save writes are pinned: any change to how a book is turned into a file (tree
// building, serialisation, escaping, layout) must leave existing and future files identical.
#include "AccountFile.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using store_test::ReadWholeFile;
using store_test::ScratchFolder;

// FNV-1a over every byte; enough to tell any two differing files apart in practice.
std::uint64_t Digest(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

struct SavedFile {
    std::size_t size = 0;
    std::uint64_t digest = 0;
};

SavedFile SaveAndMeasure(const AccountBook& book) {
    ScratchFolder folder;
    const std::string path = folder.File("book.xml");
    if (!SaveAccountBook(book, path, CBase64())) {
        return {};
    }
    const std::string bytes = ReadWholeFile(path);
    return {bytes.size(), Digest(bytes)};
}

// Texts of every length up to the limit, from every byte value but NUL, multi-byte UTF-8 included;
// built from the engine's raw output, which the language defines exactly.
std::string GeneratedText(std::mt19937& random, std::size_t maxLength) {
    std::string text(random() % (maxLength + 1), '\0');
    for (char& c : text) {
        c = static_cast<char>(1 + random() % 255);
    }
    return text;
}

AccountBook GeneratedBook(std::size_t entries) {
    std::mt19937 random(20261207);
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "generated_owner.1");
    CopyFieldText(book.szAdminPassword, "p&ss <word> \"quoted\"");
    for (std::size_t i = 0; i < entries; ++i) {
        AccountEntry entry;
        entry.nIndex = static_cast<std::int32_t>(i % 7) - 1;
        CopyFieldText(entry.szAccount, GeneratedText(random, kMaxTextBytes));
        CopyFieldText(entry.szPassword, GeneratedText(random, 40));
        CopyFieldText(entry.szComment, i % 3 == 0 ? std::string() : GeneratedText(random, kMaxTextBytes));
        book.vecEntries.push_back(entry);
    }
    return book;
}

struct GoldenFixture {
    const char* fixture;
    SavedFile saved;
};

// Recorded from the writer as it was before any of its speed work.
const GoldenFixture kGoldenFixtures[] = {
    {"alice.xml", {549, 0x17860e1d2b9c1165ull}},
    {"empty_admin_password.xml", {259, 0x1a96afd4a45bcb75ull}},
    {"identical_items.xml", {520, 0x63a90b26bf0d5795ull}},
    {"index_forms.xml", {921, 0x7ea2c47f3ba3b09aull}},
    {"item_extra_child.xml", {425, 0x485089cf21397c92ull}},
    {"item_without_comment.xml", {437, 0xbd5c1623de998a2bull}},
    {"no_app.xml", {408, 0x7e4d02c0d5f15757ull}},
    {"no_carry_over.xml", {651, 0x1aaeb972646a3356ull}},
    {"nul_in_value.xml", {407, 0x334e1ed6dd44feeaull}},
    {"repeated_name.xml", {408, 0x26fa678c75ab282bull}},
    {"stray_children.xml", {552, 0xb7bfb405dcc26fd2ull}},
    {"value_128_bytes.xml", {921, 0x985abcbc04758dbull}},
    {"value_129_bytes.xml", {411, 0xd37c56406e5c43cfull}},
};

TEST(SavedBytes, FixturesSaveAsTheyAlwaysHave) {
    for (const GoldenFixture& golden : kGoldenFixtures) {
        AccountBook book;
        ASSERT_TRUE(LoadAccountBook(book, store_test::FixturePath(golden.fixture), CBase64())) << golden.fixture;
        const SavedFile saved = SaveAndMeasure(book);
        EXPECT_EQ(saved.size, golden.saved.size) << golden.fixture;
        EXPECT_EQ(saved.digest, golden.saved.digest) << golden.fixture << " " << std::hex << saved.digest;
    }
}

TEST(SavedBytes, LargeGeneratedBookSavesAsItAlwaysHas) {
    const SavedFile saved = SaveAndMeasure(GeneratedBook(10000));
    EXPECT_EQ(saved.size, 2869981u);
    EXPECT_EQ(saved.digest, 0xedae927bb8985573ull) << std::hex << saved.digest;
}

} // namespace
