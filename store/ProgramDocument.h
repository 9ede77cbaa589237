// Rules shared by every XML file the program writes and reads: the identity attributes on the
// root element, and decimal numbers read the way the C library's atoi does.
#pragma once

#include "Identity.h"

#include <cstdint>
#include <string_view>

class CXMLDOMNode;

// The identity attribute a reader checks.
inline constexpr char kAppAttribute[] = "App";

// Sets the program's identity attributes on a root element, or on the root a stream writer has
// just opened: Author, Website, App, Version, in that order. Throws the component's error like
// any other document operation.
template <class Root> void StampIdentity(Root& root) {
    root.SetAttribute("Author", kAuthor);
    root.SetAttribute("Website", kWebsiteUrl);
    root.SetAttribute(kAppAttribute, kAppTitle);
    root.SetAttribute("Version", kVersion);
}

// False when the root names another application in an "App" attribute (compared exactly); a root
// without "App" passes, and no other attribute or name is looked at.
bool IsOwnDocument(const CXMLDOMNode& root);

// Reads a decimal number the way the C library's atoi does (leading blanks, a sign, digits up to the
// first other character; 0 without digits), clamping values outside the 32-bit range.
std::int32_t ParseDecimalInt32(std::string_view text);
