// flex_string and mini_string run the same operations as a std::string and are compared with it after each step.
#include "virad/devez3/detail/flex_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iomanip>
#include <iterator>
#include <list>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

using Orvane::Virad::flex_string;
using Orvane::Virad::mini_string;

namespace {

constexpr std::size_t npos = std::string::npos;

// Every observable of s agrees with the reference string.
template <typename S> testing::AssertionResult sameAs(const S& s, const std::string& ref) {
    const std::string got(s.data(), s.size());
    const bool consistent = s.length() == s.size() && s.empty() == ref.empty() && s.c_str() == s.data() &&
                            s.c_str()[s.size()] == '\0' && s.capacity() >= s.size() &&
                            std::string(s.begin(), s.end()) == ref &&
                            std::string(s.rbegin(), s.rend()) == std::string(ref.rbegin(), ref.rend());
    if (got == ref && consistent) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "content \"" << got << "\" (size " << s.size() << ", capacity "
                                         << s.capacity() << ") expected \"" << ref << "\"; observers consistent "
                                         << consistent;
}

// A string under test and its std::string reference, changed in lockstep by
// generic lambdas that compile against both.
template <typename S> struct Twin {
    S s;
    std::string ref;

    explicit Twin(const std::string& text = std::string()) : s(text.data(), text.size()), ref(text) {}
    template <typename Op> testing::AssertionResult apply(Op op) {
        op(s);
        op(ref);
        return sameAs(s, ref);
    }
};

std::string letters(std::size_t n, char first = 'a') {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text.push_back(static_cast<char>(first + i % 26));
    }
    return text;
}

// Lengths on both sides of the inline limit, where the representation changes.
const std::vector<std::size_t> kBoundaryLengths = {0, 1, 15, 30, 31, 32, 33, 63, 64, 100};

template <typename S> class FlexStringTest : public ::testing::Test {};
using StringTypes = ::testing::Types<flex_string, mini_string>;
TYPED_TEST_SUITE(FlexStringTest, StringTypes);

TYPED_TEST(FlexStringTest, ConstructionGrowthAndShrinkAroundTheInlineLimit) {
    using S = TypeParam;
    for (std::size_t n : kBoundaryLengths) {
        SCOPED_TRACE(n);
        const std::string ref = letters(n);
        const std::list<char> chars(ref.begin(), ref.end());
        const S original(ref);
        for (const S& s : {S(ref.c_str()), S(ref.data(), n), S(chars.begin(), chars.end()), S(original)}) {
            EXPECT_TRUE(sameAs(s, ref));
        }
        EXPECT_TRUE(sameAs(S(n, 'x'), std::string(n, 'x')));
        EXPECT_TRUE(sameAs(S(original, 1), n == 0 ? std::string() : ref.substr(1)));
        Twin<S> t(ref);
        EXPECT_TRUE(t.apply([](auto& s) { s.resize(s.size() + 2); })); // grows with NULs
        EXPECT_TRUE(t.apply([](auto& s) { s.reserve(s.size() + 40); }));
        EXPECT_TRUE(t.apply([](auto& s) { s.shrink_to_fit(); }));
        EXPECT_LT(t.s.capacity(), n + 40) << "shrink_to_fit gives back reserved room";
    }
    EXPECT_TRUE(sameAs(S({'a', '\0', 'b'}), std::string("a\0b", 3)));
    EXPECT_TRUE(sameAs(S(static_cast<const char*>(nullptr)), "")); // a null C string is empty

    // Growth is geometric: doubling changes the capacity about 12 times here, a constant step thousands of times.
    S g;
    std::size_t capacityChanges = 0;
    for (std::size_t i = 0, last = g.capacity(); i < 100000; ++i) {
        g.push_back('g');
        capacityChanges += g.capacity() != last ? 1 : 0;
        last = g.capacity();
    }
    EXPECT_LE(capacityChanges, 40u);
}

TYPED_TEST(FlexStringTest, ArgumentsPointingIntoTheStringItself) {
    for (std::size_t n : {15, 31, 32, 64}) {
        SCOPED_TRACE(n);
        Twin<TypeParam> t(letters(n));
        EXPECT_TRUE(t.apply([](auto& s) { s.append(s); }));
        EXPECT_TRUE(t.apply([](auto& s) { s.append(s.c_str()); }));
        EXPECT_TRUE(t.apply([](auto& s) { s.append(s.begin() + 3, s.end()); }));
        EXPECT_TRUE(t.apply([n](auto& s) { s.resize(n); }));
        EXPECT_TRUE(t.apply([](auto& s) { s.insert(0, s); }));
        EXPECT_TRUE(t.apply([](auto& s) { s.insert(s.size() - 1, s.c_str() + s.size() - 4); }));
        EXPECT_TRUE(t.apply([](auto& s) { s.replace(1, 3, s.data() + 2, 10); }));
        EXPECT_TRUE(t.apply([](auto& s) { s.replace(0, std::string::npos, s); }));
        EXPECT_TRUE(t.apply([](auto& s) { s = std::move(s) + s; }));
        EXPECT_TRUE(t.apply([](auto& s) {
            auto& alias = s;
            s = alias;
        }));
    }
}

TYPED_TEST(FlexStringTest, SearchesMatchStdStringIncludingNposAndPositionsPastTheEnd) {
    using S = TypeParam;
    const std::vector<std::string> haystacks = {"", "abcabcXabc", "aaaa", std::string("ab\0cab\0c", 8),
                                                "xyz:" + letters(40) + ":abc:" + letters(30) + ":xyz"};
    const std::vector<std::string> needles = {
        "", "a", "abc", "cX", "zzz", "bca", ":x", "xyz", letters(26), std::string("\0c", 2), letters(100)};
    for (const std::string& hay : haystacks) {
        const S s(hay);
        const std::vector<std::size_t> positions = {0, 1, 5, hay.size() / 2, hay.size(), hay.size() + 1, npos};
        for (const std::string& needle : needles) {
            const S sn(needle);
            for (std::size_t pos : positions) {
                SCOPED_TRACE(testing::Message() << "in \"" << hay << "\" \"" << needle << "\" from " << pos);
                auto all = [pos](const auto& h, const auto& n) {
                    return std::array<std::size_t, 6>{h.find(n, pos),
                                                      h.rfind(n, pos),
                                                      h.find_first_of(n, pos),
                                                      h.find_last_of(n, pos),
                                                      h.find_first_not_of(n, pos),
                                                      h.find_last_not_of(n, pos)};
                };
                EXPECT_EQ(all(s, sn), all(hay, needle));
                EXPECT_EQ(all(s, needle.c_str()), all(hay, needle.c_str()));
                EXPECT_EQ(s.find(needle.data(), pos, needle.size()), hay.find(needle.data(), pos, needle.size()));
                if (!needle.empty()) {
                    EXPECT_EQ(all(s, needle.back()), all(hay, needle.back()));
                }
            }
        }
    }
    EXPECT_EQ(S("abc").find(static_cast<const char*>(nullptr)), 0u);
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

template <typename A, typename B> std::array<bool, 6> relations(const A& a, const B& b) {
    return {a == b, a != b, a<b, a <= b, a> b, a >= b};
}

TYPED_TEST(FlexStringTest, ComparisonsFollowByteOrderWithPrefixesAndHighBytes) {
    using S = TypeParam;
    const std::string shared = letters(31);
    const std::vector<std::string> texts = {
        "",     "a",          "ab",         "abc",         "abd",
        "b",    "A",          "\xff",       "a\xff",       std::string("a\0b", 3),
        shared, shared + "a", shared + "b", shared + "ab", shared.substr(0, 30) + "z"};
    for (const std::string& x : texts) {
        for (const std::string& y : texts) {
            SCOPED_TRACE(testing::Message() << "\"" << x << "\" vs \"" << y << "\"");
            const S a(x), b(y);
            const char* yc = y.c_str();
            const char* xc = x.c_str();
            EXPECT_EQ(sign(a.compare(b)), sign(x.compare(y)));
            EXPECT_EQ(sign(a.compare(yc)), sign(x.compare(yc)));
            EXPECT_EQ(sign(a.compare(1, 3, b, 1)),
                      sign(x.compare(std::min<std::size_t>(1, x.size()), 3, y, std::min<std::size_t>(1, y.size()))));
            EXPECT_EQ(sign(a.compare(0, 2, yc)), sign(x.compare(0, 2, yc)));
            // All six relations, with flex strings, C strings and std::strings on either side.
            EXPECT_EQ(relations(a, b), relations(x, y));
            EXPECT_EQ(relations(a, yc), relations(x, yc));
            EXPECT_EQ(relations(xc, b), relations(xc, y));
            EXPECT_EQ(relations(x, b), relations(x, y));
        }
    }
}

TYPED_TEST(FlexStringTest, CopiesAreIndependentMovesLeaveAnEmptyUsableSourceAndSwapsExchange) {
    using S = TypeParam;
    for (std::size_t n : kBoundaryLengths) {
        for (std::size_t m : kBoundaryLengths) {
            SCOPED_TRACE(testing::Message() << n << " into " << m);
            const std::string from = letters(n), to = letters(m, 'K');

            S source(from), target(to);
            target = source;
            target += '!';
            EXPECT_TRUE(sameAs(source, from));
            EXPECT_TRUE(sameAs(target, from + "!"));

            S moveTarget(to);
            moveTarget = std::move(source);
            EXPECT_TRUE(sameAs(moveTarget, from));
            EXPECT_TRUE(sameAs(source, "")); // NOLINT(bugprone-use-after-move): the moved-from state is specified
            source += "reused";
            EXPECT_TRUE(sameAs(source, "reused"));

            S constructed(std::move(moveTarget));
            EXPECT_TRUE(sameAs(constructed, from));
            EXPECT_TRUE(sameAs(moveTarget, "")); // NOLINT(bugprone-use-after-move)

            S& alias = constructed;
            constructed = std::move(alias); // moving onto itself keeps the content
            EXPECT_TRUE(sameAs(constructed, from));

            S other(to);
            constructed.swap(other);
            EXPECT_TRUE(sameAs(constructed, to) && sameAs(other, from));
            swap(constructed, other);
            EXPECT_TRUE(sameAs(constructed, from) && sameAs(other, to));
        }
    }
    S a(letters(50)), b(letters(60));
    const char* bufferA = a.data();
    a.swap(b);
    EXPECT_EQ(b.data(), bufferA) << "large strings trade buffers without copying";
}

TYPED_TEST(FlexStringTest, ConcatenationInEveryCombination) {
    using S = TypeParam;
    for (std::size_t n : {0, 16, 31, 40}) {
        for (std::size_t m : {0, 1, 15, 16, 40}) {
            SCOPED_TRACE(testing::Message() << n << " + " << m);
            const std::string x = letters(n), y = letters(m, 'N');
            const S a(x), b(y);
            S roomy(y);
            roomy.reserve(200); // the right operand has room, so it takes the left in front
            const S sums[] = {a + b,
                              S(a) + b,
                              a + S(b),
                              S(a) + S(b),
                              a + y.c_str(),
                              S(a) + y.c_str(),
                              x.c_str() + b,
                              x.c_str() + S(b),
                              a + y,
                              S(a) + y,
                              x + b,
                              x + S(b),
                              a + std::move(roomy)};
            for (const S& sum : sums) {
                EXPECT_TRUE(sameAs(sum, x + y)) << "form " << (&sum - sums);
            }
            EXPECT_TRUE(sameAs(a + '.', x + '.') && sameAs(S(a) + '.', x + '.'));
            EXPECT_TRUE(sameAs('.' + b, '.' + y) && sameAs('.' + S(b), '.' + y));
        }
    }
}

TYPED_TEST(FlexStringTest, PositionsPastTheEndAreClampedAndNullCStringsAreEmpty) {
    using S = TypeParam;
    for (std::size_t n : {5, 40}) {
        const std::string text = letters(n);
        const S s(text);
        EXPECT_TRUE(sameAs(s.substr(n), ""));
        EXPECT_TRUE(sameAs(s.substr(n + 1), ""));
        EXPECT_TRUE(sameAs(S(s, n + 7), ""));
        EXPECT_TRUE(sameAs(S(s).insert(n + 3, "x"), text + "x"));
        EXPECT_TRUE(sameAs(S(s).replace(n + 3, 2, "y"), text + "y"));
        EXPECT_TRUE(sameAs(S(s).append(s, n + 2, 4), text));
        EXPECT_EQ(s.compare(n + 1, 3, ""), 0);
        char out[4] = {'-', '-', '-', '-'};
        EXPECT_EQ(s.copy(out, 4, n + 1), 0u);
        EXPECT_EQ(s.copy(out, 4, n - 2), 2u);
        EXPECT_EQ(std::string(out, 2), text.substr(n - 2));
        EXPECT_EQ(out[2], '-');

        const char* null = nullptr;
        S t(s);
        t.append(null);
        t.insert(0, null);
        EXPECT_TRUE(sameAs(t, text));
        EXPECT_GT(t.compare(null), 0);
        EXPECT_TRUE(sameAs(t.assign(null), ""));
        EXPECT_TRUE(S() == null);
    }
}

TYPED_TEST(FlexStringTest, IteratorsStreamsAndHashing) {
    using S = TypeParam;
    const std::string longText = letters(45);
    Twin<S> t(longText);
    EXPECT_TRUE(t.apply([](auto& v) { std::sort(v.begin(), v.end()); }));
    EXPECT_TRUE(t.apply([](auto& v) { std::reverse(v.rbegin(), v.rbegin() + 10); }));
    EXPECT_TRUE(t.apply([](auto& v) { v.at(4) = v.front(); }));
    // Iterator forms return the position of the first character after the change.
    EXPECT_TRUE(t.apply([](auto& v) { v.insert(v.erase(v.cbegin() + 1), 3, '>'); }));
    EXPECT_TRUE(t.apply([](auto& v) { v.erase(v.erase(v.cend() - 2, v.cend()) - 3); }));
    EXPECT_TRUE(t.apply([&](auto& v) { v.replace(v.begin(), v.begin() + 2, longText.rbegin(), longText.rend()); }));

    std::ostringstream out, expected;
    out << '[' << std::setw(8) << std::left << std::setfill('.') << S("abc") << ']' << S(longText);
    expected << '[' << std::setw(8) << std::left << std::setfill('.') << std::string("abc") << ']' << longText;
    EXPECT_EQ(out.str(), expected.str());
    EXPECT_EQ(S(longText).str(), longText);
    // Equal strings hash alike whatever their capacity or history.
    S trimmed(longText + longText);
    trimmed.resize(longText.size());
    EXPECT_EQ(std::hash<S>()(trimmed), std::hash<S>()(S(longText)));
    std::unordered_map<S, int> map;
    for (int i = 0; i < 200; ++i) {
        map[S(letters(static_cast<std::size_t>(i % 50 + 1), static_cast<char>('a' + i / 50)))] = i;
    }
    EXPECT_EQ(map.size(), 200u);
    EXPECT_EQ(map.at(S(letters(33, 'b'))), 82);
}

TYPED_TEST(FlexStringTest, RandomOperationsMatchStdString) {
    std::mt19937 random(20240611u);
    auto below = [&random](std::size_t limit) { return static_cast<std::size_t>(random() % (limit + 1)); };
    Twin<TypeParam> t;
    for (int step = 0; step < 4000; ++step) {
        const std::size_t pos = below(t.ref.size());
        const std::size_t len = below(t.ref.size() - pos);
        const std::string piece = std::string(below(40), "abc"[below(2)]) + letters(below(3));
        const char c = "abc"[below(2)];
        const std::size_t count = below(70);
        const int op = static_cast<int>(below(16));
        SCOPED_TRACE(testing::Message() << "step " << step << " op " << op);
        if (op == 16) {
            EXPECT_EQ(t.s.find(piece.c_str(), pos), t.ref.find(piece.c_str(), pos));
            EXPECT_EQ(t.s.rfind(c, pos), t.ref.rfind(c, pos));
            EXPECT_EQ(sign(t.s.compare(piece)), sign(t.ref.compare(piece)));
            continue;
        }
        ASSERT_TRUE(t.apply([&](auto& s) {
            switch (op) {
            case 0:
                return s.push_back(c);
            case 1:
                return s.empty() ? void() : s.pop_back();
            case 2:
                return void(s.append(piece));
            case 3:
                return void(s.append(count / 4, c));
            case 4:
                return void(s.append(s.data() + pos, len));
            case 5:
                return void(s.insert(pos, piece.c_str()));
            case 6:
                return void(s.insert(pos, s.data() + pos / 2, len / 2));
            case 7:
                return void(s.erase(pos, len));
            case 8:
                return void(s.replace(pos, len, piece.data(), piece.size()));
            case 9:
                return void(s.replace(pos, len, count / 2, c));
            case 10:
                return s.resize(count, c);
            case 11:
                return void(s.assign(piece.c_str()));
            case 12:
                return void(s = s.substr(pos, len + 1));
            case 13:
                return s.reserve(count + 30);
            case 14:
                return s.shrink_to_fit();
            default: {
                std::remove_reference_t<decltype(s)> other(piece);
                return s.swap(other);
            }
            }
        }));
        if (t.ref.size() > 120) {
            ASSERT_TRUE(t.apply([](auto& s) { s.erase(40); }));
        }
    }
}

TEST(FlexStringLayoutTest, StorageSizesAndEmptyMiniStringsAllocateNothing) {
    static_assert(sizeof(flex_string) == 32, "flex_string stays 32 bytes");
    static_assert(sizeof(mini_string) == sizeof(void*), "mini_string stays one pointer");
    mini_string empty;
    EXPECT_EQ(empty.capacity(), 0u);
    EXPECT_EQ(mini_string(empty).capacity(), 0u);
    mini_string cleared("some text");
    cleared.clear();
    cleared.shrink_to_fit();
    EXPECT_EQ(cleared.capacity(), 0u);
    EXPECT_TRUE(sameAs(cleared, ""));
    EXPECT_EQ(flex_string(std::string(31, 'x')).capacity(), 31u); // 31 characters still fit inside
}

TEST(FlexStringDeathTest, CheckedAccessAndImpossibleSizesEndTheProcess) {
    flex_string small("abc");
    mini_string mini("abc");
    EXPECT_DEATH(small.at(3), "n < size");
    EXPECT_DEATH(mini.at(static_cast<std::size_t>(-1)), "n < size");
    EXPECT_DEATH(small.append(small.max_size(), 'x'), "max_size");
    EXPECT_DEATH(mini.reserve(mini.max_size() + 1), "maxSize");
}

} // namespace
