// The Base64 codec of the account files: RFC 4648 alphabet, padded encoding without line breaks,
// and a lenient decoding that never fails.
#pragma once

#include <string>

// The Base64 alphabet; a character's value is its position here.
inline constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Stateless codec; instances are interchangeable.
class CBase64 {
public:
    // The padded Base64 text of any byte string; empty for an empty input.
    std::string Encode(const std::string& bytes) const;
    // The bytes of a Base64 text, read up to its first "=" or first character outside the
    // alphabet. A trailing group of k characters gives its k-1 leading bytes. May hold NUL bytes.
    std::string Decode(const std::string& text) const;
};
