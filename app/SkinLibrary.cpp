#include "SkinLibrary.h"

#include "afxwin.h"

#include <filesystem>

namespace {
constexpr WORD kLoadSkinOrdinal = 2;
constexpr WORD kUnloadSkinOrdinal = 3;
using LoadSkinFn = BOOL (*)(const char* bitmapPath);
using UnloadSkinFn = void (*)();

// The library lives beside the executable, like the other components.
std::string SkinLibraryPath() {
    return (std::filesystem::path(AfxGetModuleFileName()).parent_path() / "Skin.so").string();
}
} // namespace

CSkinLibrary::~CSkinLibrary() {
    AfxFreeLibrary(m_hModule);
}

bool CSkinLibrary::EnsureLoaded() {
    if (!m_hModule)
        m_hModule = AfxLoadLibrary(SkinLibraryPath());
    return m_hModule != nullptr;
}

bool CSkinLibrary::LoadSkin(const std::string& bitmapPath) {
    if (!EnsureLoaded())
        return false;
    auto load = reinterpret_cast<LoadSkinFn>(AfxGetProcAddressByOrdinal(m_hModule, kLoadSkinOrdinal));
    // Only the lowest byte of the library's answer carries the result.
    return load && (load(bitmapPath.c_str()) & 0xFF) != 0;
}

void CSkinLibrary::UnloadSkin() {
    if (!EnsureLoaded())
        return;
    if (auto unload = reinterpret_cast<UnloadSkinFn>(AfxGetProcAddressByOrdinal(m_hModule, kUnloadSkinOrdinal)))
        unload();
    AfxFreeLibrary(m_hModule);
    m_hModule = nullptr;
}
