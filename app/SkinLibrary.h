// The skin library beside the executable, called through its exports by ordinal. When the library
// is missing the program runs unskinned.
#pragma once

#include "com.h"

#include <string>

class CSkinLibrary {
public:
    CSkinLibrary() = default;
    CSkinLibrary(const CSkinLibrary&) = delete;
    CSkinLibrary& operator=(const CSkinLibrary&) = delete;
    // Frees the library if it is still loaded.
    ~CSkinLibrary();

    // Skins the program's windows with the bitmap at this path; true when the library loaded it.
    bool LoadSkin(const std::string& bitmapPath);
    // Takes the skin off again (harmless when none was loaded), then frees the library.
    void UnloadSkin();

private:
    // Loads the library on first use; false when it is absent.
    bool EnsureLoaded();

    HMODULE m_hModule = nullptr;
};
