// The CSV reader on RFC 4180 text and on text it must refuse, and the safe read of the file to import.
#include "CsvParser.h"
#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

// Each record of the text as "line:field|field|..." (a bad one as "line:!problem"), and why the text
// was refused (empty when it was not). Once Next has said no, the reader holds no record and gives none.
// With a quoted column, Password Safe's fields are read from the second line on.
std::pair<std::vector<std::string>, std::string> ReadAll(const std::string& text, std::size_t quotedColumn = 0,
                                                         bool verbatim = false) {
    CsvReader reader(text);
    std::vector<std::string> records;
    while (reader.Next()) {
        if (verbatim)
            reader.ReadVerbatimExcept(quotedColumn);
        std::string record =
            std::to_string(reader.Line()) + ":" + (reader.Problem().empty() ? "" : "!" + reader.Problem());
        for (std::size_t column = 0; column < reader.Columns(); ++column)
            record += (column == 0 ? "" : "|") + std::string(reader.Field(column));
        records.push_back(record);
    }
    EXPECT_EQ(reader.Columns(), 0u);
    EXPECT_FALSE(reader.Next());
    return {records, reader.Failure()};
}

struct ReadCase {
    const char* what;
    std::string text;
    std::vector<std::string> records; // those read before any refusal
    std::string refusal = {};
    bool verbatim = false; // as Password Safe writes, with the third column quoted
};

const std::string kNotDoubled = "!text follows the closing quote of a field (a quote inside a quoted field must be "
                                "doubled)";

const ReadCase kReadCases[] = {
    {"CRLF line ends", "a,b\r\nc,d\r\n", {"1:a|b", "2:c|d"}},
    {"LF, last line without its break", "a,b\nc,d", {"1:a|b", "2:c|d"}},
    {"lone CR line ends", "a,b\rc,d\r", {"1:a|b", "2:c|d"}},
    {"separator and doubled quotes inside quotes", "\"x,y\",\"say \"\"hi\"\"\"\n", {"1:x,y|say \"hi\""}},
    {"line breaks inside quotes kept and counted", "\"l1\r\nl2\nl3\",z\nnext,1\n", {"1:l1\r\nl2\nl3|z", "4:next|1"}},
    {"byte-order mark skipped", "\xEF\xBB\xBF\"a\",b\n", {"1:a|b"}},
    {"tabs outnumber commas in the first line", "a\tb\tc,d\n1\t2\t3,4\n", {"1:a|b|c,d", "2:1|2|3,4"}},
    {"a tie keeps the comma", "a\tb,c\n", {"1:a\tb|c"}},
    {"semicolons outnumber commas outside quotes", "\"a,b,c\";d;e,f\n1;\"2;3\"\n", {"1:a,b,c|d|e,f", "2:1|2;3"}},
    {"backslash-escaped quotes, where doubling cannot end the field",
     "\"say \\\"hi\\\"\",\"x\\\"\"\n\"c:\\\",z\n",
     {"1:say \"hi\"|x\"", "2:c:\\|z"}},
    {"Password Safe: quotes kept, but in the quoted column",
     "t\tp\tn\n\"abc\"\t\"a\"\"b\t\"multi\nline\"\n\"open\tx\t\n",
     {"1:t|p|n", "2:\"abc\"|\"a\"\"b|multi\nline", "4:\"open|x|"},
     {},
     true},
    {"empty lines are no records", "\n\r\na,b\n\n\nc,d\n\n", {"3:a|b", "6:c|d"}},
    {"a quote inside an unquoted field is a character", "ab\"c,d\"\n", {"1:ab\"c|d\""}},
    {"empty fields, quoted or not, and a trailing separator", "a,,\"\",\n", {"1:a|||"}},
    {"bytes that are not UTF-8 kept", "x\xff,\xc3(\n", {"1:x\xff|\xc3("}},
    {"blanks kept", " a , b \n", {"1: a | b "}},
    {"as many columns as allowed", std::string(kMaxCsvColumns - 1, ','), {"1:" + std::string(kMaxCsvColumns - 1, '|')}},
    // Hostile text is refused with its line, and nothing of it is read from there on.
    {"NUL byte", "a,b\nc\0d\n"s, {}, "line 2: a NUL byte, which a text file never holds"},
    // A bad record is read alone, and reading goes on at the line after the one it started on.
    {"open quote",
     "a,b\n\"open,c\nd\n",
     {"1:a|b", "2:!a quoted field is not closed before the end of the file", "3:d"}},
    {"text after a closing quote", "a\n\"x\ny\"z,d\ne\n", {"1:a", "2:" + kNotDoubled, "3:y\"z|d", "4:e"}},
    {"one column too many",
     "a\n" + std::string(kMaxCsvColumns, ',') + "\nb",
     {"1:a", "2:!more than 1000 columns", "3:b"}},
    {"a million columns", std::string(1'000'000, ','), {"1:!more than 1000 columns"}},
};

TEST(CsvReader, ReadsRfc4180AsTheCommonExportsWriteItAndBadRecordsAlone) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.what);
        const auto [records, refusal] = ReadAll(c.text, 2, c.verbatim);
        EXPECT_EQ(records, c.records);
        EXPECT_EQ(refusal, c.refusal);
    }
}

TEST(ReadImportFile, ReadsOnlyARegularFileWithinTheLimit) {
    ScratchFolder folder;
    WriteWholeFile(folder / "export.csv", "a,b\n");
    ASSERT_EQ(::symlink((folder / "export.csv").c_str(), (folder / "link.csv").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", (folder / "device.csv").c_str()), 0);
    ASSERT_EQ(::mkfifo((folder / "fifo.csv").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((folder / "folder.csv").c_str(), 0700), 0);
    WriteWholeFile(folder / "limit.csv", "");
    std::filesystem::resize_file(folder / "limit.csv", kMaxImportFileBytes);
    WriteWholeFile(folder / "large.csv", "");
    std::filesystem::resize_file(folder / "large.csv", kMaxImportFileBytes + 1);

    const std::pair<const char*, const char*> cases[] = {
        {"export.csv", ""},
        {"link.csv", ""},
        {"limit.csv", ""},
        {"device.csv", "is not a regular file"},
        {"fifo.csv", "is not a regular file"},
        {"folder.csv", "is not a regular file"},
        {"large.csv", "larger than 67108864 bytes"},
        {"missing.csv", "No such file or directory"},
    };
    for (const auto& [name, refusal] : cases) {
        SecretBytes bytes{'x'};
        std::string reason;
        const bool read = ReadImportFile(folder / name, bytes, reason);
        EXPECT_EQ(read, *refusal == '\0') << name;
        EXPECT_NE(reason.find(refusal), std::string::npos) << name << ": " << reason;
        if (read) {
            EXPECT_EQ(bytes.size(), std::filesystem::file_size(folder / name)) << name;
        } else {
            EXPECT_TRUE(bytes.empty()) << name;
        }
    }
}

} // namespace
