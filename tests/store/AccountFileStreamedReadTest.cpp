// Reading a book as the file is parsed gives exactly the book that reading its whole tree gives:
// the outcome, the administrator record and every entry, after a failure too.
#include "AccountFile.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using store_test::ScratchFolder;
using store_test::WriteWholeFile;

std::string Describe(bool loaded, const AccountBook& book) {
    std::string text = std::string(loaded ? "loaded " : "refused ") + std::string(FieldText(book.szAdminAccount)) +
                       "/" + std::string(FieldText(book.szAdminPassword));
    for (const AccountEntry& e : book.vecEntries) {
        text += " {" + std::to_string(e.nIndex) + "," + std::string(FieldText(e.szAccount)) + "," +
                std::string(FieldText(e.szPassword)) + "," + std::string(FieldText(e.szComment)) + "}";
    }
    return text;
}

void ExpectSameBooks(const std::string& path) {
    const CBase64 codec;
    AccountBook streamed;
    AccountBook fromTree;
    const bool streamedLoaded = LoadAccountBook(streamed, path, codec);
    const bool treeLoaded = account_file_test::LoadAccountBookFromTree(fromTree, path, codec);
    EXPECT_EQ(Describe(streamedLoaded, streamed), Describe(treeLoaded, fromTree)) << path;
}

TEST(AccountFileStreamedRead, GivesTheTreeReadersBookForEveryFixture) {
    for (const auto& fixture : std::filesystem::directory_iterator(store_test::FixturePath(""))) {
        ExpectSameBooks(fixture.path().string());
    }
}

const char kHead[] = "<a App='Zelvo Password Manager'><AdminInfo><Account>alice</Account></AdminInfo>";
const char kItem[] = "<Item Index='1'><Account>YWJj</Account><Password>cHcx</Password><Comment/></Item>";

// Whitespace, mixed content, instructions named like elements, and failures before and after the
// items: the places where a reader that does not see the whole tree could part from one that does.
const std::vector<std::string> kDocuments = {
    std::string(kHead) + "<Accounts><Item><Account> <b>YWJj</b> </Account><Password>\n YWJj</Password>"
                         "<Comment> YW<!--x-->Jj<c/> </Comment></Item></Accounts></a>",
    std::string(kHead) + "<Accounts><Item><Account>  </Account><Password> <![CDATA[YWJj]]></Password>"
                         "<Comment>&#89;WJj <!--x--> </Comment></Item></Accounts></a>",
    std::string(kHead) + "<Accounts xml:space='preserve'> <Item> <Account> <b/>YWJj</Account> <Password>"
                         "<?p?> cHcx</Password><Comment>&amp; </Comment></Item></Accounts></a>",
    std::string(kHead) +
        "<Accounts>x<Item><?Account YWJj?><Password/><p:Comment xmlns:p='u'/><Comment/>"
        "</Item><?Item?>" +
        kItem + "</Accounts></a>",
    "<a App='Zelvo Password Manager'> t <?AdminInfo?><?Account alice?><?Password c2VjcmV0?><?Accounts?>" +
        std::string(kItem) + "</a>",
    std::string(kHead) + "<Accounts>" + kItem + kItem + "</Accounts><AdminInfo><?Account?></AdminInfo></a>",
    std::string(kHead) + "<Accounts>" + kItem + "</Accounts><AdminInfo><Account/></AdminInfo></a><b/>",
    std::string(kHead) + "<Accounts>" + kItem + kItem + "</Accounts></a><!-- the end",
    "<!DOCTYPE a><a/>",
    "<a App='Zelvo'>" + std::string(kItem) + "</a>",
};

TEST(AccountFileStreamedRead, GivesTheTreeReadersBookForAwkwardDocuments) {
    const ScratchFolder folder;
    for (std::size_t i = 0; i < kDocuments.size(); ++i) {
        const std::string path = folder.Path() + "/" + std::to_string(i) + ".xml";
        WriteWholeFile(path, kDocuments[i]);
        ExpectSameBooks(path);
    }
}

} // namespace
