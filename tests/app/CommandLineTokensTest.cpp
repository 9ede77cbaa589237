#include "CommandLineTokens.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace {

std::string Words(int count) {
    std::string line;
    for (int i = 0; i < count; ++i)
        line += (i ? " t" : "t") + std::to_string(i);
    return line;
}

std::vector<std::string> WordList(int count) {
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i)
        words.push_back("t" + std::to_string(i));
    return words;
}

struct SplitCase {
    const char* name;
    std::string line;
    std::vector<std::string> tokens;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, GivesTheTokensInOrder) {
    const SplitCase& c = GetParam();
    const CCommandLineTokens tokens(c.line.c_str());
    ASSERT_EQ(tokens.GetCount(), int(c.tokens.size()));
    for (int i = 0; i < CCommandLineTokens::kMaxTokens; ++i) {
        if (i < int(c.tokens.size())) {
            ASSERT_NE(tokens.GetToken(i), nullptr) << i;
            EXPECT_EQ(tokens.GetToken(i), c.tokens[i]) << i;
        } else {
            EXPECT_EQ(tokens.GetToken(i), nullptr) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineSplit,
    testing::Values(SplitCase{"QuotedPathWithSpacesThenArguments",
                              "\"/opt/Zelvo Tools/Password Manager/Manager\" --flag value",
                              {"/opt/Zelvo Tools/Password Manager/Manager", "--flag", "value"}},
                    SplitCase{"PlainPath", "/usr/bin/Manager", {"/usr/bin/Manager"}},
                    SplitCase{"RunsOfBlanks", "  a   b  ", {"a", "b"}},
                    SplitCase{"QuoteAsLastCharacter", "a \"", {"a"}}, SplitCase{"OnlyAQuote", "\"", {}},
                    SplitCase{"EmptyLine", "", {}}, SplitCase{"OnlyBlanks", "     ", {}},
                    SplitCase{"UnbalancedQuoteRunsToTheEnd", "x \"abc def", {"x", "abc def"}},
                    SplitCase{"QuotesSplitInsideAWord", "a\"b c\"d", {"a", "b c", "d"}},
                    SplitCase{"EmptyQuotes", "\"\" z", {"", "z"}},
                    SplitCase{"TabIsNoSeparator", "a\tb c", {"a\tb", "c"}},
                    SplitCase{"TwentyFiveTokens", Words(25), WordList(25)},
                    SplitCase{"TwentySixthTokenEndsTheWalk", Words(26), WordList(25)},
                    SplitCase{"QuotedTwentySixthToken", Words(25) + " \"t25 more\"", WordList(25)}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(CommandLineTokens, GetTokenOutsideTheTableIsNull) {
    const CCommandLineTokens tokens(Words(25).c_str());
    for (const int index : {-1, -25, 25, 26, 1000})
        EXPECT_EQ(tokens.GetToken(index), nullptr) << index;
    EXPECT_STREQ(tokens.GetToken(24), "t24");
}

TEST(CommandLineTokens, WorksOnItsOwnCopy) {
    std::string line = "\"/a b/Manager\" x";
    const CCommandLineTokens tokens(line.c_str());
    line.assign(line.size(), '#');
    EXPECT_STREQ(tokens.GetToken(0), "/a b/Manager");
    EXPECT_STREQ(tokens.GetToken(1), "x");
}

} // namespace
