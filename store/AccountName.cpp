#include "AccountName.h"

#include "AccountBook.h"

#include <libxml/tree.h>
#include <libxml/xmlstring.h>

namespace {
// The configuration file shares the program directory with the books.
constexpr const char* kConfigName = "Config";
} // namespace

bool IsValidAccountName(const std::string& name) {
    if (name.empty() || name.size() > kMaxTextBytes || name.find('\0') != std::string::npos) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const xmlChar*>(name.c_str());
    // The name check reads bytes that are not UTF-8 as characters of their own, so those are refused first.
    // A zero from the name check: a well-formed name without a colon, and no surrounding blanks.
    return xmlCheckUTF8(bytes) != 0 && xmlValidateNCName(bytes, 0) == 0;
}

bool IsReservedAccountName(const std::string& name) {
    return name == kConfigName;
}
