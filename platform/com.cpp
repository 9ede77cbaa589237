// COM-style components found in the program directory, and exports taken by ordinal.
#include "com.h"
#include "afxwin.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
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
        HMODULE module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
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
    return path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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
