// Planning imports: each recognised export gives exactly its rows, the rules of Insert decide which
// rows come in, and a file without the needed columns is refused with the names it needs.
#include "CsvImport.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Rows are written "account|password|comment".
std::vector<std::string> RowsOf(const AccountEntries& entries) {
    std::vector<std::string> rows;
    for (const AccountEntry& entry : entries) {
        const EntryTexts texts = TextsOf(entry);
        rows.push_back(std::string(texts.account) + "|" + std::string(texts.password) + "|" +
                       std::string(texts.comment));
    }
    return rows;
}

AccountEntries EntriesOf(const std::vector<std::string>& rows) {
    AccountEntries entries;
    for (const std::string& row : rows) {
        const std::size_t first = row.find('|');
        const std::size_t second = row.find('|', first + 1);
        entries.push_back(
            store_test::Entry(row.substr(0, first), row.substr(first + 1, second - first - 1), row.substr(second + 1)));
    }
    return entries;
}

// What the plan tells beside its rows, on one line.
std::string Summary(const ImportPlan& plan) {
    std::string text = plan.source + "; listed " + std::to_string(plan.alreadyInList) + "; refused " +
                       std::to_string(plan.refusedRows);
    for (const RefusedRow& row : plan.refused)
        text += " [" + std::to_string(row.line) + " " + DescribeRowProblem(row.problem) + "]";
    text += "; not carried " + std::to_string(plan.rowsWithDataNotCarried);
    for (const std::string& column : plan.columnsNotCarried)
        text += " [" + column + "]";
    return text + "; cut " + std::to_string(plan.commentsCut);
}

struct ExportCase {
    const char* file;
    std::vector<std::string> rows;
    std::string summary;
};

const ExportCase kExports[] = {
    {"chrome.csv",
     {"alice@example.com|s3cret!|example.com", "alice|pa,ss\"word|Bank", "alice.m|mail-pw|https://mail.example/"},
     "Chrome, Chromium or Edge; listed 0; refused 0; not carried 2 [url] [note]; cut 0"},
    {"firefox.csv",
     {"bob|hunter2|https://www.example.com", "bob@example.org|p\"q|https://accounts.example.org"},
     "Firefox; listed 0; refused 1 [4 no account ID]; not carried 0; cut 0"},
    {"bitwarden.csv",
     {"carol|Tr0ub4dor&3|Example", "carol.w|correct horse|VPN"},
     "Bitwarden; listed 0; refused 1 [5 no account ID]; not carried 2 [folder] [notes] [login_uri] [login_totp]; "
     "cut 0"},
    {"keepassxc.csv",
     {"dave|forum-pass|Forum", "dave@mail.example|m@il|Mail", "dave2|no-title|https://notitle.example"},
     "KeePassXC; listed 0; refused 0; not carried 2 [Group] [URL] [Notes] [TOTP]; cut 0"},
    {"keepass1.csv",
     {"admin|r0uter|Home router", "erin|same|Duplicate"},
     "KeePass 1.x; listed 1; refused 0; not carried 1 [Web Site] [Comments]; cut 0"},
    {"lastpass.csv",
     {"frank|sh0p|Shop", "frank|n3ws|News"},
     "LastPass; listed 0; refused 1 [3 no account ID]; not carried 2 [url] [grouping]; cut 0"},
    {"passwordsafe.txt",
     {"grace|b@nk,pw|Banking.My Bank", "grace@mail.example|mail\"pw|Email"},
     "Password Safe; listed 0; refused 0; not carried 2 [URL] [Notes]; cut 0"},
    {"zelvo_keepassxc.csv",
     {"henry|pw \"quoted\"|Mail", "henry2|no comment|"},
     "KeePassXC; listed 0; refused 0; not carried 0; cut 0"},
    {"zelvo_browsers.csv",
     {"ivy|ivy-pw|https://site.example/", "ivy2|x|Notes, with comma"},
     "Chrome, Chromium or Edge; listed 0; refused 0; not carried 0; cut 0"},
    {"generic.csv",
     {"jack|g1t|Git host", "kate|k8|Wiki"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 1 [Remarks]; cut 0"},
};

TEST(CsvImport, EachRecognisedExportGivesExactlyItsRows) {
    for (const ExportCase& c : kExports) {
        ImportPlan plan;
        std::string reason;
        const std::string path = std::string(ZELVO_TEST_DATA) + "/csv/" + c.file;
        ASSERT_TRUE(PlanCsvFileImport(path, EntryIndex(), plan, reason)) << c.file << ": " << reason;
        EXPECT_EQ(RowsOf(plan.entries), c.rows) << c.file;
        EXPECT_EQ(Summary(plan), c.summary) << c.file;
    }
}

const std::string kNeeded = "an import needs a column named \"username\" (or \"user name\", \"login name\", "
                            "\"login_username\", \"login\" or \"user\") and one named \"password\" (or "
                            "\"login_password\"), in any order, whatever their case";

// An export is recognised by its column names only; a file without the needed columns, or beyond
// the limits, is refused with the names it needs, and leaves no part of a plan.
TEST(CsvImport, RecognisesExportsByTheirNamesOnlyAndRefusesFilesWithoutTheNeededOnes) {
    std::string tooMany = "username,password\n";
    for (std::size_t row = 0; row <= kMaxImportRows; ++row)
        tooMany += "u,p" + std::to_string(row) + "\n";
    const struct {
        std::string text;
        std::string source;
        std::string refusal;
    } cases[] = {
        {"name,url,username,password", "Chrome, Chromium or Edge", ""},
        {"password,username,note,url,name", "Chrome, Chromium or Edge", ""},
        {"name,url,username,password,note,totp", kGenericCsvSource, ""},
        {"folder,favorite,type,name,notes,fields,login_uri,login_username,login_password,login_totp", "Bitwarden", ""},
        {"Password,USERNAME", kGenericCsvSource, ""},
        {"name,password\nx,y\n", "", "the file's first line names no username column; " + kNeeded},
        {"user_name,pass\nx,y\n", "",
         "the file's first line names no username column and no password column; " + kNeeded},
        {"Login Name,secret\n", "", "the file's first line names no password column; " + kNeeded},
        {"\n\n", "", "the file is empty; " + kNeeded},
        {"username,password\na,1\n\"b,2\n", "", "line 3: a quoted field is not closed before the end of the file"},
        {tooMany, "", "the file has more than 200000 rows, more than one import takes"},
    };
    for (const auto& [text, source, refusal] : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        ImportPlan plan;
        plan.source = "earlier";
        std::string reason;
        EXPECT_EQ(PlanCsvImport(text, EntryIndex(), plan, reason), refusal.empty());
        EXPECT_EQ(reason, refusal);
        EXPECT_EQ(plan.source, source);
        EXPECT_TRUE(plan.entries.empty()) << "a row of a refused file";
    }
}

TEST(CsvImport, RowsComeInUnderTheRulesOfInsert) {
    const std::string x129(129, 'x');
    const std::string c126(126, 'c');
    // é (C3 A9) crosses byte 128 in the first comment and ends on it in the second.
    const std::string text = "title,username,password,notes\n"
                             "listed,a,1,\nnew,b,2,\nnew,b,2,\nno account,,3,\nno password,d,,\n"
                             "long account," +
                             x129 + ",5,\nlong password,e," + x129 + ",\n" + c126 + "c\xC3\xA9zz,f,6,\n" + c126 +
                             "\xC3\xA9zz,f,7,\n"
                             "noted,g,8,has notes\n,,,\nlisted,a,1,\n";
    ImportPlan plan;
    std::string reason;
    ASSERT_TRUE(PlanCsvImport(text, EntryIndex(EntriesOf({"a|1|listed", "unrelated|9|"})), plan, reason)) << reason;
    EXPECT_EQ(RowsOf(plan.entries),
              (std::vector<std::string>{"b|2|new", "f|6|" + c126 + "c", "f|7|" + c126 + "\xC3\xA9", "g|8|noted"}));
    EXPECT_EQ(Summary(plan), std::string(kGenericCsvSource) +
                                 "; listed 3; refused 4 [5 no account ID] [6 no password] [7 account ID longer than "
                                 "128 bytes] [8 password longer than 128 bytes]; not carried 1 [notes]; cut 2");
}

TEST(CsvImport, ListsTheFirstRefusedRowsAndCountsThemAll) {
    std::string text = "username,password\n";
    for (std::size_t row = 0; row < kMostRefusedRowsListed + 5; ++row)
        text += "only-account,\n";
    ImportPlan plan;
    std::string reason;
    ASSERT_TRUE(PlanCsvImport(text, EntryIndex(), plan, reason)) << reason;
    EXPECT_EQ(plan.refusedRows, kMostRefusedRowsListed + 5);
    ASSERT_EQ(plan.refused.size(), kMostRefusedRowsListed);
    EXPECT_EQ(plan.refused.back().line, kMostRefusedRowsListed + 1);
}

TEST(BookImport, AnotherBooksEntriesComeInUnderTheSameRules) {
    AccountBook other;
    other.vecEntries = EntriesOf({"a|1|listed", "b|2|", "b|2|", "|3|x", "c||"});
    ImportPlan plan;
    PlanBookImport(other, EntryIndex(EntriesOf({"a|1|listed"})), plan);
    EXPECT_EQ(RowsOf(plan.entries), std::vector<std::string>{"b|2|"});
    EXPECT_EQ(Summary(plan),
              "account book; listed 2; refused 2 [4 no account ID] [5 no password]; not carried 0; cut 0");
}

} // namespace
