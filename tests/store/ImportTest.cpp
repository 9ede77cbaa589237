// Planning imports: each file of the corpus gives exactly its rows and names what stays behind, the
// rules of Insert decide which rows come in, and a file without the needed columns is refused with
// the names it needs.
#include "CsvImport.h"
#include "ExportImport.h"
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
    std::string text = plan.source + (plan.conversion.empty() ? "" : " (" + plan.conversion + ")") + "; listed " +
                       std::to_string(plan.alreadyInList) + "; refused " + std::to_string(plan.refusedRows) +
                       "; not carried " + std::to_string(plan.rowsWithDataNotCarried);
    for (const std::string& column : plan.columnsNotCarried)
        text += " [" + column + "]";
    return text + "; cut " + std::to_string(plan.commentsCut);
}

// The rows Show Left Out lists, as "place title: why".
std::vector<std::string> LeftOutOf(const ImportPlan& plan) {
    std::vector<std::string> rows;
    for (const LeftOutRow& row : plan.leftOut)
        rows.push_back(std::to_string(row.place) + " " + row.title + ": " + DescribeLeftOut(row));
    return rows;
}

constexpr char kNotes[] = ": comes in; its notes are not imported";
constexpr char kNear[] = ": comes in; same account ID and password as another entry";

struct CorpusCase {
    const char* file;
    std::vector<std::string> rows; // "account|password|comment", as they come in
    std::string summary;           // empty: the file is refused whole, for the reason
    std::vector<std::string> leftOut = {};
    std::string refusal = {};
    std::vector<std::string> list = {}; // the rows in the list before
};

// Hand-written files of each format and of each fault seen in real exports.
const CorpusCase kCorpus[] = {
    {"chrome.csv",
     {"alice@example.com|s3cret!|example.com", "alice|pa,ss\"word|Bank", "alice.m|mail-pw|https://mail.example/"},
     "Chrome, Chromium or Edge; listed 0; refused 0; not carried 2 [url] [note]; cut 0",
     {std::string("3 Bank") + kNotes}},
    {"firefox.csv",
     {"bob|hunter2|https://www.example.com", "bob@example.org|p\"q|https://accounts.example.org"},
     "Firefox; listed 0; refused 1; not carried 0; cut 0",
     {"4 https://nouser.example: no account ID"}},
    {"bitwarden.csv",
     {"carol|Tr0ub4dor&3|Example", "carol.w|correct horse|VPN"},
     "Bitwarden; listed 0; refused 1; not carried 2 [folder] [notes] [login_uri] [login_totp]; cut 0",
     {std::string("3 VPN") + kNotes, "5 Shopping list: no account ID"}},
    {"keepassxc.csv",
     {"dave|forum-pass|Forum", "dave@mail.example|m@il|Mail", "dave2|no-title|https://notitle.example"},
     "KeePassXC; listed 0; refused 0; not carried 2 [Group] [URL] [Notes] [TOTP]; cut 0",
     {std::string("3 Mail") + kNotes}},
    {"keepass1.csv",
     {"admin|r0uter|Home router", "erin|same|Duplicate"},
     "KeePass 1.x; listed 1; refused 0; not carried 1 [Web Site] [Comments]; cut 0",
     {std::string("2 Home router") + kNotes, "4 Duplicate: repeats an earlier row"}},
    {"lastpass.csv",
     {"frank|sh0p|Shop", "frank|n3ws|News"},
     "LastPass; listed 0; refused 1; not carried 2 [url] [grouping]; cut 0",
     {"3 Home address: no account ID"}},
    {"passwordsafe.txt",
     {"grace|b@nk,pw|Banking.My Bank", "grace@mail.example|mail\"pw|Email"},
     "Password Safe; listed 0; refused 0; not carried 2 [URL] [Notes]; cut 0",
     {std::string("3 Email") + kNotes}},
    {"zelvo_keepassxc.csv",
     {"henry|pw \"quoted\"|Mail", "henry2|no comment|"},
     "KeePassXC; listed 0; refused 0; not carried 0; cut 0"},
    {"zelvo_browsers.csv",
     {"ivy|ivy-pw|https://site.example/", "ivy2|x|Notes, with comma"},
     "Chrome, Chromium or Edge; listed 0; refused 0; not carried 0; cut 0"},
    {"generic.csv",
     {"jack|g1t|Git host", "kate|k8|Wiki"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 1 [Remarks]; cut 0"},
    // Password Safe's fields byte for byte, quotes included; only Notes is unwrapped.
    {"passwordsafe-quoted-fields.txt",
     {"quinn|\"abc\"|Quoted.Both ends", "quinn2|\"a\"\"b\"|Quoted.Doubled", "quinn3|\"start|Quoted.Opening only",
      "quinn4|pw\"|Shop \"Best\""},
     "Password Safe; listed 0; refused 0; not carried 1 [Notes]; cut 0",
     {std::string("5 Shop \"Best\"") + kNotes}},
    {"1password-mac-backslash-quotes.csv",
     {"rosa|p\"w|Say \"hi\"", "rosa2|c:\\\\dir\\\\|Plain", "rosa3|pass\"|Ends in a quote"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 2 [website] [notes]; cut 0",
     {std::string("2 Say \"hi\"") + kNotes, std::string("3 Plain") + kNotes}},
    {"firefox-stray-quote.csv",
     {"sam|pw-1|https://one.example", "sam3|pw-3|https://three.example"},
     "Firefox; listed 0; refused 1; not carried 0; cut 0",
     {"3 : cannot be read: text follows the closing quote of a field (a quote inside a quoted field must be "
      "doubled)"}},
    {"firefox-mostly-unreadable.csv",
     {},
     "",
     {},
     "2 of the file's 3 records cannot be read, the first at line 3: text follows the closing quote of a field (a "
     "quote inside a quoted field must be doubled)"},
    {"excel-semicolon.csv",
     {"tom|pa;ss|Bank", "tom@mail.example|m,ail|Mail"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 1 [URL]; cut 0"},
    {"chromium-hostname-account.csv",
     {"uma|f0rum|https://forum.example"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 0; cut 0"},
    {"chromium-origin.csv",
     {"vic|0rigin|https://origin.example/"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 0; cut 0"},
    {"delinea-secret-name.csv",
     {"wes|payr0ll|Payroll"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 1 [Folder Path] [URL]; cut 0"},
    {"myki-nickname.csv",
     {"xena|cl0ud|Cloud"},
     std::string(kGenericCsvSource) + "; listed 0; refused 0; not carried 1 [url] [status]; cut 0"},
    {"windows-1252.csv",
     {"j\xC3\xB6hn|pr\xC3\xA8s\xE2\x82\xAC|B\xC3\xBC"
      "cher"},
     "Chrome, Chromium or Edge (The file is not all UTF-8: what is not was read as Windows-1252 and converted.); "
     "listed 0; "
     "refused 0; not carried 1 [url]; cut 0"},
    {"invalid-utf8.csv",
     {"kurt\xC3\x80\xC2\xAF|pw|Odd bytes"},
     std::string(kGenericCsvSource) +
         " (The file is not all UTF-8: what is not was read as Windows-1252 and converted.); listed 0; refused 0; not "
         "carried 0; cut 0"},
    {"utf16le-without-bom.csv",
     {"l\xC3\xA9"
      "a|pw\xE2\x82\xAC|Caf\xC3\xA9 \xF0\x9F\x94\x91"},
     std::string(kGenericCsvSource) +
         " (The file is UTF-16 (little-endian): its text was converted to UTF-8.); listed 0; refused 0; not carried "
         "0; cut 0"},
    {"utf16be-with-bom.csv",
     {"l\xC3\xA9"
      "a|pw\xE2\x82\xAC|Caf\xC3\xA9 \xF0\x9F\x94\x91"},
     std::string(kGenericCsvSource) +
         " (The file is UTF-16 (big-endian): its text was converted to UTF-8.); listed 0; refused 0; not carried 0; "
         "cut 0"},
    {"utf16le-unpaired-surrogate.csv",
     {},
     "",
     {},
     "UTF-16 (little-endian) text with an unpaired surrogate at byte 42, which cannot be converted"},
    // A top group of any name holds no data; a group below it does.
    {"keepassxc-top-group-passwords.csv",
     {"octo|gh-pass|GitHub", "octo@mail.example|m@il|Mail"},
     "KeePassXC; listed 0; refused 0; not carried 2 [Group] [URL] [Notes]; cut 0",
     {std::string("3 Mail") + kNotes}},
    // What a person needs to act on: duplicates, notes, a refused row and near duplicates, by title.
    {"chrome-left-out.csv",
     {"octo|gh-pass|github.com", "yara|b4nk|bank.example", "octo|gh-pass|GitHub (work)"},
     "Chrome, Chromium or Edge; listed 1; refused 1; not carried 3 [url] [note]; cut 0",
     {std::string("3 bank.example") + kNotes, "4 github.com: repeats an earlier row", "5 shop.example: no account ID",
      std::string("6 GitHub (work)") + kNear}},
    {"keepass2.xml",
     {"octo|gh-pass|GitHub", "admin|<p&w> \"q\"|https://router.example", "octo@mail.example|m@il|Mail"},
     "KeePass 2 XML; listed 0; refused 2; not carried 2 [URL] [History] [Group] [Notes] [PIN] [Tags] "
     "[Attachments]; cut 0",
     {std::string("13 GitHub") + kNear, std::string("40 Mail") + kNotes,
      "50 From a KDBX: cannot be read: encrypted for the database; export it from KeePass as XML",
      "56 No password yet: no password"},
     {},
     {"octo|gh-pass|github.com"}},
    {"keepass2-doctype.xml",
     {},
     "",
     {},
     "the XML holds a document type declaration, which a KeePass export never does"},
    {"bitwarden.json",
     {"octo|gh-pass|GitHub", "octo@mail.example|m@il \"q\" \xC3\xA9|Mail"},
     "Bitwarden JSON; listed 0; refused 3; not carried 2 [uris] [folder] [notes] [fields] [totp]; cut 0",
     {std::string("1 GitHub") + kNear, std::string("2 Mail") + kNotes, "3 Wi-Fi: not a login: a secure note",
      "4 Visa: not a login: a card", "5 https://nameless.example: no account ID"},
     {},
     {"octo|gh-pass|github.com"}},
    {"bitwarden-encrypted.json",
     {},
     "",
     {},
     "the Bitwarden export is encrypted; export the vault again as unencrypted JSON"},
};

TEST(Import, EachFileOfTheCorpusGivesExactlyItsRowsAndNamesWhatStaysBehind) {
    for (const CorpusCase& c : kCorpus) {
        SCOPED_TRACE(c.file);
        ImportPlan plan;
        std::string reason;
        const std::string path = std::string(ZELVO_TEST_DATA) + "/import/" + c.file;
        EXPECT_EQ(PlanExportFileImport(path, EntryIndex(EntriesOf(c.list)), plan, reason), c.refusal.empty());
        EXPECT_EQ(reason, c.refusal);
        EXPECT_EQ(RowsOf(plan.entries), c.rows);
        EXPECT_EQ(c.summary.empty() ? "" : Summary(plan), c.summary);
        EXPECT_EQ(LeftOutOf(plan), c.leftOut);
    }
}

const std::string kNeeded = "an import needs a column named \"username\" (or \"user name\", \"login name\", "
                            "\"login_username\", \"login\", \"user\" or \"account\") and one named \"password\" (or "
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
        {"username;Password", kGenericCsvSource, ""},
        {"\"username,password\na,1\n", "", "line 1: a quoted field is not closed before the end of the file"},
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
    EXPECT_EQ(Summary(plan), std::string(kGenericCsvSource) + "; listed 3; refused 4; not carried 1 [notes]; cut 2");
    EXPECT_EQ(LeftOutOf(plan),
              (std::vector<std::string>{"2 listed: already in the list", "4 new: repeats an earlier row",
                                        "5 no account: no account ID", "6 no password: no password",
                                        "7 long account: account ID longer than 128 bytes",
                                        "8 long password: password longer than 128 bytes",
                                        std::string("11 noted") + kNotes, "13 listed: already in the list"}));
}

TEST(CsvImport, ListsTheFirstRowsLeftOutAndCountsThemAll) {
    std::string text = "username,password\n";
    for (std::size_t row = 0; row < kMostLeftOutRowsListed + 5; ++row)
        text += "only-account,\n";
    ImportPlan plan;
    std::string reason;
    ASSERT_TRUE(PlanCsvImport(text, EntryIndex(), plan, reason)) << reason;
    EXPECT_EQ(plan.refusedRows, kMostLeftOutRowsListed + 5);
    EXPECT_EQ(plan.leftOutRows, kMostLeftOutRowsListed + 5);
    ASSERT_EQ(plan.leftOut.size(), kMostLeftOutRowsListed);
    EXPECT_EQ(plan.leftOut.back().place, kMostLeftOutRowsListed + 1);
}

// Near duplicates come in unless the user leaves them out, and then only they stay out.
TEST(ImportPlan, LeavingOutNearDuplicatesTakesOnlyThem) {
    const std::string text = "title,username,password\nA,u,1\nB,u,1\nC,v,2\nD,v,2\nE,w,3\n";
    ImportPlan plan;
    std::string reason;
    ASSERT_TRUE(PlanCsvImport(text, EntryIndex(EntriesOf({"w|3|listed"})), plan, reason)) << reason;
    EXPECT_EQ(plan.nearDuplicates, (std::vector<std::size_t>{1, 3, 4}));
    plan.LeaveOutNearDuplicates();
    EXPECT_EQ(RowsOf(plan.entries), (std::vector<std::string>{"u|1|A", "v|2|C"}));
}

TEST(BookImport, AnotherBooksEntriesComeInUnderTheSameRules) {
    AccountBook other;
    other.vecEntries = EntriesOf({"a|1|listed", "b|2|", "b|2|", "|3|x", "c||"});
    ImportPlan plan;
    PlanBookImport(other, EntryIndex(EntriesOf({"a|1|listed"})), plan);
    EXPECT_EQ(RowsOf(plan.entries), std::vector<std::string>{"b|2|"});
    EXPECT_EQ(Summary(plan), "account book; listed 2; refused 2; not carried 0; cut 0");
    EXPECT_EQ(LeftOutOf(plan), (std::vector<std::string>{"1 listed: already in the list", "3 : repeats an earlier row",
                                                         "4 x: no account ID", "5 : no password"}));
}

} // namespace
