#include "ProgramDocument.h"

#include "Identity.h"
#include "xmldom.h"

#include <algorithm>
#include <cstdint>

bool IsOwnDocument(const CXMLDOMNode& root) {
    const CXMLDOMNamedNodeMap attributes = root.GetAttributes();
    const long count = attributes.GetLength();
    for (long i = 0; i < count; ++i) {
        const CXMLDOMNode attribute = attributes.GetItem(i);
        if (attribute.GetNodeName() == kAppAttribute && attribute.GetText() != kAppTitle)
            return false;
    }
    return true;
}

std::int32_t ParseDecimalInt32(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude that stops growing once past the range, so it never overflows.
    const std::int64_t limit = negative ? -std::int64_t{INT32_MIN} : std::int64_t{INT32_MAX};
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(limit, magnitude * 10 + (text[i] - '0'));
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}
