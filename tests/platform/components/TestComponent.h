// Interface and class id of the component the tests create by class id.
#pragma once

#include "com.h"

// {5A1E7C10-3B2D-4E8F-9A61-0C2B7D4E5F60}
constexpr CLSID CLSID_TestCounter = {0x5A1E7C10, 0x3B2D, 0x4E8F, {0x9A, 0x61, 0x0C, 0x2B, 0x7D, 0x4E, 0x5F, 0x60}};
// {5A1E7C11-3B2D-4E8F-9A61-0C2B7D4E5F60}
constexpr IID IID_ITestCounter = {0x5A1E7C11, 0x3B2D, 0x4E8F, {0x9A, 0x61, 0x0C, 0x2B, 0x7D, 0x4E, 0x5F, 0x60}};
// A class id nobody implements.
constexpr CLSID CLSID_Nobody = {0x5A1E7C12, 0x3B2D, 0x4E8F, {0x9A, 0x61, 0x0C, 0x2B, 0x7D, 0x4E, 0x5F, 0x60}};

struct ITestCounter : IUnknown {
    // Adds one and returns the new count.
    virtual int Increment() = 0;

protected:
    ~ITestCounter() = default;
};

// Ordinals exported by the ordinal test library.
constexpr WORD kOrdinalAnswer = 1;
constexpr WORD kOrdinalTwice = 7;
using AnswerFn = int (*)();
using TwiceFn = int (*)(int);
