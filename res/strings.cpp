// The program's string table.
#include "resource.h"

#include "resources.h"

#include <array>
#include <string>

namespace {

struct StringResource {
    UINT id;
    const char* text;
};

constexpr std::array<StringResource, 1> kStrings = {{
    {IDS_ABOUTBOX, "About Password Manager(&A)..."},
}};

} // namespace

std::string AfxLoadResourceString(UINT id) {
    for (const StringResource& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return {};
}
