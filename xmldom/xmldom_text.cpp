// Checks on the texts and names the component is asked to store.
#include "xmldom_state.h"

#include <libxml/tree.h>

namespace {

// The characters an XML 1.0 document may contain.
bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Decodes the UTF-8 sequence at pos, moving pos past it. False on a malformed, overlong,
// surrogate or out-of-range sequence.
bool DecodeUtf8(const std::string& text, std::size_t& pos, char32_t& out) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t extra = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        out = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, minimum = 0x80, out = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, minimum = 0x800, out = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, minimum = 0x10000, out = lead & 0x07;
    } else {
        return false;
    }
    if (text.size() - pos - 1 < extra)
        return false;
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return false;
        out = (out << 6) | (next & 0x3F);
    }
    pos += extra + 1;
    return out >= minimum && out <= 0x10FFFF && !(out >= 0xD800 && out <= 0xDFFF);
}

} // namespace

namespace xmldom_detail {

bool IsStorableText(const std::string& text) {
    for (std::size_t pos = 0; pos < text.size();) {
        // Plain ASCII, the bulk of every file, needs no decoding.
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x20 && byte < 0x80) {
            ++pos;
            continue;
        }
        char32_t c = 0;
        if (!DecodeUtf8(text, pos, c) || !IsXmlChar(c))
            return false;
    }
    return true;
}

void RequireStorable(const std::string& text, const char* what) {
    if (!IsStorableText(text))
        Fail(kInvalidArg, std::string(what) + " is not valid UTF-8 text that XML can hold");
}

bool IsValidName(const std::string& name) {
    return !name.empty() && IsStorableText(name) &&
           xmlValidateNCName(reinterpret_cast<const xmlChar*>(name.c_str()), 0) == 0;
}

} // namespace xmldom_detail
