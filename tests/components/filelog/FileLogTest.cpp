#include "ScratchDir.h"
#include "FileLogItf.h"
#include "afxwin.h"
#include "testhooks.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr IID kOtherIid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class FileLogComponent : public testing::Test {
protected:
    void SetUp() override {
        m_library = dlopen(ZELVO_FILELOG_LIB, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_library, nullptr) << dlerror();
        m_getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(m_library, "DllGetClassObject"));
        ASSERT_NE(m_getClassObject, nullptr);
        m_dir = NewScratchDir("zelvo-log");
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override {
        afx_test::ResetAll();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
        if (m_library)
            dlclose(m_library);
    }

    IFileLog* NewLog() {
        void* object = nullptr;
        EXPECT_EQ(m_getClassObject(CLSID_FileLog, IID_IFileLog, &object), S_OK);
        return static_cast<IFileLog*>(object);
    }

    void* m_library = nullptr;
    DllGetClassObjectFn m_getClassObject = nullptr;
    std::string m_dir;
};

struct CreateCase {
    const char* name;
    CLSID clsid;
    IID iid;
    HRESULT result;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const CreateCase& c, std::ostream* os) {
    *os << c.name;
}

class FileLogCreation : public FileLogComponent, public testing::WithParamInterface<CreateCase> {};

TEST_P(FileLogCreation, GivesOnlyItsOwnInterfacesOfItsOwnClass) {
    const CreateCase& c = GetParam();
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(m_getClassObject(c.clsid, c.iid, &object), c.result);
    if (SUCCEEDED(c.result)) {
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);
    } else {
        EXPECT_EQ(object, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Ids, FileLogCreation,
                         testing::Values(CreateCase{"LogInterface", CLSID_FileLog, IID_IFileLog, S_OK},
                                         CreateCase{"Unknown", CLSID_FileLog, IID_IUnknown, S_OK},
                                         CreateCase{"OtherInterface", CLSID_FileLog, kOtherIid, E_NOINTERFACE},
                                         CreateCase{"OtherClass", kOtherIid, IID_IFileLog, CLASS_E_CLASSNOTAVAILABLE},
                                         CreateCase{"InterfaceIdAsClassId", IID_IFileLog, IID_IFileLog,
                                                    CLASS_E_CLASSNOTAVAILABLE}),
                         [](const testing::TestParamInfo<CreateCase>& info) { return std::string(info.param.name); });

TEST_F(FileLogComponent, NullOutPointerIsRefused) {
    EXPECT_EQ(m_getClassObject(CLSID_FileLog, IID_IFileLog, nullptr), E_POINTER);
}

TEST_F(FileLogComponent, CountsReferencesAcrossInterfaces) {
    IFileLog* log = NewLog();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->AddRef(), 2u);
    void* unknown = nullptr;
    ASSERT_EQ(log->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(log));
    void* other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(log->QueryInterface(kOtherIid, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(log->QueryInterface(IID_IFileLog, nullptr), E_POINTER);
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 2u);
    EXPECT_EQ(log->Release(), 1u);
    EXPECT_EQ(log->Release(), 0u);
}

TEST_F(FileLogComponent, WritesTimeStampedLinesAppendedToWhatIsThere) {
    const std::string path = m_dir + "/Manager.txt";
    std::ofstream(path) << "earlier line\n";
    IFileLog* log = NewLog();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->Write("before open"), S_FALSE);
    EXPECT_EQ(log->Open(path.c_str()), 1);
    EXPECT_EQ(log->Write("Line:63,Fun:CManagerApp::InitInstance"), S_OK);
    EXPECT_EQ(log->Write("two\nparts"), S_OK);
    EXPECT_EQ(log->Write(nullptr), E_POINTER);
    const std::vector<std::string> lines = Lines(path); // read while the file is still open: no buffering
    log->Release();

    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier line");
    const std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d{4} (.*))");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[1], match, stamped)) << lines[1];
    EXPECT_EQ(match[1], "Line:63,Fun:CManagerApp::InitInstance");
    ASSERT_TRUE(std::regex_match(lines[2], match, stamped)) << lines[2];
    EXPECT_EQ(match[1], "two parts");
}

TEST_F(FileLogComponent, NewFileIsPrivateToItsOwner) {
    const std::string path = m_dir + "/new.txt";
    IFileLog* log = NewLog();
    ASSERT_EQ(log->Open(path.c_str()), 1);
    log->Release();
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(FileLogComponent, OpenFailureLeavesWritesDropped) {
    IFileLog* log = NewLog();
    std::ofstream(m_dir + "/FileLog") << "a file, not a folder";
    for (const char* path : {"", "/nonexistent-folder/x/Manager.txt"})
        EXPECT_EQ(log->Open(path), 0) << path;
    EXPECT_EQ(log->Open((m_dir + "/FileLog/Manager.txt").c_str()), 0);
    EXPECT_EQ(log->Open(nullptr), 0);
    EXPECT_EQ(log->Write("lost"), S_FALSE);
    log->Release();
    EXPECT_EQ(Lines(m_dir + "/FileLog"), std::vector<std::string>{"a file, not a folder"});
}

// Each case plants something where the log goes; the log must refuse it and write nowhere.
struct HostileCase {
    const char* name;
    void (*plant)(const std::string& dir); // prepares dir/FileLog/Manager.txt or its folder
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class FileLogHostilePath : public FileLogComponent, public testing::WithParamInterface<HostileCase> {};

TEST_P(FileLogHostilePath, IsRefusedAndNothingIsWrittenAnywhere) {
    fs::create_directory(m_dir + "/FileLog");
    std::ofstream(m_dir + "/elsewhere.txt") << "victim\n";
    fs::permissions(m_dir + "/elsewhere.txt", fs::perms(0644));
    GetParam().plant(m_dir);
    if (IsSkipped())
        return;
    IFileLog* log = NewLog();
    EXPECT_EQ(log->Open((m_dir + "/FileLog/Manager.txt").c_str()), 0);
    EXPECT_EQ(log->Write("Line:87,Fun:CDlgLogin::OnBnClickedOk"), S_FALSE);
    log->Release();
    EXPECT_EQ(Lines(m_dir + "/elsewhere.txt"), std::vector<std::string>{"victim"});
    EXPECT_EQ(fs::status(m_dir + "/elsewhere.txt").permissions(), fs::perms(0644));
    EXPECT_FALSE(fs::exists(m_dir + "/created-through-link.txt"));
    EXPECT_FALSE(fs::exists(m_dir + "/Manager.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Plants, FileLogHostilePath,
    testing::Values(
        HostileCase{"LinkToAFile",
                    [](const std::string& d) { fs::create_symlink(d + "/elsewhere.txt", d + "/FileLog/Manager.txt"); }},
        HostileCase{"DanglingLink",
                    [](const std::string& d) {
                        fs::create_symlink(d + "/created-through-link.txt", d + "/FileLog/Manager.txt");
                    }},
        HostileCase{"FolderIsALink",
                    [](const std::string& d) {
                        fs::remove(d + "/FileLog");
                        fs::create_directory_symlink(d, d + "/FileLog");
                    }},
        HostileCase{
            "HardLinkToAFile",
            [](const std::string& d) { fs::create_hard_link(d + "/elsewhere.txt", d + "/FileLog/Manager.txt"); }},
        HostileCase{"NamedPipe", [](const std::string& d) { ::mkfifo((d + "/FileLog/Manager.txt").c_str(), 0600); }},
        HostileCase{"Folder", [](const std::string& d) { fs::create_directory(d + "/FileLog/Manager.txt"); }},
        HostileCase{"OtherUsersFile",
                    [](const std::string& d) {
                        const std::string path = d + "/FileLog/Manager.txt";
                        std::ofstream(path) << "theirs\n";
                        // Only a privileged test run can hand a file to another user.
                        if (::chown(path.c_str(), ::geteuid() + 1, ::getegid()) != 0)
                            GTEST_SKIP() << "cannot give a file to another user without privileges";
                    }}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

TEST_F(FileLogComponent, ReopeningMovesToTheNewFile) {
    IFileLog* log = NewLog();
    ASSERT_EQ(log->Open((m_dir + "/a.txt").c_str()), 1);
    log->Write("first");
    ASSERT_EQ(log->Open((m_dir + "/b.txt").c_str()), 1);
    log->Write("second");
    log->Release();
    EXPECT_EQ(Lines(m_dir + "/a.txt").size(), 1u);
    ASSERT_EQ(Lines(m_dir + "/b.txt").size(), 1u);
    EXPECT_NE(Lines(m_dir + "/b.txt")[0].find(" second"), std::string::npos);
}

TEST_F(FileLogComponent, IsFoundByClassIdInTheProgramDirectory) {
    afx_test::SetModuleFileName((fs::path(ZELVO_FILELOG_LIB).parent_path() / "Manager").string());
    IFileLog* log = nullptr;
    ASSERT_EQ(
        CoCreateInstance(CLSID_FileLog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileLog, reinterpret_cast<void**>(&log)),
        S_OK);
    ASSERT_NE(log, nullptr);
    const std::string path = m_dir + "/Manager.txt";
    EXPECT_EQ(log->Open(path.c_str()), 1);
    log->Write("Line:87,Fun:CDlgLogin::OnBnClickedOk");
    EXPECT_EQ(log->Release(), 0u);
    ASSERT_EQ(Lines(path).size(), 1u);
    EXPECT_NE(Lines(path)[0].find(" Line:87,Fun:CDlgLogin::OnBnClickedOk"), std::string::npos);

    afx_test::SetModuleFileName(m_dir + "/Manager"); // no components there
    EXPECT_LT(
        CoCreateInstance(CLSID_FileLog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileLog, reinterpret_cast<void**>(&log)),
        0);
    EXPECT_EQ(log, nullptr);
}

} // namespace
