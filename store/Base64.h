// The Base64 codec of the account files: RFC 4648 alphabet, padded encoding without line breaks,
// and a lenient decoding that never fails.
#pragma once

#include <string>
#include <string_view>

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
    // Decode and Encode into a string the caller keeps, so that a long run of texts reuses one buffer.
    void Decode(std::string_view text, std::string& bytes) const;
    void Encode(std::string_view bytes, std::string& text) const;
};
