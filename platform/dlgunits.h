// Dialog-unit arithmetic of the original platform, free of any toolkit, so it can be tested alone.
#pragma once

#include <cstdint>

// Multiplies and divides with rounding to nearest (halves away from zero), as the original MulDiv.
constexpr int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    const std::int64_t product = std::int64_t(number) * numerator;
    const std::int64_t half = (denominator < 0 ? -denominator : denominator) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const std::int64_t magnitude = (product < 0 ? -product : product);
    const std::int64_t div = denominator < 0 ? -std::int64_t(denominator) : denominator;
    const std::int64_t q = (magnitude + half) / div;
    const std::int64_t result = negative ? -q : q;
    // A result that does not fit an int is a failure, as on the original platform.
    if (result > INT32_MAX || result < INT32_MIN)
        return -1;
    return int(result);
}

struct DialogBaseUnits {
    int x = 0; // average character width, rounded as the original platform does
    int y = 0; // character height
};

// Base units from the measured width of "A..Za..z" and the font's text height, in pixels.
constexpr DialogBaseUnits BaseUnitsFromFont(int alphabetWidthPx, int textHeightPx) {
    return DialogBaseUnits{(alphabetWidthPx / 26 + 1) / 2, textHeightPx};
}

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

constexpr int DluToPixelsX(int x, DialogBaseUnits units) {
    return MulDiv(x, units.x, 4);
}
constexpr int DluToPixelsY(int y, DialogBaseUnits units) {
    return MulDiv(y, units.y, 8);
}

constexpr PixelRect DluRectToPixels(int x, int y, int cx, int cy, DialogBaseUnits units) {
    return PixelRect{DluToPixelsX(x, units), DluToPixelsY(y, units), DluToPixelsX(cx, units), DluToPixelsY(cy, units)};
}
