// A library that exports two functions by ordinal only.
#include "TestComponent.h"

namespace {
int Answer() {
    return 42;
}
int Twice(int value) {
    return value * 2;
}
} // namespace

extern "C" __attribute__((visibility("default"))) const OrdinalExport AfxOrdinalExports[] = {
    {kOrdinalAnswer, reinterpret_cast<void*>(&Answer)},
    {kOrdinalTwice, reinterpret_cast<void*>(&Twice)},
    {0, nullptr},
};
