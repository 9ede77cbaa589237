// Loading untrusted or broken files, and saving without ever losing the previous file.
#include "XmlDomTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace xmldom_testing;

namespace {

CXMLDOMDocument2 NewDocument() {
    return CDOMDocument30Class::CreateXMLDOMDocument2(nullptr, 23);
}

// A small saved-config document whose column width text marks which save produced it.
CXMLDOMDocument2 ConfigDocument(const std::string& width) {
    CXMLDOMDocument2 doc = NewDocument();
    CXMLDOMElement root = doc.CreateElement("Config");
    doc.AppendChild(root);
    CXMLDOMElement column = doc.CreateElement("Col0Width");
    column.SetText(width);
    root.AppendChild(column);
    return doc;
}

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

bool AnyTextContains(const CXMLDOMDocument2& doc, const std::string& marker) {
    const CXMLDOMElement root = doc.GetDocumentElement();
    if (root.IsNull())
        return false;
    std::vector<std::string> texts;
    CollectTexts(root, texts);
    for (const std::string& text : texts)
        if (text.find(marker) != std::string::npos)
            return true;
    return false;
}

std::string Nested(int depth) {
    std::string xml;
    for (int i = 0; i < depth; ++i)
        xml += "<a>";
    for (int i = 0; i < depth; ++i)
        xml += "</a>";
    return xml;
}

TEST(XmlDomLoad, BrokenOrForeignFilesFailCleanly) {
    TempDir dir;
    WriteBytes(dir.File("deep.xml"), Nested(100000));
    WriteBytes(dir.File("bad_utf8.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Config>\xFF\xFE</Config>");
    WriteBytes(dir.File("control.xml"), "<Config>&#1;</Config>");
    {
        // Larger than any file the program writes; sparse, so the test stays cheap.
        WriteBytes(dir.File("huge.xml"), "<Config>");
        std::filesystem::resize_file(dir.File("huge.xml"), 64 * 1024 * 1024 + 1);
    }
    const std::vector<std::string> paths = {
        DataFile("truncated.xml"), DataFile("mismatched.xml"),
        DataFile("two_roots.xml"), DataFile("undeclared_entity.xml"),
        DataFile("doctype.xml"),   DataFile("empty.xml"),
        DataFile("not_xml.txt"),   DataFile("billion_laughs.xml"),
        dir.File("missing.xml"),   dir.File("missing/Config.xml"),
        dir.Path().string(),       dir.File("deep.xml"),
        dir.File("bad_utf8.xml"),  dir.File("control.xml"),
        dir.File("huge.xml"),      "",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        CXMLDOMDocument2 doc = NewDocument();
        EXPECT_EQ(doc.Load(path), FALSE);
        EXPECT_NE(doc.GetParseError().GetErrorCode(), 0);
        EXPECT_FALSE(doc.GetParseError().GetReason().empty());
        EXPECT_TRUE(doc.GetDocumentElement().IsNull());
    }
}

// Runs the call with the process's standard error sent to a file, and returns what was written.
std::string StandardErrorOf(const std::function<void()>& call, const TempDir& dir) {
    const std::string capturePath = dir.File("stderr.txt");
    const int capture = ::open(capturePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int saved = ::dup(STDERR_FILENO);
    EXPECT_GE(capture, 0);
    EXPECT_GE(saved, 0);
    std::fflush(stderr);
    ::dup2(capture, STDERR_FILENO);
    call();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(capture);
    return ReadBytes(capturePath);
}

int g_foreignErrors = 0;
void CountForeignError(void* /*context*/, xmlErrorPtr /*error*/) {
    ++g_foreignErrors;
}

TEST(XmlDomLoad, UndecodableFilesFailSilentlyAndLeaveTheErrorHandlerInPlace) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"shift_jis.xml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x81\xFF\xFF</a>"},
        {"euc_jp.xml", "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><a>\xFF\xFF\xFF</a>"},
        {"utf16_surrogate.xml", std::string("\xFF\xFE<\0a\0>\0\0\xD8<\0/\0a\0>\0", 18)},
        {"bad_tail.xml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a/>\n<!-- \x81\xFF\xFF -->\n"},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        WriteBytes(dir.File(name), bytes);
        CXMLDOMDocument2 doc = NewDocument();
        BOOL loaded = TRUE;
        EXPECT_EQ(StandardErrorOf([&] { loaded = doc.Load(dir.File(name)); }, dir), "");
        EXPECT_EQ(loaded, FALSE);
        EXPECT_NE(doc.GetParseError().GetErrorCode(), 0);
    }
    // A handler the host program set is neither called by a load nor replaced by it.
    xmlSetStructuredErrorFunc(nullptr, CountForeignError);
    EXPECT_EQ(NewDocument().Load(dir.File(files[0].first)), FALSE);
    EXPECT_EQ(g_foreignErrors, 0);
    xmlDocPtr broken = xmlReadMemory("<a>", 3, nullptr, nullptr, 0);
    xmlFreeDoc(broken);
    EXPECT_GT(g_foreignErrors, 0);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
}

TEST(XmlDomLoad, OrdinaryNestingLoads) {
    TempDir dir;
    WriteBytes(dir.File("nested.xml"), Nested(100));
    CXMLDOMDocument2 doc = NewDocument();
    EXPECT_TRUE(doc.Load(dir.File("nested.xml")));
}

TEST(XmlDomLoad, EntitiesAreNeverExpandedNorFetched) {
    TempDir dir;
    const std::string marker = "SECRET-MARKER-7731";
    WriteBytes(dir.File("secret.txt"), marker);
    WriteBytes(dir.File("secret.dtd"), "<!ENTITY leak \"" + marker + "\">");
    const std::string secretUri = "file://" + dir.File("secret.txt");
    const std::vector<std::string> documents = {
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secretUri + "\">]><r>&x;</r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"secret.txt\">]><r>&x;</r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secretUri + "\">]><r a=\"b\"><c>&x;</c></r>",
        "<!DOCTYPE r SYSTEM \"secret.dtd\"><r>&leak;</r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dir.File("secret.dtd") + "\"> %p;]><r>&leak;</r>",
        "<!DOCTYPE r [<!ENTITY x \"" + marker + "\">]><r>&x;</r>",
    };
    for (std::size_t i = 0; i < documents.size(); ++i) {
        SCOPED_TRACE(documents[i]);
        const std::string path = dir.File("entity" + std::to_string(i) + ".xml");
        WriteBytes(path, documents[i]);
        CXMLDOMDocument2 doc = NewDocument();
        doc.Load(path);
        EXPECT_FALSE(AnyTextContains(doc, marker));
    }
}

TEST(XmlDomLoad, EntityExpansionBombYieldsNoExpandedText) {
    CXMLDOMDocument2 doc = NewDocument();
    doc.Load(DataFile("billion_laughs.xml"));
    EXPECT_FALSE(AnyTextContains(doc, "lollol"));
}

TEST(XmlDomSave, FailedSaveLeavesThePreviousFileByteForByte) {
    using Setup = std::function<std::string(const TempDir&)>; // prepares the folder, returns the target
    const std::vector<std::pair<std::string, Setup>> cases = {
        {"interrupted before rename",
         [](const TempDir& dir) {
             xmldom_test::FailNextSaveBeforeRename();
             return dir.File("Config.xml");
         }},
        {"target is a folder",
         [](const TempDir& dir) {
             std::filesystem::create_directory(dir.File("Folder.xml"));
             return dir.File("Folder.xml");
         }},
        {"folder is missing", [](const TempDir& dir) { return dir.File("missing/Config.xml"); }},
        {"empty path", [](const TempDir&) { return std::string(); }},
        {"link to a named pipe",
         [](const TempDir& dir) {
             ::mkfifo(dir.File("pipe").c_str(), 0600);
             std::filesystem::create_symlink("pipe", dir.File("Piped.xml"));
             return dir.File("Piped.xml");
         }},
    };
    for (const auto& [label, setup] : cases) {
        SCOPED_TRACE(label);
        TempDir dir;
        const std::string previous = "<?xml version=\"1.0\"?>\n<Config><Col0Width>111</Col0Width></Config>\n";
        WriteBytes(dir.File("Config.xml"), previous);
        const std::string target = setup(dir);
        const std::set<std::string> before = FolderEntries(dir.Path());
        CXMLDOMDocument2 doc = ConfigDocument("222");
        EXPECT_TRUE(ThrowsComException([&] { doc.Save(target); }));
        EXPECT_EQ(ReadBytes(dir.File("Config.xml")), previous);
        EXPECT_EQ(FolderEntries(dir.Path()), before);
        EXPECT_TRUE(!std::filesystem::exists(dir.File("pipe")) || std::filesystem::is_fifo(dir.File("pipe")));
    }
}

TEST(XmlDomSave, SaveAfterAnInterruptedOneSucceeds) {
    TempDir dir;
    xmldom_test::FailNextSaveBeforeRename();
    CXMLDOMDocument2 doc = ConfigDocument("222");
    EXPECT_TRUE(ThrowsComException([&] { doc.Save(dir.File("Config.xml")); }));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Config.xml")));
    doc.Save(dir.File("Config.xml"));
    PlainElement read;
    ASSERT_TRUE(ReadWithLibxml(dir.File("Config.xml"), read));
    ASSERT_EQ(read.children.size(), 1u);
    EXPECT_EQ(read.children[0].text, "222");
    EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"Config.xml"}));
}

TEST(XmlDomSave, NewFilesArePrivateAndReplacedFilesKeepTheirMode) {
    struct Case {
        std::string label;
        bool existing;
        mode_t existingMode;
        mode_t expected;
    };
    const std::vector<Case> cases = {
        {"new file", false, 0, 0600},
        {"replaced world-readable file", true, 0644, 0644},
        {"replaced group-readable file", true, 0640, 0640},
        {"replaced file the owner could not read", true, 0000, 0600},
        {"replaced read-only file", true, 0444, 0644},
    };
    const mode_t oldMask = ::umask(022);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string path = dir.File("Owner.xml");
        if (c.existing) {
            // Longer than the new content, so leftover bytes would show.
            WriteBytes(path, "<Config><Col0Width>" + std::string(4096, '9') + "</Col0Width></Config>");
            ::chmod(path.c_str(), c.existingMode);
        }
        ConfigDocument("150").Save(path);
        EXPECT_EQ(ModeOf(path), c.expected);
        PlainElement read;
        ASSERT_TRUE(ReadWithLibxml(path, read));
        ASSERT_EQ(read.children.size(), 1u);
        EXPECT_EQ(read.children[0].text, "150");
    }
    ::umask(oldMask);
}

TEST(XmlDomSave, BareFileNameSavesIntoTheCurrentFolder) {
    TempDir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    CXMLDOMDocument2 doc = ConfigDocument("150");
    const bool threw = ThrowsComException([&] { doc.Save("Config.xml"); });
    std::filesystem::current_path(previous);
    EXPECT_FALSE(threw);
    PlainElement read;
    ASSERT_TRUE(ReadWithLibxml(dir.File("Config.xml"), read));
    ASSERT_EQ(read.children.size(), 1u);
    EXPECT_EQ(read.children[0].text, "150");
}

// Every case runs with unnamed temporary files and with named ones, as on file systems without them.
const bool kTemporaryKinds[] = {false, true};

TEST(XmlDomSave, LinksAreFollowedToTheirTargetAndKept) {
    for (const bool named : kTemporaryKinds) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        xmldom_test::RefuseUnnamedFiles(named);
        TempDir dir;
        std::filesystem::create_directory(dir.File("synced"));
        WriteBytes(dir.File("synced/Real.xml"), "<Config/>");
        ::chmod(dir.File("synced/Real.xml").c_str(), 0640);
        // A relative link is read from the link's own folder.
        std::filesystem::create_symlink("synced/Real.xml", dir.File("Book.xml"));
        ConfigDocument("150").Save(dir.File("Book.xml"));
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File("Book.xml")));
        EXPECT_NE(ReadBytes(dir.File("synced/Real.xml")).find("150"), std::string::npos);
        EXPECT_EQ(ModeOf(dir.File("synced/Real.xml")), 0640u);
        EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"Book.xml", "synced"}));
        EXPECT_EQ(FolderEntries(dir.File("synced")), (std::set<std::string>{"Real.xml"}));
    }
    xmldom_test::RefuseUnnamedFiles(false);
}

// Streams the document "<Book/>" to the path, replacing only the file that was read there.
void SaveBookDocument(const std::string& path, const FileIdentity& read) {
    CXMLDOMStreamWriter book;
    book.StartElement("Book");
    book.EndElement();
    book.Save(path, &read);
}

// Only the file that was read is replaced, and a file expected to be absent never takes a name that
// another program's file took, even as it is named; the new file's bytes are durable before it has
// the name.
TEST(XmlDomSave, OnlyTheExpectedFileIsEverReplacedAndOnlyOnceItIsDurable) {
    using xmldom_test::SaveInstant;
    struct Case {
        std::string label;
        bool existsWhenRead;
        std::function<void(const std::string&)> meanwhile; // what another program does to the file
        bool saved;
        std::optional<SaveInstant> duringSave = std::nullopt; // otherwise meanwhile happens before the save
    };
    const auto replace = [](const std::string& path) {
        WriteBytes(path + ".new", "<Other/>");
        std::filesystem::rename(path + ".new", path);
    };
    const std::vector<Case> cases = {
        {"unchanged", true, [](const std::string&) {}, true},
        {"replaced", true, replace, false},
        {"rewritten in place", true, [](const std::string& path) { WriteBytes(path, "<Other/>"); }, false},
        {"still absent", false, [](const std::string&) {}, true},
        {"appeared", false, replace, false},
        {"replaced during the save", true, replace, false, SaveInstant::BeforeLastCheck},
        {"appeared during the save", false, replace, false, SaveInstant::BeforeLastCheck},
        {"appeared as the new file was named", false, replace, false, SaveInstant::AtNaming},
    };
    for (const bool named : kTemporaryKinds)
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label + (named ? ", named" : ", unnamed"));
            xmldom_test::RefuseUnnamedFiles(named);
            TempDir dir;
            const std::string path = dir.File("Book.xml");
            if (c.existsWhenRead)
                WriteBytes(path, "<Config/>");
            FileIdentity read;
            ASSERT_TRUE(IdentifyFile(path, read));
            if (c.duringSave)
                xmldom_test::RunBeforeReplacing([&] { c.meanwhile(path); }, *c.duringSave);
            else
                c.meanwhile(path);
            std::vector<std::string> targetAtDataSync;
            file_sync_test::Watch([&](SyncKind kind) {
                if (kind == SyncKind::FileData)
                    targetAtDataSync.push_back(ReadBytes(path));
            });
            EXPECT_EQ(ThrowsComException([&] { SaveBookDocument(path, read); }), !c.saved);
            file_sync_test::Watch(nullptr);
            EXPECT_EQ(ReadBytes(path) == "<Other/>", !c.saved);
            EXPECT_EQ(FolderEntries(dir.Path()).size(), 1u);
            // The new file's bytes were synced while the target did not hold them yet.
            if (c.saved) {
                ASSERT_FALSE(targetAtDataSync.empty());
                EXPECT_EQ(targetAtDataSync.front().find("<Book"), std::string::npos);
            }
        }
    xmldom_test::RefuseUnnamedFiles(false);
}

// A folder inside the directory, nested so deep that a file name of that length in it makes a
// path of exactly the system's limit.
std::string FolderFittingName(const TempDir& dir, std::size_t nameBytes) {
    constexpr std::size_t kStep = 200; // "/" and a name
    std::string folder = dir.Path().string();
    const std::size_t wanted = PATH_MAX - 1 - 1 - nameBytes;
    std::size_t first = (wanted - folder.size()) % kStep;
    if (first < 2)
        first += kStep;
    folder += "/" + std::string(first - 1, 'f');
    while (folder.size() < wanted)
        folder += "/" + std::string(kStep - 1, 'd');
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(XmlDomSave, APathThatJustFitsTheLimitIsSavedThoughItsTemporaryNameIsLonger) {
    for (const bool named : kTemporaryKinds) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        xmldom_test::RefuseUnnamedFiles(named);
        TempDir dir;
        const std::string folder = FolderFittingName(dir, std::strlen("Book.xml"));
        const std::string path = folder + "/Book.xml";
        ASSERT_EQ(path.size(), std::size_t(PATH_MAX - 1));
        EXPECT_FALSE(ThrowsComException([&] { ConfigDocument("150").Save(path); }));
        FileIdentity read;
        ASSERT_TRUE(IdentifyFile(path, read));
        // A book is replaced only while it is the file that was read.
        EXPECT_FALSE(ThrowsComException([&] { SaveBookDocument(path, read); }));
        EXPECT_NE(ReadBytes(path).find("<Book"), std::string::npos);
        EXPECT_EQ(FolderEntries(folder), (std::set<std::string>{"Book.xml"}));
    }
    xmldom_test::RefuseUnnamedFiles(false);
}

// A folder that cannot be synced once the new file took its name leaves that file in place, only
// not yet durable: each writer says so, and none reports a failure while the new name stands.
TEST(XmlDomSave, AFolderThatCannotBeSyncedLeavesTheFilePlacedNotYetDurable) {
    const struct {
        const char* label;
        std::function<bool(const std::string& path, std::string& note)> write;
    } cases[] = {
        {"streamed",
         [](const std::string& path, std::string& note) {
             CXMLDOMStreamWriter book;
             book.StartElement("Book");
             book.EndElement();
             return !ThrowsComException([&] { note = book.Save(path); });
         }},
        {"owner only",
         [](const std::string& path, std::string& note) { return WriteOwnerOnlyFile(path, "<Book/>", nullptr, note); }},
        {"kept open",
         [](const std::string& path, std::string& note) {
             int fd = -1;
             const bool placed = PlaceNewFile(path, "<Book/>", false, fd, nullptr, &note);
             EXPECT_EQ(placed, fd >= 0);
             if (fd >= 0)
                 ::close(fd);
             return placed;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        xmldom_test::FailNextFolderSync();
        std::string note;
        EXPECT_TRUE(c.write(dir.File("Book.xml"), note));
        EXPECT_NE(note.find("not yet durable"), std::string::npos) << note;
        EXPECT_NE(ReadBytes(dir.File("Book.xml")).find("<Book"), std::string::npos);
        EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"Book.xml"}));
    }
}

TEST(XmlDomSave, OnlyLeftoversOfEarlierRunsAreRemoved) {
    TempDir dir;
    const std::set<std::string> kept = {".xmldom-save-ab12", ".xmldom-save-abc1234", "x.xmldom-save-abc123",
                                        "alice.xml", ".xmldom-save-ab_123"};
    for (const std::string& name : kept)
        WriteBytes(dir.File(name), "<a/>");
    WriteBytes(dir.File(".xmldom-save-Ab12Cd"), "<a/>");
    std::filesystem::create_directory(dir.File(".xmldom-save-dir123"));
    // Files written since this run started may belong to another copy's save under way.
    EXPECT_EQ(RemoveLeftoverSaveFiles(dir.Path().string()), 0);
    timespec later{};
    ::clock_gettime(CLOCK_REALTIME, &later);
    later.tv_sec += 1;
    EXPECT_EQ(RemoveLeftoverSaveFiles(dir.Path().string(), later), 1);
    std::set<std::string> expected = kept;
    expected.insert(".xmldom-save-dir123");
    EXPECT_EQ(FolderEntries(dir.Path()), expected);
}

} // namespace
