// Dialog-unit arithmetic: rounding, the base-unit rule and known template rectangles.
#include "dlgunits.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct MulDivCase {
    int number, numerator, denominator, expected;
};

TEST(MulDiv, RoundsToNearestWithHalvesAwayFromZero) {
    const MulDivCase cases[] = {
        {10, 3, 4, 8},            // 7.5 up
        {9, 3, 4, 7},             // 6.75 up
        {5, 1, 4, 1},             // 1.25 down
        {-10, 3, 4, -8},          // -7.5 away from zero
        {10, -3, 4, -8},          // sign from the numerator
        {10, 3, -4, -8},          // sign from the denominator
        {-10, -3, 4, 8},          // two negatives
        {-9, 3, 4, -7},           // -6.75
        {1, 1, 2, 1},             // exactly a half
        {-1, 1, 2, -1},           // exactly minus a half
        {0, 7, 3, 0},             // zero
        {100000, 100000, 1, -1},  // the result does not fit: failure
        {INT_MAX, 2, 2, INT_MAX}, // the product overflows 32 bits, the result does not
        {7, 3, 0, -1},            // no denominator: failure
    };
    for (const MulDivCase& c : cases)
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
            << c.number << " * " << c.numerator << " / " << c.denominator;
}

TEST(BaseUnits, AverageWidthOfTheAlphabetIsRoundedAsThePlatformDoes) {
    struct Case {
        int alphabetWidth, height, expectedX;
    };
    const Case cases[] = {{312, 13, 6}, {337, 13, 6}, {338, 15, 7}, {363, 15, 7}, {364, 16, 7}, {390, 16, 8}};
    for (const Case& c : cases) {
        const DialogBaseUnits units = BaseUnitsFromFont(c.alphabetWidth, c.height);
        EXPECT_EQ(units.x, c.expectedX) << c.alphabetWidth;
        EXPECT_EQ(units.y, c.height);
    }
}

TEST(DluRectToPixels, KnownTemplateRectangles) {
    struct Case {
        DialogBaseUnits units;
        int x, y, cx, cy;
        PixelRect expected;
    };
    const Case cases[] = {
        {{6, 13}, 0, 0, 339, 292, {0, 0, 509, 475}},       // main window client area
        {{6, 13}, 15, 129, 292, 145, {23, 210, 438, 236}}, // entry list
        {{6, 13}, 59, 43, 135, 12, {89, 70, 203, 20}},     // login password edit
        {{7, 15}, 0, 0, 339, 292, {0, 0, 593, 548}},       {{7, 15}, 15, 129, 292, 145, {26, 242, 511, 272}},
        {{7, 15}, 104, 41, 50, 14, {182, 77, 88, 26}}, // message box OK button
    };
    for (const Case& c : cases)
        EXPECT_EQ(DluRectToPixels(c.x, c.y, c.cx, c.cy, c.units), c.expected)
            << c.units.x << "x" << c.units.y << " at " << c.x << "," << c.y;
}

} // namespace
