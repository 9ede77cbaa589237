// Components created by class id from the program directory, and exports taken by ordinal.
#include "com.h"
#include "afxwin.h"
#include "testhooks.h"

#include "TestComponent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string kComponentDir = ZELVO_TEST_COMPONENT_DIR;

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { afx_test::ResetAll(); }
    void TearDown() override { afx_test::ResetAll(); }
};

TEST_F(ComTest, CreatesAComponentFoundInTheProgramDirectory) {
    afx_test::SetModuleFileName(kComponentDir + "/Manager");
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    ITestCounter* counter = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                               reinterpret_cast<void**>(&counter)),
              S_OK);
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->Increment(), 1);
    EXPECT_EQ(counter->Increment(), 2);
    // A second object is independent of the first.
    ITestCounter* other = nullptr;
    ASSERT_EQ(
        CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ITestCounter, reinterpret_cast<void**>(&other)),
        S_OK);
    EXPECT_EQ(other->Increment(), 1);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(counter->Release(), 0u);
    CoUninitialize();
    CoUninitialize();
}

TEST_F(ComTest, CreationFailures) {
    const std::filesystem::path empty = std::filesystem::temp_directory_path() / "zelvo-empty-program-dir";
    std::filesystem::create_directories(empty);
    struct Case {
        const char* name;
        std::string programDir;
        CLSID clsid;
        IID iid;
        bool withOuter;
        HRESULT expected;
    };
    const Case cases[] = {
        {"library absent", empty.string(), CLSID_TestCounter, IID_ITestCounter, false, REGDB_E_CLASSNOTREG},
        {"directory absent", (empty / "missing").string(), CLSID_TestCounter, IID_ITestCounter, false,
         REGDB_E_CLASSNOTREG},
        {"unknown class", kComponentDir, CLSID_Nobody, IID_ITestCounter, false, REGDB_E_CLASSNOTREG},
        {"unknown interface", kComponentDir, CLSID_TestCounter, CLSID_Nobody, false, E_NOINTERFACE},
        {"outer object refused", kComponentDir, CLSID_TestCounter, IID_ITestCounter, true, CLASS_E_NOAGGREGATION},
    };
    for (const Case& c : cases) {
        afx_test::SetModuleFileName(c.programDir + "/Manager");
        struct Outer : IUnknown {
            HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
            ULONG AddRef() override { return 1; }
            ULONG Release() override { return 1; }
        } outer;
        void* object = reinterpret_cast<void*>(0x1);
        const HRESULT hr =
            CoCreateInstance(c.clsid, c.withOuter ? &outer : nullptr, CLSCTX_INPROC_SERVER, c.iid, &object);
        EXPECT_TRUE(FAILED(hr)) << c.name;
        if (c.expected != E_NOINTERFACE) {
            EXPECT_EQ(hr, c.expected) << c.name;
        }
        EXPECT_EQ(object, nullptr) << c.name;
    }
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter, nullptr), E_POINTER);
    std::filesystem::remove_all(empty);
}

// Cuts the last page off the library's load segments, which the system's loader would map past the
// end of the file, but keeps its section table whole: moved up to the cut.
void CutLoadSegmentsKeepingSectionTable(const std::filesystem::path& library) {
    std::ifstream in(library, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Elf64_Ehdr header{};
    ASSERT_GE(bytes.size(), sizeof header);
    std::memcpy(&header, bytes.data(), sizeof header);
    std::uint64_t loadEnd = 0;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        std::memcpy(&segment, bytes.data() + header.e_phoff + i * sizeof segment, sizeof segment);
        if (segment.p_type == PT_LOAD)
            loadEnd = std::max<std::uint64_t>(loadEnd, segment.p_offset + segment.p_filesz);
    }
    const std::uint64_t tableSize = std::uint64_t(header.e_shnum) * header.e_shentsize;
    const auto pageSize = std::uint64_t(::sysconf(_SC_PAGESIZE));
    const std::uint64_t lastPage = (loadEnd - 1) / pageSize * pageSize;
    const std::uint64_t cut = (lastPage - tableSize) & ~std::uint64_t(7);
    ASSERT_GT(cut, header.e_phoff + std::uint64_t(header.e_phnum) * sizeof(Elf64_Phdr)) << "the headers stay";
    ASSERT_LE(header.e_shoff + tableSize, bytes.size());
    std::vector<char> cutBytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
    cutBytes.insert(cutBytes.end(), bytes.begin() + std::ptrdiff_t(header.e_shoff),
                    bytes.begin() + std::ptrdiff_t(header.e_shoff + tableSize));
    header.e_shoff = cut;
    std::memcpy(cutBytes.data(), &header, sizeof header);
    std::ofstream(library, std::ios::binary | std::ios::trunc).write(cutBytes.data(), std::streamsize(cutBytes.size()));
}

TEST_F(ComTest, TruncatedLibrariesAreRefusedNotLoaded) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zelvo-truncated-program-dir";
    std::filesystem::create_directories(dir);
    const std::filesystem::path copy = dir / "libzelvo_test_component.so";
    const auto truncatedTo = [](std::uintmax_t size) {
        return [size](const std::filesystem::path& library) { std::filesystem::resize_file(library, size); };
    };
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> cut;
    } cases[] = {
        {"empty", truncatedTo(0)},
        {"64 bytes", truncatedTo(64)},
        {"4096 bytes", truncatedTo(4096)},
        {"6144 bytes", truncatedTo(6144)},
        {"8192 bytes", truncatedTo(8192)},
        {"20000 bytes", truncatedTo(20000)},
        {"load segments cut, section table whole", CutLoadSegmentsKeepingSectionTable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::copy_file(kComponentDir + "/libzelvo_test_component.so", copy,
                                   std::filesystem::copy_options::overwrite_existing);
        c.cut(copy);
        EXPECT_EQ(AfxLoadLibrary(copy.string()), nullptr);
        afx_test::SetModuleFileName((dir / "Manager").string());
        void* object = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter, &object),
                  REGDB_E_CLASSNOTREG);
    }
    std::filesystem::remove_all(dir);
}

TEST_F(ComTest, ExportsByOrdinal) {
    HMODULE module = AfxLoadLibrary(kComponentDir + "/libzelvo_test_ordinals.so");
    ASSERT_NE(module, nullptr);
    auto answer = reinterpret_cast<AnswerFn>(AfxGetProcAddressByOrdinal(module, kOrdinalAnswer));
    auto twice = reinterpret_cast<TwiceFn>(AfxGetProcAddressByOrdinal(module, kOrdinalTwice));
    ASSERT_NE(answer, nullptr);
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(twice(21), 42);
    for (const WORD absent : {WORD(0), WORD(2), WORD(8), WORD(0xFFFF)})
        EXPECT_EQ(AfxGetProcAddressByOrdinal(module, absent), nullptr) << absent;
    AfxFreeLibrary(module);

    // A library without an ordinal table exports nothing by ordinal.
    HMODULE component = AfxLoadLibrary(kComponentDir + "/libzelvo_test_component.so");
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(AfxGetProcAddressByOrdinal(component, 1), nullptr);
    AfxFreeLibrary(component);

    EXPECT_EQ(AfxLoadLibrary(kComponentDir + "/libmissing.so"), nullptr);
    EXPECT_EQ(AfxLoadLibrary(""), nullptr);
    EXPECT_EQ(AfxGetProcAddressByOrdinal(nullptr, 1), nullptr);
    AfxFreeLibrary(nullptr);
}

TEST_F(ComTest, ModuleFileNameDefaultsToTheRunningExecutable) {
    EXPECT_TRUE(std::filesystem::equivalent(AfxGetModuleFileName(), "/proc/self/exe"));
    afx_test::SetModuleFileName("/opt/zelvo dir/Manager");
    EXPECT_EQ(AfxGetModuleFileName(), "/opt/zelvo dir/Manager");
    afx_test::SetCommandLine("");
    EXPECT_EQ(GetCommandLine(), "");
}

TEST_F(ComTest, CommandLineCarriesOnlyTheProgramPathWhereItCan) {
    const struct {
        const char* path;
        const char* line;
        bool carried;
    } cases[] = {
        {"/opt/zelvo/Manager", "/opt/zelvo/Manager", true},
        {"/opt/zelvo dir/Manager", "\"/opt/zelvo dir/Manager\"", true},
        {"/tmp/x/q\"uote/inner/Manager", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        afx_test::SetModuleFileName(c.path);
        EXPECT_EQ(AfxCommandLineCarriesModulePath(), c.carried);
        if (c.line) {
            EXPECT_EQ(GetCommandLine(), c.line);
        }
    }
}

} // namespace
