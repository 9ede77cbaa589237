// COM-style components found in the program directory, and exports taken by ordinal.
#include "com.h"
#include "afxwin.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
int g_comInitCount = 0;

std::vector<HMODULE>& LoadedComponents() {
    static std::vector<HMODULE> modules;
    return modules;
}

std::vector<std::filesystem::path> SharedLibrariesIn(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> libraries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        std::error_code kindError;
        if (it->path().extension() == ".so" && it->is_regular_file(kindError))
            libraries.push_back(it->path());
    }
    std::sort(libraries.begin(), libraries.end());
    return libraries;
}
// Reads size bytes at offset; false where the file ends before them.
bool ReadAt(int fd, off_t offset, void* into, std::size_t size) {
    return ::pread(fd, into, size, offset) == static_cast<ssize_t>(size);
}

// Whether every part of the shared object that the system's loader maps lies inside the file. A
// truncated library would otherwise be mapped past its end, and the loader dies of SIGBUS on the
// first page it touches there, with no chance to report anything.
bool IsWholeSharedObject(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    Elf64_Ehdr header{};
    bool whole = ::fstat(fd, &info) == 0 && ReadAt(fd, 0, &header, sizeof header) &&
                 std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64 &&
                 header.e_phentsize == sizeof(Elf64_Phdr);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const auto fits = [size](std::uint64_t offset, std::uint64_t length) {
        return offset <= size && length <= size - offset;
    };
    whole = whole && fits(header.e_shoff, std::uint64_t(header.e_shnum) * header.e_shentsize);
    for (unsigned i = 0; whole && i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        whole = ReadAt(fd, off_t(header.e_phoff + i * sizeof segment), &segment, sizeof segment) &&
                (segment.p_type != PT_LOAD || fits(segment.p_offset, segment.p_filesz));
    }
    ::close(fd);
    return whole;
}

HMODULE LoadSharedObject(const std::string& path) {
    return IsWholeSharedObject(path) ? dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
}
} // namespace

HRESULT CoInitialize(void*) {
    return g_comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (g_comInitCount > 0)
        --g_comInitCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    const std::filesystem::path programDir = std::filesystem::path(AfxGetModuleFileName()).parent_path();
    for (const auto& library : SharedLibrariesIn(programDir)) {
        HMODULE module = LoadSharedObject(library.string());
        if (!module)
            continue;
        auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject"));
        if (getClassObject && SUCCEEDED(getClassObject(clsid, iid, object)) && *object) {
            // The library stays loaded for the rest of the run: its objects may live until then.
            LoadedComponents().push_back(module);
            return S_OK;
        }
        *object = nullptr;
        dlclose(module);
    }
    return REGDB_E_CLASSNOTREG;
}

HMODULE AfxLoadLibrary(const std::string& path) {
    return path.empty() ? nullptr : LoadSharedObject(path);
}

void* AfxGetProcAddressByOrdinal(HMODULE module, WORD ordinal) {
    if (!module || ordinal == 0)
        return nullptr;
    const auto* exports = static_cast<const OrdinalExport*>(dlsym(module, "AfxOrdinalExports"));
    for (; exports && exports->ordinal != 0; ++exports)
        if (exports->ordinal == ordinal)
            return exports->function;
    return nullptr;
}

void AfxFreeLibrary(HMODULE module) {
    if (module)
        dlclose(module);
}
