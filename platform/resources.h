// The program's resources other than dialog templates: strings, icons and bitmaps by id.
// Defined by the resource library; the framework layer turns the bytes into pictures.
#pragma once

#include "afxtypes.h"

#include <cstddef>
#include <string>
#include <vector>

struct ResourceBytes {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// String resource by id; empty when there is none.
std::string AfxLoadResourceString(UINT id);

// Icon group by id: one or more image files (PNG), largest first; empty when there is none.
std::vector<ResourceBytes> AfxFindIconResource(UINT id);

// Bitmap by id (a BMP file image); an empty record when there is none.
ResourceBytes AfxFindBitmapResource(UINT id);
