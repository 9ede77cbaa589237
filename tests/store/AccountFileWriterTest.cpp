#include "AccountFile.h"
#include "StoreTestSupport.h"
#include "xmldom.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <random>
#include <string>

namespace {

using store_test::ReadWholeFile;
using store_test::ScratchFolder;

AccountEntry MakeEntry(std::int32_t index, const std::string& account, const std::string& password,
                       const std::string& comment) {
    AccountEntry entry;
    entry.nIndex = index;
    CopyFieldText(entry.szAccount, account);
    CopyFieldText(entry.szPassword, password);
    CopyFieldText(entry.szComment, comment);
    return entry;
}

AccountBook MakeBook(const std::string& admin, const std::string& password, std::vector<AccountEntry> entries) {
    AccountBook book;
    CopyFieldText(book.szAdminAccount, admin);
    CopyFieldText(book.szAdminPassword, password);
    book.vecEntries.assign(entries.begin(), entries.end());
    return book;
}

std::string Content(xmlNode* node) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlNodeGetContent(node), xmlFree);
    return text ? reinterpret_cast<const char*>(text.get()) : "";
}

bool HasElementChild(xmlNode* node) {
    for (xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            return true;
        }
    }
    return false;
}

// One line per element: its depth, name, attributes in order, and the text of a leaf element.
// Layout the writer leaves to the XML library (whitespace between elements) is not part of it.
void Outline(xmlNode* node, int depth, std::string& out) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        out += std::string(2 * depth, ' ') + reinterpret_cast<const char*>(node->name);
        for (xmlAttr* a = node->properties; a; a = a->next) {
            out += std::string(" ") + reinterpret_cast<const char*>(a->name) + "=" +
                   Content(reinterpret_cast<xmlNode*>(a));
        }
        if (!HasElementChild(node)) {
            out += " '" + Content(node) + "'";
        }
        out += '\n';
        Outline(node->children, depth + 1, out);
    }
}

// The written file read with libxml2 itself, independently of the document wrapper.
std::string OutlineOfFile(const std::string& path) {
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET), xmlFreeDoc);
    if (!doc) {
        return "not well-formed";
    }
    std::string out;
    Outline(xmlDocGetRootElement(doc.get()), 0, out);
    return out;
}

const AccountBook kAlice =
    MakeBook("alice", "secret", {MakeEntry(42, "abc", "pw1", ""), MakeEntry(-1, "bank", "p@ss", "main card")});

// Items are numbered by position, whatever number the entries carry; the Base64 texts are worked out by hand.
TEST(AccountFileWriter, WritesTheDocumentTreeInOrder) {
    ScratchFolder folder;
    const std::string path = folder.File("alice.xml");
    ASSERT_TRUE(SaveAccountBook(kAlice, path, CBase64()));
    EXPECT_EQ(OutlineOfFile(path), "alice Author=Zelvo Software Website=https://www.zelvo.example/ "
                                   "App=Zelvo Password Manager Version=1.3.0.1\n"
                                   "  AdminInfo\n"
                                   "    Account 'alice'\n"
                                   "    Password 'c2VjcmV0'\n"
                                   "  Accounts TotalCnt=2\n"
                                   "    Item Index=0\n"
                                   "      Account 'YWJj'\n"
                                   "      Password 'cHcx'\n"
                                   "      Comment ''\n"
                                   "    Item Index=1\n"
                                   "      Account 'YmFuaw=='\n"
                                   "      Password 'cEBzcw=='\n"
                                   "      Comment 'bWFpbiBjYXJk'\n");
}

TEST(AccountFileWriter, WritesAnEmptyBookWithZeroCountAndNoItems) {
    ScratchFolder folder;
    const std::string path = folder.File("bob.xml");
    ASSERT_TRUE(SaveAccountBook(MakeBook("bob", "", {}), path, CBase64()));
    EXPECT_EQ(OutlineOfFile(path), "bob Author=Zelvo Software Website=https://www.zelvo.example/ "
                                   "App=Zelvo Password Manager Version=1.3.0.1\n"
                                   "  AdminInfo\n"
                                   "    Account 'bob'\n"
                                   "    Password ''\n"
                                   "  Accounts TotalCnt=0 ''\n");
}

std::string RandomText(std::mt19937& random, std::size_t length) {
    std::uniform_int_distribution<int> byteValue(1, 255);
    std::string text(length, '\0');
    for (char& c : text) {
        c = static_cast<char>(byteValue(random));
    }
    return text;
}

std::string Repeat(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

TEST(AccountFileWriter, TextsOfAnyBytesUpToTheLimitComeBackWhole) {
    std::mt19937 random(99);
    std::vector<AccountEntry> entries = {
        MakeEntry(-1, Repeat("\xE2\x82\xAC", 42) + "ab", Repeat("\xC3\xA9", 64), std::string(128, 'c')),
        MakeEntry(-1, "", "", ""),
    };
    for (std::size_t length = 0; length <= kMaxTextBytes; length += 8) {
        entries.push_back(MakeEntry(-1, RandomText(random, length), RandomText(random, kMaxTextBytes - length),
                                    RandomText(random, length / 2)));
    }
    const AccountBook written = MakeBook(std::string(128, 'n'), Repeat("\xC3\xA9", 64), entries);
    ScratchFolder folder;
    const std::string path = folder.File("book.xml");
    ASSERT_TRUE(SaveAccountBook(written, path, CBase64()));

    AccountBook read;
    ASSERT_TRUE(LoadAccountBook(read, path, CBase64()));
    EXPECT_EQ(FieldText(read.szAdminAccount), std::string(128, 'n'));
    EXPECT_EQ(FieldText(read.szAdminPassword), Repeat("\xC3\xA9", 64));
    ASSERT_EQ(read.vecEntries.size(), written.vecEntries.size());
    for (std::size_t i = 0; i < read.vecEntries.size(); ++i) {
        const AccountEntry& a = read.vecEntries[i];
        const AccountEntry& b = written.vecEntries[i];
        EXPECT_EQ(a.nIndex, static_cast<std::int32_t>(i));
        EXPECT_EQ(FieldText(a.szAccount), FieldText(b.szAccount)) << i;
        EXPECT_EQ(FieldText(a.szPassword), FieldText(b.szPassword)) << i;
        EXPECT_EQ(FieldText(a.szComment), FieldText(b.szComment)) << i;
    }
}

TEST(AccountFileWriter, FailedSaveLeavesThePreviousFileIntact) {
    ScratchFolder folder;
    const std::string path = folder.File("alice.xml");
    ASSERT_TRUE(SaveAccountBook(kAlice, path, CBase64()));
    const std::string before = ReadWholeFile(path);
    ASSERT_FALSE(before.empty());

    const AccountBook changed = MakeBook("alice", "other", {});
    xmldom_test::FailNextSaveBeforeRename();
    EXPECT_FALSE(SaveAccountBook(changed, path, CBase64()));
    EXPECT_EQ(ReadWholeFile(path), before);

    AccountBook invalidName = changed;
    CopyFieldText(invalidName.szAdminAccount, "not a name");
    EXPECT_FALSE(SaveAccountBook(invalidName, path, CBase64()));
    EXPECT_EQ(ReadWholeFile(path), before);

    EXPECT_TRUE(SaveAccountBook(changed, path, CBase64()));
    EXPECT_NE(ReadWholeFile(path), before);
}

TEST(AccountFileWriter, SaveIntoAMissingFolderOrWithoutAdministratorFails) {
    ScratchFolder folder;
    EXPECT_FALSE(SaveAccountBook(kAlice, folder.File("missing/alice.xml"), CBase64()));
    EXPECT_FALSE(SaveAccountBook(MakeBook("", "secret", {}), folder.File("empty.xml"), CBase64()));
    EXPECT_FALSE(DirectoryEntryExists(folder.File("empty.xml")));
}

} // namespace

namespace {

// A book of count entries whose three texts take the longest length.
AccountBook BookOfLongestTexts(std::size_t count) {
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "alice");
    CopyFieldText(book.szAdminPassword, "pw");
    book.vecEntries.resize(count);
    const std::string text(kMaxTextBytes, 'x');
    for (std::size_t i = 0; i < count; ++i) {
        const std::string account = std::to_string(i) + text;
        CopyFieldText(book.vecEntries[i].szAccount, std::string_view(account).substr(0, kMaxTextBytes));
        CopyFieldText(book.vecEntries[i].szPassword, text);
        CopyFieldText(book.vecEntries[i].szComment, text);
    }
    return book;
}

// Every book that is saved opens again: one as large as an import of the longest texts makes is
// read back, and one larger than an account file is read is refused at its save, writing nothing.
TEST(AccountFileWriter, EveryBookSavedOpensAgain) {
    const struct {
        const char* label;
        std::size_t entries;
        std::size_t limit; // the largest account file, 0: the usual one
        bool saved;
    } cases[] = {
        {"past 64 MiB", 120'000, 0, true},
        {"within a lowered limit", 4, 4096, true},
        {"past a lowered limit", 40, 4096, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ScratchFolder folder;
        const std::string path = folder / "alice.xml";
        store_test::WriteWholeFile(path, "before");
        account_file_test::LimitAccountFileBytes(c.limit);
        std::string reason;
        EXPECT_EQ(SaveAccountBook(BookOfLongestTexts(c.entries), path, CBase64(), nullptr, &reason), c.saved);
        AccountBook read;
        EXPECT_EQ(LoadAccountBook(read, path, CBase64()), c.saved);
        account_file_test::LimitAccountFileBytes(0);
        EXPECT_EQ(read.vecEntries.size(), c.saved ? c.entries : 0);
        EXPECT_EQ(reason.empty(), c.saved) << reason;
        if (!c.saved) {
            EXPECT_EQ(ReadWholeFile(path), "before");
        }
    }
}

} // namespace
