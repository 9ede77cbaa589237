#include "PasswordGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace {

// Gives the listed bytes in order, then fails.
RandomBytesSource ScriptedBytes(std::vector<unsigned char> bytes) {
    return [bytes = std::move(bytes), next = std::size_t{0}](std::span<unsigned char> buffer) mutable {
        for (unsigned char& byte : buffer) {
            if (next == bytes.size())
                return false;
            byte = bytes[next++];
        }
        return true;
    };
}

// Known pseudo-random bytes: the same on every run.
RandomBytesSource SeededBytes(unsigned seed) {
    return [random = std::mt19937(seed)](std::span<unsigned char> buffer) mutable {
        std::generate(buffer.begin(), buffer.end(), [&] { return static_cast<unsigned char>(random()); });
        return true;
    };
}

struct OptionsCase {
    const char* what;
    PasswordGeneratorOptions options;
};

const OptionsCase kOptions[] = {
    {"defaults", {}},
    {"shortest, all kinds", {.length = 4}},
    {"longest", {.length = 128}},
    {"lower case only", {.length = 12, .upperCase = false, .digits = false, .symbols = false}},
    {"digits and symbols with look-alikes", {.lowerCase = false, .upperCase = false, .excludeLookAlikes = false}},
    {"upper case and digits", {.length = 6, .lowerCase = false, .symbols = false}},
};

TEST(PasswordGenerator, PasswordsHoldTheirLengthAndOnlyAndEveryChosenKind) {
    for (const auto& [what, options] : kOptions) {
        const std::vector<std::string> kinds = ChosenCharacterKinds(options);
        std::string chosen;
        for (const std::string& kind : kinds)
            chosen += kind;
        for (const bool kernel : {false, true}) {
            const RandomBytesSource source = kernel ? RandomBytesSource(KernelRandomBytes) : SeededBytes(7);
            for (int round = 0; round < 200; ++round) {
                GeneratedPassword password;
                ASSERT_EQ(GeneratePassword(options, password, source), GeneratorError::None) << what;
                const std::string_view text = password.Text();
                ASSERT_EQ(text.size(), options.length) << what;
                EXPECT_EQ(text.find_first_not_of(chosen), std::string_view::npos) << what << ": " << text;
                for (const std::string& kind : kinds) {
                    EXPECT_NE(text.find_first_of(kind), std::string_view::npos) << what << " lacks " << kind;
                }
                if (options.excludeLookAlikes) {
                    EXPECT_EQ(text.find_first_of(kLookAlikeCharacters), std::string_view::npos) << what;
                }
            }
        }
    }
}

TEST(PasswordGenerator, EachByteBelowTheBoundDrawsItsCharacterAndTheRestAreThrownAway) {
    // Every byte value once: below the bound, byte b draws character b % size, so each character
    // comes bound / size times; the bytes from the bound on draw nothing.
    const std::string all =
        std::string(kLowerCaseLetters) + std::string(kUpperCaseLetters) + std::string(kDigits) + std::string(kSymbols);
    for (const std::size_t size : {std::size_t{1}, std::size_t{10}, std::size_t{81}, std::size_t{94}}) {
        std::vector<unsigned char> everyByte(256);
        std::iota(everyByte.begin(), everyByte.end(), 0);
        const RandomBytesSource source = ScriptedBytes(everyByte);
        RandomByteStream random(source);
        std::size_t draws = 0;
        for (char drawn = 0; DrawCharacter(std::string_view(all.data(), size), random, drawn); ++draws)
            EXPECT_EQ(drawn, all[draws % size]) << "byte " << draws << " of an alphabet of " << size;
        EXPECT_EQ(draws, 256 - 256 % size) << "an alphabet of " << size;
    }
}

TEST(PasswordGenerator, APasswordMissingAKindIsDrawnAgainWhole) {
    // Default set: 24 lower case, 21 upper case, 5 digits, 31 symbols. The first four bytes draw
    // "aaaa"; the next draw "a", the first upper case letter, the first digit and the first symbol.
    std::vector<unsigned char> bytes = {0, 0, 0, 0, 0, 24, 45, 50};
    bytes.resize(64, 0); // the generator takes its bytes a block of 64 at a time
    GeneratedPassword password;
    ASSERT_EQ(GeneratePassword({.length = 4}, password, ScriptedBytes(bytes)), GeneratorError::None);
    EXPECT_EQ(password.Text(), "aA3!");
}

struct ErrorCase {
    PasswordGeneratorOptions options;
    RandomBytesSource source;
    GeneratorError error;
};

TEST(PasswordGenerator, RefusesBadOptionsAndAFailingSourceAndLeavesNoPassword) {
    const ErrorCase cases[] = {
        {{.length = 3}, SeededBytes(1), GeneratorError::LengthOutOfRange},
        {{.length = 129}, SeededBytes(1), GeneratorError::LengthOutOfRange},
        {{.lowerCase = false, .upperCase = false, .digits = false, .symbols = false},
         SeededBytes(1),
         GeneratorError::NoKindChosen},
        {{}, ScriptedBytes({}), GeneratorError::RandomSourceFailed},
        {{}, ScriptedBytes(std::vector<unsigned char>(64, 0)), GeneratorError::RandomSourceFailed},
    };
    for (const auto& [options, source, error] : cases) {
        GeneratedPassword password;
        ASSERT_EQ(GeneratePassword({}, password, SeededBytes(2)), GeneratorError::None);
        EXPECT_EQ(GeneratePassword(options, password, source), error);
        EXPECT_TRUE(password.Text().empty());
        EXPECT_FALSE(DescribeGeneratorError(error).empty());
    }
}

// Each random byte is zeroed in the block as it is used: what is left there never decides a
// password that was already given out.
TEST(PasswordGenerator, EachRandomByteIsZeroedOnceUsed) {
    std::span<unsigned char> block;
    const RandomBytesSource source = [&block](std::span<unsigned char> buffer) {
        std::fill(buffer.begin(), buffer.end(), 0xA5);
        block = buffer;
        return true;
    };
    RandomByteStream random(source);
    std::size_t drawn = 0;
    for (const std::size_t used : {1u, 5u, 20u}) {
        SCOPED_TRACE(used);
        for (unsigned char byte = 0; drawn < used; ++drawn)
            ASSERT_TRUE(random.Next(byte));
        EXPECT_EQ(std::count(block.begin(), block.begin() + std::ptrdiff_t(used), 0), std::ptrdiff_t(used));
        EXPECT_EQ(std::count(block.begin() + std::ptrdiff_t(used), block.end(), 0xA5),
                  std::ptrdiff_t(block.size() - used));
    }
}

} // namespace
