// The password generator: random passwords of a chosen length from chosen kinds of characters,
// drawn from the kernel's random source.
//
// How a password is drawn: every character is drawn independently and uniformly from the chosen
// characters (one random byte per draw, bytes at or above the largest multiple of the set's size
// are thrown away, so no character is favoured by the modulo). A password that misses one of the
// chosen kinds is thrown away whole and drawn again. Every password of the chosen length over the
// chosen characters is equally likely before that test, and the test only removes the invalid
// ones, so every password that holds each chosen kind stays exactly as likely as any other.
// (Placing one character of each kind first and filling the rest would favour passwords with few
// characters of a kind.) At the shortest length with all four kinds about one draw in 23 passes;
// from 12 characters on, most do.
#pragma once

#include "AccountBook.h"

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The lengths a generated password may have, in characters (each one byte).
inline constexpr std::size_t kMinGeneratedLength = 4;
inline constexpr std::size_t kMaxGeneratedLength = kMaxTextBytes;
inline constexpr std::size_t kDefaultGeneratedLength = 20;

// The four kinds of characters; symbols are the printable ASCII punctuation (space excluded).
inline constexpr std::string_view kLowerCaseLetters = "abcdefghijklmnopqrstuvwxyz";
inline constexpr std::string_view kUpperCaseLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
inline constexpr std::string_view kDigits = "0123456789";
inline constexpr std::string_view kSymbols = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

// Characters easily mistaken for one another when read or typed: zero and the letter O, one and
// the letters l and I and the bar, and the digits 8, 5, 2 beside the letters B, S, Z. Every kind
// keeps characters without them (digits keep 3 4 6 7 9).
inline constexpr std::string_view kLookAlikeCharacters = "0Oo1lI|8B5S2Z";

// What a generated password is made of. All kinds are chosen and look-alikes excluded by default.
struct PasswordGeneratorOptions {
    std::size_t length = kDefaultGeneratedLength; // kMinGeneratedLength to kMaxGeneratedLength
    bool lowerCase = true;                        // a to z
    bool upperCase = true;                        // A to Z
    bool digits = true;                           // 0 to 9
    bool symbols = true;                          // kSymbols
    bool excludeLookAlikes = true;                // leaves out kLookAlikeCharacters
};

// Why no password was generated.
enum class GeneratorError {
    None,              // a password was generated
    LengthOutOfRange,  // the length is outside kMinGeneratedLength..kMaxGeneratedLength
    NoKindChosen,      // no kind of character is chosen
    RandomSourceFailed // the random source gave no bytes; no weaker source is used instead
};

// A sentence for the user saying why no password was generated; empty for GeneratorError::None.
std::string_view DescribeGeneratorError(GeneratorError error);

// The characters of each chosen kind, without look-alikes when they are excluded, one text per
// chosen kind in the order lower case, upper case, digits, symbols.
std::vector<std::string> ChosenCharacterKinds(const PasswordGeneratorOptions& options);

// Fills the whole buffer with random bytes, or returns false.
using RandomBytesSource = std::function<bool(std::span<unsigned char> buffer)>;

// The kernel's random source (getrandom, blocking only until the kernel's pool is first seeded).
// False when the kernel refuses; there is no fallback.
bool KernelRandomBytes(std::span<unsigned char> buffer);

// Random bytes taken from a source a block at a time; the block is wiped once used and when the
// stream is dropped, since those bytes decide a password.
class RandomByteStream {
public:
    explicit RandomByteStream(const RandomBytesSource& source) : m_source(source) {}
    RandomByteStream(RandomBytesSource&&) = delete; // the stream keeps the source it reads, not a copy
    RandomByteStream(const RandomByteStream&) = delete;
    RandomByteStream& operator=(const RandomByteStream&) = delete;
    ~RandomByteStream() { WipeBytes(m_block.data(), m_block.size()); }

    // The next byte; false when the source failed.
    bool Next(unsigned char& byte);

private:
    const RandomBytesSource& m_source;
    std::array<unsigned char, 64> m_block{};
    std::size_t m_used = m_block.size();
};

// Draws one character uniformly from the alphabet (1 to 256 characters): a byte below the largest
// multiple of the alphabet's size picks alphabet[byte % size]; a byte at or above it is thrown
// away and the next one taken. False when the stream failed or the alphabet's size is out of range.
bool DrawCharacter(std::string_view alphabet, RandomByteStream& random, char& drawn);

// A generated password in a fixed buffer that is wiped when it is dropped or generated anew.
class GeneratedPassword {
public:
    GeneratedPassword() = default;
    GeneratedPassword(const GeneratedPassword&) = delete;
    GeneratedPassword& operator=(const GeneratedPassword&) = delete;
    ~GeneratedPassword() { Wipe(); }

    // The password; empty until one was generated.
    std::string_view Text() const { return {m_text.data(), m_length}; }
    // Zeros the buffer and empties the password.
    void Wipe() noexcept;

private:
    friend GeneratorError GeneratePassword(const PasswordGeneratorOptions&, GeneratedPassword&,
                                           const RandomBytesSource&);
    std::array<char, kMaxGeneratedLength + 1> m_text{};
    std::size_t m_length = 0;
};

// Generates a password as the options say into password, with bytes from the given source (the
// kernel's by default; tests give known bytes). On any error the password is left empty.
GeneratorError GeneratePassword(const PasswordGeneratorOptions& options, GeneratedPassword& password,
                                const RandomBytesSource& source = KernelRandomBytes);
