#include "PasswordGenerator.h"

#include <sys/random.h>

#include <cerrno>

namespace {

static_assert(kMinGeneratedLength >= 4, "every one of the four kinds must fit in the shortest password");
static_assert(kMinGeneratedLength == 4 && kMaxGeneratedLength == 128, "the length message names this range");

// Appends the characters of the kind, leaving out look-alikes when asked to.
std::string KindCharacters(std::string_view kind, bool excludeLookAlikes) {
    std::string characters;
    for (const char c : kind) {
        if (!excludeLookAlikes || kLookAlikeCharacters.find(c) == std::string_view::npos)
            characters += c;
    }
    return characters;
}

bool HoldsEveryKind(std::string_view password, const std::vector<std::string>& kinds) {
    for (const std::string& kind : kinds) {
        if (password.find_first_of(kind) == std::string_view::npos)
            return false;
    }
    return true;
}

} // namespace

std::string_view DescribeGeneratorError(GeneratorError error) {
    switch (error) {
    case GeneratorError::None:
        return {};
    case GeneratorError::LengthOutOfRange:
        return "The password length must be from 4 to 128 characters.";
    case GeneratorError::NoKindChosen:
        return "Choose at least one kind of character for the password.";
    case GeneratorError::RandomSourceFailed:
        return "The system's random source could not be read, so no password was generated.";
    }
    return {};
}

std::vector<std::string> ChosenCharacterKinds(const PasswordGeneratorOptions& options) {
    const std::pair<bool, std::string_view> kinds[] = {{options.lowerCase, kLowerCaseLetters},
                                                       {options.upperCase, kUpperCaseLetters},
                                                       {options.digits, kDigits},
                                                       {options.symbols, kSymbols}};
    std::vector<std::string> chosen;
    for (const auto& [isChosen, characters] : kinds) {
        if (isChosen)
            chosen.push_back(KindCharacters(characters, options.excludeLookAlikes));
    }
    return chosen;
}

bool KernelRandomBytes(std::span<unsigned char> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t got = ::getrandom(buffer.data() + filled, buffer.size() - filled, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

bool RandomByteStream::Next(unsigned char& byte) {
    if (m_used == m_block.size()) {
        if (!m_source(m_block))
            return false;
        m_used = 0;
    }
    byte = m_block[m_used];
    m_block[m_used++] = 0;
    return true;
}

bool DrawCharacter(std::string_view alphabet, RandomByteStream& random, char& drawn) {
    // The largest multiple of the alphabet's size that a byte can reach: bytes below it map onto
    // every character equally often.
    if (alphabet.empty() || alphabet.size() > 256)
        return false;
    const unsigned bound = 256 - 256 % alphabet.size();
    unsigned char byte = 0;
    do {
        if (!random.Next(byte))
            return false;
    } while (byte >= bound);
    drawn = alphabet[byte % alphabet.size()];
    WipeBytes(&byte, sizeof byte);
    return true;
}

void GeneratedPassword::Wipe() noexcept {
    WipeBytes(m_text.data(), m_text.size());
    m_length = 0;
}

GeneratorError GeneratePassword(const PasswordGeneratorOptions& options, GeneratedPassword& password,
                                const RandomBytesSource& source) {
    password.Wipe();
    if (options.length < kMinGeneratedLength || options.length > kMaxGeneratedLength)
        return GeneratorError::LengthOutOfRange;
    const std::vector<std::string> kinds = ChosenCharacterKinds(options);
    if (kinds.empty())
        return GeneratorError::NoKindChosen;
    std::string alphabet;
    for (const std::string& kind : kinds)
        alphabet += kind;

    RandomByteStream random(source);
    // A password missing a chosen kind is drawn again whole; see the header for why that keeps
    // every valid password equally likely.
    do {
        for (std::size_t i = 0; i < options.length; ++i) {
            if (!DrawCharacter(alphabet, random, password.m_text[i])) {
                password.Wipe();
                return GeneratorError::RandomSourceFailed;
            }
        }
        password.m_length = options.length;
    } while (!HoldsEveryKind(password.Text(), kinds));
    return GeneratorError::None;
}
