// flex_string and mini_string against std::string: construction, concatenation, null C strings,
// streams and hashing. Long sequences of edits and searches are compared with std::string by the fuzz target.
#include "virad/devez3/detail/flex_string.h"

#include "support/Readable.h"
#include "support/Testing.h"

#include <array>
#include <iomanip>
#include <list>

using Orvane::Testing::relations;
using Orvane::Virad::flex_string;
using Orvane::Virad::mini_string;

// Every observable of s agrees with the reference string; a failure names those that do not.
template <typename S> testing::AssertionResult sameAs(const S& s, const std::string& ref) {
    const std::string value(s.data(), s.size());
    const std::pair<bool, const char*> observers[] = {
        {value == ref, "data"},
        {s.length() == s.size(), "length"},
        {s.empty() == ref.empty(), "empty"},
        {s.c_str() == s.data(), "c_str"},
        {s.c_str()[s.size()] == '\0', "terminator"},
        {s.capacity() >= s.size(), "capacity"},
        {std::string(s.begin(), s.end()) == ref, "iterators"},
        {std::string(s.rbegin(), s.rend()) == std::string(ref.rbegin(), ref.rend()), "reverse iterators"}};
    std::string wrong;
    for (const auto& [agrees, name] : observers) {
        wrong += agrees ? "" : std::string(" ") + name;
    }
    return (wrong.empty() ? testing::AssertionSuccess() : testing::AssertionFailure())
           << "\"" << value << "\" (capacity " << s.capacity() << ") expected \"" << ref << "\", wrong:" << wrong;
}

std::string letters(std::size_t n, char first = 'a') {
    std::string text(n, ' ');
    for (std::size_t i = 0; i < n; ++i) {
        text[i] = static_cast<char>(first + i % 26);
    }
    return text;
}

template <typename S> class FlexStringTest : public ::testing::Test {};
using StringTypes = ::testing::Types<flex_string, mini_string>;
TYPED_TEST_SUITE(FlexStringTest, StringTypes);

TYPED_TEST(FlexStringTest, ConstructionCopiesMovesAndConcatenationAroundTheInlineLimit) {
    using S = TypeParam;
    for (std::size_t n : {0, 1, 16, 31, 32, 40}) {
        const std::string x = letters(n), y = letters((n * 7 + 3) % 41, 'K'); // pairs on either side of 31
        const std::list<char> chars(x.begin(), x.end());
        S a(x), b(y), roomy(y);
        for (const S& s : {S(x.c_str()), S(x.data(), n), S(chars.begin(), chars.end()), S(a)}) {
            EXPECT_TRUE(sameAs(s, x)) << n;
        }
        EXPECT_TRUE(sameAs(S(n, 'a'), std::string(n, 'a')));
        roomy.reserve(200); // the right operand has room, so it takes the left in front
        for (const S& sum :
             {a + b, S(a) + b, a + S(b), a + y.c_str(), x.c_str() + b, a + y, x + S(b), a + std::move(roomy)}) {
            EXPECT_TRUE(sameAs(sum, x + y)) << n;
        }
        EXPECT_TRUE(sameAs('.' + b, '.' + y));
        EXPECT_TRUE(sameAs('.' + S(b), '.' + y));
        EXPECT_TRUE(sameAs(S(a) + '.', x + '.'));
        EXPECT_TRUE(sameAs(a + '.', x + '.'));
        // A move assignment empties its source, which stays usable; moving onto itself keeps the value. Copies,
        // move construction and the member swap are compared with std::string by the fuzz target.
        S moved(y);
        moved = std::move(a);
        a += "reused"; // NOLINT(bugprone-use-after-move)
        S& alias = moved;
        moved = std::move(alias);
        swap(moved, b);
        EXPECT_TRUE(sameAs(a, "reused"));
        EXPECT_TRUE(sameAs(moved, y));
        EXPECT_TRUE(sameAs(b, x));
    }
    // A null C string is empty.
    EXPECT_TRUE(sameAs(S({'a', '\0', 'b'}), std::string("a\0b", 3)));
    EXPECT_TRUE(sameAs(S(S(letters(40)), 1), letters(40).substr(1)));
    EXPECT_TRUE(sameAs(S(static_cast<const char*>(nullptr)), ""));
    std::istringstream input("streamed text that is longer than thirty-one characters");
    EXPECT_TRUE(sameAs(S(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()),
                       "streamed text that is longer than thirty-one characters"));
    S a(letters(50)), b(letters(60)), g;
    const char* bufferA = a.data();
    a.swap(b);
    EXPECT_EQ(b.data(), bufferA); // large strings trade buffers without copying
    // Doubling changes the capacity about 12 times here, a constant step thousands of times.
    std::size_t changes = 0;
    for (std::size_t i = 0, last = g.capacity(); i < 100000;
         ++i, changes += g.capacity() != last, last = g.capacity()) {
        g.push_back('g');
    }
    EXPECT_LE(changes, 40u);
}

TYPED_TEST(FlexStringTest, NullsHighBytesStreamsAndHashing) {
    using S = TypeParam;
    // Positions past the end are compared with std::string by the fuzz target; null C strings read as empty.
    const char* null = nullptr;
    const S s("abcde");
    EXPECT_TRUE(sameAs(S(s).append(null).insert(0, null), "abcde"));
    EXPECT_GT(s.compare(null), 0);
    EXPECT_TRUE(sameAs(S(s).assign(null), ""));
    EXPECT_EQ(S(), null);
    EXPECT_EQ(S("abc").find(null), 0u);
    char copied[4] = {'-', '-', '-', '-'};
    EXPECT_EQ(s.copy(copied, 4, 6), 0u);
    EXPECT_EQ(s.copy(copied, 4, 3), 2u);
    EXPECT_EQ(std::string(copied, 3), "de-");
    EXPECT_EQ(relations(S("a\xff"), S("ab")), relations(std::string("a\xff"), std::string("ab"))); // bytes unsigned

    const std::string longText = letters(45);
    std::ostringstream out, expected;
    out << '[' << std::setw(8) << std::left << std::setfill('.') << S("abc") << ']' << S(longText);
    expected << '[' << std::setw(8) << std::left << std::setfill('.') << std::string("abc") << ']' << longText;
    EXPECT_EQ(out.str(), expected.str());
    EXPECT_EQ(S(longText).str(), longText);
    S trimmed(longText + longText); // equal strings hash alike whatever their capacity or history
    trimmed.resize(longText.size());
    EXPECT_EQ(std::hash<S>()(trimmed), std::hash<S>()(S(longText)));
}

TEST(FlexStringLayoutTest, StorageSizesAndEmptyMiniStringsAllocateNothing) {
    static_assert(sizeof(flex_string) == 32, "flex_string stays 32 bytes");
    static_assert(sizeof(mini_string) == sizeof(void*), "mini_string stays one pointer");
    mini_string empty, cleared("some text");
    cleared.clear();
    cleared.shrink_to_fit();
    EXPECT_EQ(std::vector<std::size_t>({empty.capacity(), mini_string(empty).capacity(), cleared.capacity()}),
              std::vector<std::size_t>({0, 0, 0}));
    EXPECT_EQ(flex_string(std::string(31, 'x')).capacity(), 31u) << "31 characters still fit inside";
}

TEST(FlexStringDeathTest, CheckedAccessAndImpossibleSizesEndTheProcess) {
    flex_string small("abc");
    mini_string mini("abc");
    EXPECT_DEATH(small.at(3), "n < size");
    EXPECT_DEATH(mini.at(static_cast<std::size_t>(-1)), "n < size");
    EXPECT_DEATH(small.append(small.max_size(), 'x'), "max_size");
    EXPECT_DEATH(mini.reserve(mini.max_size() + 1), "maxSize");
}
