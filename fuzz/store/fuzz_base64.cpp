// Decoding takes any bytes without harm, and decoding an encoding gives back any NUL-free input.
#include "Base64.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CBase64 codec;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string decoded = codec.Decode(input);
    if (decoded.size() > input.size() / 4 * 3 + 2) {
        std::abort();
    }
    if (input.find('\0') == std::string::npos && codec.Decode(codec.Encode(input)) != input) {
        std::abort();
    }
    return 0;
}
