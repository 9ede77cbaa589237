// The program's pictures: the icon group and the About bitmap, looked up by resource id. The bytes
// are embedded at build time from the files under images/.
#include "resource.h"

#include "resources.h"

#include <cstddef>
#include <vector>

namespace zelvo::embedded {
extern const unsigned char kIcon48Rgba[];
extern const std::size_t kIcon48RgbaSize;
extern const unsigned char kIcon48Palette[];
extern const std::size_t kIcon48PaletteSize;
extern const unsigned char kAboutBitmap[];
extern const std::size_t kAboutBitmapSize;
} // namespace zelvo::embedded

std::vector<ResourceBytes> AfxFindIconResource(UINT id) {
    using namespace zelvo::embedded;
    if (id != IDR_MAINFRAME) {
        return {};
    }
    // The image with the most colours comes first: it is the one a viewer should prefer.
    return {{kIcon48Rgba, kIcon48RgbaSize}, {kIcon48Palette, kIcon48PaletteSize}};
}

ResourceBytes AfxFindBitmapResource(UINT id) {
    using namespace zelvo::embedded;
    if (id != IDB_ABOUT) {
        return {};
    }
    return {kAboutBitmap, kAboutBitmapSize};
}
