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

// Each record of the text as "line:field|field|...", and why the text was refused (empty when it was not).
// Once Next has said no, the reader holds no record and gives none.
std::pair<std::vector<std::string>, std::string> ReadAll(const std::string& text) {
    CsvReader reader(text);
    std::vector<std::string> records;
    while (reader.Next()) {
        std::string record = std::to_string(reader.Line()) + ":";
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
};

const ReadCase kReadCases[] = {
    {"CRLF line ends", "a,b\r\nc,d\r\n", {"1:a|b", "2:c|d"}},
    {"LF, last line without its break", "a,b\nc,d", {"1:a|b", "2:c|d"}},
    {"lone CR line ends", "a,b\rc,d\r", {"1:a|b", "2:c|d"}},
    {"separator and doubled quotes inside quotes", "\"x,y\",\"say \"\"hi\"\"\"\n", {"1:x,y|say \"hi\""}},
    {"line breaks inside quotes kept and counted", "\"l1\r\nl2\nl3\",z\nnext,1\n", {"1:l1\r\nl2\nl3|z", "4:next|1"}},
    {"byte-order mark skipped", "\xEF\xBB\xBF\"a\",b\n", {"1:a|b"}},
    {"tabs outnumber commas in the first line", "a\tb\tc,d\n1\t2\t3,4\n", {"1:a|b|c,d", "2:1|2|3,4"}},
    {"a tie keeps the comma", "a\tb,c\n", {"1:a\tb|c"}},
    {"empty lines are no records", "\n\r\na,b\n\n\nc,d\n\n", {"3:a|b", "6:c|d"}},
    {"a quote inside an unquoted field is a character", "ab\"c,d\"\n", {"1:ab\"c|d\""}},
    {"empty fields, quoted or not, and a trailing separator", "a,,\"\",\n", {"1:a|||"}},
    {"bytes that are not UTF-8 kept", "x\xff,\xc3(\n", {"1:x\xff|\xc3("}},
    {"blanks kept", " a , b \n", {"1: a | b "}},
    {"as many columns as allowed", std::string(kMaxCsvColumns - 1, ','), {"1:" + std::string(kMaxCsvColumns - 1, '|')}},
    // Hostile text is refused with its line, and nothing of it is read from there on.
    {"NUL byte", "a,b\nc\0d\n"s, {}, "line 2: a NUL byte, which a text file never holds"},
    {"UTF-16", "\xFF\xFE"s + "a\0,\0b\0"s, {}, "line 1: UTF-16 text; only UTF-8 text can be read"},
    {"open quote", "a,b\n\"open,c\nd\n", {"1:a|b"}, "line 2: a quoted field is not closed before the end of the file"},
    {"text after a closing quote",
     "a\n\"x\ny\"z,d\n",
     {"1:a"},
     "line 3: text follows the closing quote of a field (a quote inside a quoted field must be doubled)"},
    {"one column too many", "a\n" + std::string(kMaxCsvColumns, ','), {"1:a"}, "line 2: more than 1000 columns"},
    {"a million columns", std::string(1'000'000, ','), {}, "line 1: more than 1000 columns"},
};

TEST(CsvReader, ReadsRfc4180AsTheCommonExportsWriteItAndRefusesHostileTextAtItsLine) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.what);
        const auto [records, refusal] = ReadAll(c.text);
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
