// Making an export's text UTF-8 before it is read, so that nothing but UTF-8 reaches the book.
// - UTF-16, with a byte-order mark or recognised by the zero bytes of its ASCII characters, is
//   converted; UTF-16 that is not valid (an odd length, an unpaired surrogate) is refused as such.
// - Valid UTF-8 is taken as it is (a byte-order mark stays for the reader to skip).
// - Anything else is read as Windows-1252, as the spreadsheets and older programs that write such
//   files mean it, and converted (its five unassigned bytes become U+FFFD): each byte that is not
//   part of a valid UTF-8 sequence, so that a file that is UTF-8 but for a few bytes keeps the rest
//   as it is.
#pragma once

#include "xmldom_files.h"

#include <string>
#include <string_view>

enum class TextEncoding { Utf8, Windows1252, Utf16LittleEndian, Utf16BigEndian };

// The encoding's name as the user reads it.
const char* NameOfEncoding(TextEncoding encoding);

// Finds the text's encoding and, unless it is UTF-8, converts it into utf8. False with the reason
// for UTF-16 that cannot be converted.
bool ConvertToUtf8(std::string_view bytes, TextEncoding& encoding, SecretBytes& utf8, std::string& reason);
