#include "StrengthText.h"

#include <charconv>

std::string StrengthText(const PasswordRating& rating) {
    char bits[32];
    const auto [end, error] = std::to_chars(bits, bits + sizeof bits, rating.bits, std::chars_format::fixed, 1);
    const std::string number = error == std::errc() ? std::string(bits, end) : std::string("?");
    return std::string(StrengthWord(rating.band)) + ", " + number + " bits";
}
