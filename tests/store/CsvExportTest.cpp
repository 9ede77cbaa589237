// The export: its exact bytes, the round trip through an import, and where it refuses to write.
#include "CsvExport.h"
#include "ExportImport.h"
#include "StoreTestSupport.h"
#include "xmldom.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using store_test::Entry;
using store_test::ReadWholeFile;
using store_test::ScratchFolder;
using store_test::WriteWholeFile;

std::string Formatted(const AccountEntries& entries, ExportLayout layout) {
    SecretBytes bytes;
    FormatCsvExport(entries, layout, bytes);
    return {bytes.begin(), bytes.end()};
}

TEST(CsvExport, WritesEveryFieldQuotedWithCrLfLineEnds) {
    const AccountEntries entries = {Entry("ann", "p\"w", "https://site.example"), Entry("bo", "x", "Plain, note")};
    EXPECT_EQ(Formatted(entries, ExportLayout::KeePassXC),
              "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\",\"Last "
              "Modified\",\"Created\"\r\n"
              "\"\",\"https://site.example\",\"ann\",\"p\"\"w\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
              "\"\",\"Plain, note\",\"bo\",\"x\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(Formatted(entries, ExportLayout::Browsers),
              "\"name\",\"url\",\"username\",\"password\",\"note\"\r\n"
              "\"https://site.example\",\"https://site.example\",\"ann\",\"p\"\"w\",\"\"\r\n"
              "\"Plain, note\",\"\",\"bo\",\"x\",\"\"\r\n");
}

// Text that is UTF-8 comes back byte for byte; bytes that are not come back read as Windows-1252.
TEST(CsvExport, AnImportOfTheExportGivesTheSameListByteForByte) {
    const AccountEntries entries = {
        Entry("plain", "pw", ""),
        Entry("quote\"d", "\"\"", "\"starts with a quote"),
        Entry("comma,and\ttab", "line\r\nbreak\rand\nmore", "=1+2 stays as it is"),
        Entry("\xff\xfe not UTF-8 \xc3", "\xef\xbb\xbfmark", " blanks around "),
        Entry("http://a", "http://b", "HTTPS://comment.example/"),
        Entry(std::string(128, 'a'), std::string(128, '"'), std::string(128, ',')),
    };
    AccountEntries imported = entries;
    CopyFieldText(imported[3].szAccount, "\xC3\xBF\xC3\xBE not UTF-8 \xC3\x83");
    for (const ExportLayout layout : {ExportLayout::KeePassXC, ExportLayout::Browsers}) {
        ScratchFolder folder;
        const std::string path = folder / "export.csv";
        std::string reason;
        ASSERT_TRUE(ExportCsvFile(entries, layout, path, folder / "program", reason)) << reason;
        ImportPlan plan;
        ASSERT_TRUE(PlanExportFileImport(path, EntryIndex(), plan, reason)) << reason;
        EXPECT_TRUE(SameEntryTexts(plan.entries, imported)) << "layout " << int(layout);
        EXPECT_EQ(plan.rowsWithDataNotCarried + plan.alreadyInList + plan.refusedRows + plan.commentsCut, 0u);
    }
}

// Sets the process's file mode mask for a test and puts the earlier one back.
class Umask {
public:
    explicit Umask(mode_t mask) : m_saved(::umask(mask)) {}
    ~Umask() { ::umask(m_saved); }

private:
    mode_t m_saved;
};

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

struct PlaceCase {
    const char* name; // in the scratch folder; "program/..." lies in the program's folder
    const char* refusal;
};

const PlaceCase kPlaces[] = {
    {"link.csv", "is a symbolic link"},
    {"book-elsewhere.csv", "is an XML document"},
    {"folder.csv", "is a folder"},
    {"fifo.csv", "is not a regular file"},
    {"program/alice.xml", "is a name of the program's books"},
    {"program/new.xml", "is a name of the program's books"},
    {"program/alice.xml.journal", "is a name of the program's books"},
    {"program/Alice.XML.lock", "is a name of the program's books"},
    {"program/.xmldom-save-Ab12Cd", "is a name of the program's books"},
    {"program/Manager", "is a file of the program's folder"},
    {"program/FileLog/Manager.txt", "is a file of the program's folder"},
    {"program-link/alice.xml", "is a name of the program's books"},
    {"program/earlier.csv", ""},
    {"program/new.csv", ""},
};

// Written as the owner's alone, whatever the mask and whatever the file it replaced allowed; never
// through a link, nor over a book or a file of the program.
TEST(CsvExport, WritesAPrivateFileNeverThroughALinkNorOverABookOrAFileOfTheProgram) {
    const Umask open(0);
    ScratchFolder folder;
    const std::string program = folder / "program";
    ASSERT_EQ(::mkdir(program.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((program + "/FileLog").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(program.c_str(), (folder / "program-link").c_str()), 0);
    const std::string book = "<?xml version=\"1.0\"?>\n<alice App=\"Zelvo Password Manager\"/>\n";
    for (const char* file :
         {"target.csv", "book-elsewhere.csv", "program/alice.xml", "program/alice.xml.journal",
          "program/Alice.XML.lock", "program/Manager", "program/FileLog/Manager.txt", "program/earlier.csv"})
        WriteWholeFile(folder / file, file == "book-elsewhere.csv"s ? book : "kept"s);
    ASSERT_EQ(::symlink((folder / "target.csv").c_str(), (folder / "link.csv").c_str()), 0);
    ASSERT_EQ(::mkdir((folder / "folder.csv").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((folder / "fifo.csv").c_str(), 0600), 0);
    ASSERT_EQ(::chmod((program + "/earlier.csv").c_str(), 0666), 0);

    for (const PlaceCase& c : kPlaces) {
        const std::string path = folder / c.name;
        // A pipe is never opened here: reading it would wait for a writer.
        const std::string before = std::filesystem::is_regular_file(path) ? ReadWholeFile(path) : "";
        std::string reason;
        const bool written = ExportCsvFile({Entry("a", "1", "")}, ExportLayout::Browsers, path, program, reason);
        EXPECT_EQ(written, *c.refusal == '\0') << c.name;
        EXPECT_NE(reason.find(c.refusal), std::string::npos) << c.name << ": " << reason;
        if (written) {
            EXPECT_EQ(ModeOf(path), 0600u) << c.name;
            EXPECT_NE(ReadWholeFile(path).find("\"a\",\"1\""), std::string::npos) << c.name;
        } else if (std::filesystem::is_regular_file(path)) {
            EXPECT_EQ(ReadWholeFile(path), before) << c.name;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "program/new.xml"));
}

TEST(CsvExport, AFileThatAppearsMeanwhileIsKept) {
    ScratchFolder folder;
    const std::string path = folder / "export.csv";
    xmldom_test::RunBeforeReplacing([&] { WriteWholeFile(path, "theirs"); });
    std::string reason;
    EXPECT_FALSE(ExportCsvFile({Entry("a", "1", "")}, ExportLayout::KeePassXC, path, "", reason));
    EXPECT_EQ(ReadWholeFile(path), "theirs") << reason;
}

} // namespace
