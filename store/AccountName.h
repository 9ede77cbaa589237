// Which texts may name an account book. A book's file is "<account>.xml" in the program directory
// and its root element is named after the account, so the name must be both a plain file name and
// an XML element name.
#pragma once

#include <string>

// Whether the name can name a book: a non-empty XML name without a colon (so no blanks, no path
// separators, no leading digit, "-" or ".") of at most 128 bytes.
bool IsValidAccountName(const std::string& name);

// Whether the name is taken by a file of the program itself ("Config", whose file is the
// configuration file "Config.xml"), so no book may have it.
bool IsReservedAccountName(const std::string& name);
