#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

#include <unistd.h>
#include <vector>

namespace {

std::string CurrentDir() {
    char buffer[MAX_PATH] = {};
    return ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

// A directory name of exactly this many characters, starting at the root.
std::string DirOfLength(std::size_t length) {
    return "/" + std::string(length - 1, 'd');
}

struct AppDirCase {
    const char* name;
    std::string commandLine;
    std::string expected; // "<cwd>" for the current directory
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const AppDirCase& c, std::ostream* os) {
    *os << c.name;
}

class InitAppDirTest : public testing::TestWithParam<AppDirCase> {
protected:
    void SetUp() override { ResetGlobals(); }
    void TearDown() override {
        afx_test::ResetAll();
        ResetGlobals();
    }
};

TEST_P(InitAppDirTest, TakesTheFolderOfTheFirstToken) {
    const AppDirCase& c = GetParam();
    afx_test::SetCommandLine(c.commandLine);
    SetAppDir("/left/over/from/before");
    TestableApp app;
    app.InitAppDir();
    EXPECT_EQ(std::string(g_szAppDir), c.expected == "<cwd>" ? CurrentDir() : c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, InitAppDirTest,
    testing::Values(AppDirCase{"QuotedPathWithSpaces", "\"/opt/Zelvo Tools/Pw/Manager\" --x y", "/opt/Zelvo Tools/Pw"},
                    AppDirCase{"PlainPath", "/usr/lib/zelvo/Manager", "/usr/lib/zelvo"},
                    AppDirCase{"ExecutableInTheRoot", "/Manager", "/"},
                    AppDirCase{"RelativePath", "bin/Manager", "bin"}, AppDirCase{"EmptyLine", "", "<cwd>"},
                    AppDirCase{"OnlyBlanks", "    ", "<cwd>"}, AppDirCase{"NoSeparator", "Manager --x", "<cwd>"},
                    AppDirCase{"SeparatorOnlyInLaterToken", "Manager /tmp/file", "<cwd>"},
                    AppDirCase{"LongestFolderThatFits", DirOfLength(MAX_PATH - 1) + "/Manager",
                               DirOfLength(MAX_PATH - 1)},
                    AppDirCase{"FolderOneTooLong", DirOfLength(MAX_PATH) + "/Manager", ""},
                    AppDirCase{"FarTooLong", DirOfLength(3 * MAX_PATH) + "/Manager", ""}),
    [](const testing::TestParamInfo<AppDirCase>& info) { return std::string(info.param.name); });

struct PathCase {
    const char* name;
    std::string dir;
    std::string file; // "<null>" for a null name
    bool ok;
    std::string expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

class AppDirPathTest : public testing::TestWithParam<PathCase> {
protected:
    void TearDown() override { ResetGlobals(); }
};

TEST_P(AppDirPathTest, JoinsOrRefuses) {
    const PathCase& c = GetParam();
    SetAppDir(c.dir);
    std::string out = "untouched";
    EXPECT_EQ(AppDirPath(c.file == "<null>" ? nullptr : c.file.c_str(), out), c.ok);
    EXPECT_EQ(out, c.ok ? c.expected : "untouched");
}

const std::string kLongName(MAX_PATH - 1 - std::string("/p/").size(), 'n');

INSTANTIATE_TEST_SUITE_P(Paths, AppDirPathTest,
                         testing::Values(PathCase{"Joins", "/home/u/Zelvo", "Config.xml", true,
                                                  "/home/u/Zelvo/Config.xml"},
                                         PathCase{"NameWithFolder", "/home/u/Zelvo", "FileLog/Manager.txt", true,
                                                  "/home/u/Zelvo/FileLog/Manager.txt"},
                                         PathCase{"RootDirectory", "/", "Config.xml", true, "/Config.xml"},
                                         PathCase{"UnknownDirectory", "", "Config.xml", false, ""},
                                         PathCase{"NullName", "/home/u", "<null>", false, ""},
                                         PathCase{"EmptyName", "/home/u", "", false, ""},
                                         PathCase{"LongestThatFits", "/p", kLongName, true, "/p/" + kLongName},
                                         PathCase{"OneTooLong", "/p", kLongName + "x", false, ""}),
                         [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

// Records what the program writes to the log.
struct RecordingLog final : IFileLog {
    std::vector<std::string> lines;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    BYTE Open(const char*) override { return 1; }
    HRESULT Write(const char* line) override {
        lines.emplace_back(line);
        return S_OK;
    }
};

TEST(WriteTrace, FormatsLineAndFunction) {
    RecordingLog log;
    g_pFileLog = &log;
    WriteTrace(63, "CManagerApp::InitInstance");
    WriteTrace(-1, "");
    g_pFileLog = nullptr;
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Line:63,Fun:CManagerApp::InitInstance", "Line:-1,Fun:"}));
}

TEST(WriteTrace, LongFunctionNameIsShortenedToTheBuffer) {
    RecordingLog log;
    g_pFileLog = &log;
    WriteTrace(88, std::string(500, 'f').c_str());
    g_pFileLog = nullptr;
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "Line:88,Fun:" + std::string(127 - 12, 'f'));
}

} // namespace
