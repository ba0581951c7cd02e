#include "Src/Platform/Platform.h"

#include "support/Testing.h"

using Orvane::Platform::commandLineArguments;

// The Windows parser's rules: blanks separate, double quotes group (and may
// sit inside a word), backslashes escape a quote and are literal otherwise,
// 2n backslashes before a quote give n and the quote groups.
TEST(CommandLineTest, SplitsLikeTheWindowsParser) {
    using Words = std::vector<std::string>;
    const std::pair<const char*, Words> cases[] = {
        {"", {}},
        {"   ", {}},
        {"  prog  a\tb  ", {"prog", "a", "b"}},
        {"prog \"a b\" c\"d e\"f", {"prog", "a b", "cd ef"}},
        {"prog \"\" x", {"prog", "", "x"}},
        {"prog \"unterminated group", {"prog", "unterminated group"}},
        {R"(prog a\\b)", {"prog", R"(a\\b)"}},
        {R"(prog a\"b)", {"prog", "a\"b"}},
        {R"(prog a\\"b c")", {"prog", R"(a\b c)"}},
        {R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
        {R"(prog trailing\)", {"prog", R"(trailing\)"}},
    };
    for (const auto& [line, words] : cases) {
        Words split = {"left over"};
        EXPECT_TRUE(commandLineArguments(line, split)) << line;
        EXPECT_EQ(split, words) << line;
    }
}
