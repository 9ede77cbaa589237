// Which texts may name an account book and which names the program keeps for itself.
#include "AccountName.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct NameCase {
    const char* label;
    std::string name;
    bool valid;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.label;
}

class AccountNameValidity : public testing::TestWithParam<NameCase> {};

TEST_P(AccountNameValidity, MatchesTheRulesOfAFileAndElementName) {
    EXPECT_EQ(IsValidAccountName(GetParam().name), GetParam().valid) << "name: \"" << GetParam().name << "\"";
}

const std::string k128Ascii(128, 'a');
// "é" is two bytes: 64 of them make exactly 128 bytes.
std::string Repeat(const std::string& unit, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, AccountNameValidity,
    testing::Values(NameCase{"plain", "alice", true}, NameCase{"underscoreFirst", "_x", true},
                    NameCase{"innerDigitsDashDot", "a1-b.c", true}, NameCase{"multiByte", "J\xC3\xBCrgen", true},
                    NameCase{"exactly128Bytes", k128Ascii, true},
                    NameCase{"multiByte128Bytes", Repeat("\xC3\xA9", 64), true},
                    NameCase{"config is a valid name", "Config", true}, NameCase{"empty", "", false},
                    NameCase{"blanksOnly", "   ", false}, NameCase{"leadingBlank", " bob", false},
                    NameCase{"trailingBlank", "bob ", false}, NameCase{"innerBlank", "bo b", false},
                    NameCase{"tab", "bo\tb", false}, NameCase{"slash", "a/b", false},
                    NameCase{"parentFolder", "../x", false}, NameCase{"backslash", "a\\b", false},
                    NameCase{"colon", "a:b", false}, NameCase{"leadingDigit", "1abc", false},
                    NameCase{"leadingDash", "-abc", false}, NameCase{"leadingDot", ".hidden", false},
                    NameCase{"angleBracket", "a<b", false}, NameCase{"ampersand", "a&b", false},
                    NameCase{"quote", "a\"b", false}, NameCase{"embeddedNul", std::string("ab\0cd", 5), false},
                    NameCase{"invalidUtf8", "ab\xFF", false}, NameCase{"over128Bytes", k128Ascii + "a", false},
                    NameCase{"multiByteOver128", Repeat("\xC3\xA9", 64) + "a", false}),
    [](const testing::TestParamInfo<NameCase>& info) {
        std::string label = info.param.label;
        for (char& c : label) {
            if (c == ' ') {
                c = '_';
            }
        }
        return label;
    });

TEST(AccountNameReserved, OnlyTheConfigurationFileNameIsTaken) {
    const struct {
        std::string name;
        bool reserved;
    } cases[] = {{"Config", true}, {"config", false}, {"CONFIG", false}, {"Config1", false},
                 {"Confi", false}, {"alice", false},  {"", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsReservedAccountName(c.name), c.reserved) << c.name;
    }
}

} // namespace
