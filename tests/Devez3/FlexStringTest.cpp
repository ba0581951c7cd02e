// flex_string and mini_string run the same operations as a std::string and are compared with it after each step.
#include "virad/devez3/detail/flex_string.h"

#include "support/Testing.h"

#include <array>
#include <iomanip>
#include <list>
#include <random>
#include <sstream>
#include <unordered_map>

using Orvane::Virad::flex_string;
using Orvane::Virad::mini_string;

// Every observable of s agrees with the reference string.
template <typename S> testing::AssertionResult sameAs(const S& s, const std::string& ref) {
    const bool consistent = s.length() == s.size() && s.empty() == ref.empty() && s.c_str() == s.data() &&
                            s.c_str()[s.size()] == '\0' && s.capacity() >= s.size() &&
                            std::string(s.begin(), s.end()) == ref &&
                            std::string(s.rbegin(), s.rend()) == std::string(ref.rbegin(), ref.rend());
    return (std::string(s.data(), s.size()) == ref && consistent ? testing::AssertionSuccess()
                                                                 : testing::AssertionFailure())
           << "\"" << std::string(s.data(), s.size()) << "\" (capacity " << s.capacity() << ") expected \"" << ref
           << "\", observers consistent " << consistent;
}

std::string letters(std::size_t n, char first = 'a') {
    std::string text(n, ' ');
    for (std::size_t i = 0; i < n; ++i) {
        text[i] = static_cast<char>(first + i % 26);
    }
    return text;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

// The six searches from one position (with a count for a character array), and the six relations.
template <typename H, typename N, typename... K>
std::array<std::size_t, 6> searches(const H& h, const N& n, std::size_t pos, K... k) {
    return {h.find(n, pos, k...),
            h.rfind(n, pos, k...),
            h.find_first_of(n, pos, k...),
            h.find_last_of(n, pos, k...),
            h.find_first_not_of(n, pos, k...),
            h.find_last_not_of(n, pos, k...)};
}
template <typename A, typename B> std::array<bool, 6> relations(const A& a, const B& b) {
    return {a == b, a != b, a<b, a <= b, a> b, a >= b};
}

template <typename S> class FlexStringTest : public ::testing::Test {};
using StringTypes = ::testing::Types<flex_string, mini_string>;
TYPED_TEST_SUITE(FlexStringTest, StringTypes);

// A random walk of mutations, each applied to the string and to a std::string, sizes crossing the 31-character
// inline limit both ways; arguments may point into the string itself.
TYPED_TEST(FlexStringTest, RandomOperationsMatchStdString) {
    using S = TypeParam;
    std::mt19937 random(20240611u);
    auto below = [&random](std::size_t limit) { return static_cast<std::size_t>(random() % (limit + 1)); };
    S s;
    std::string ref;
    for (int step = 0; step < 6000; ++step) {
        const std::size_t pos = below(ref.size()), len = below(ref.size() - pos), count = below(70);
        const std::string piece = std::string(below(40), "abc"[below(2)]) + letters(below(3));
        const char c = "abc"[below(2)];
        const int op = static_cast<int>(below(47));
        SCOPED_TRACE(testing::Message() << "step " << step << " op " << op);
        auto both = [&](auto change) {
            change(s);
            change(ref);
        };
        // One mutation per line.
        // clang-format off
        switch (op) {
        case 0: both([&](auto& v) { v.push_back(c); }); break;
        case 1: both([&](auto& v) { v.empty() ? void() : v.pop_back(); }); break;
        case 2: both([&](auto& v) { v.append(piece); }); break;
        case 3: both([&](auto& v) { v.append(count / 4, c); }); break;
        case 4: both([&](auto& v) { v.append(v.data() + pos, len); }); break;
        case 5: both([&](auto& v) { v.insert(pos, piece.c_str()); }); break;
        case 6: both([&](auto& v) { v.insert(pos, v.data() + pos / 2, len / 2); }); break;
        case 7: both([&](auto& v) { v.erase(pos, len); }); break;
        case 8: both([&](auto& v) { v.replace(pos, len, piece.data(), piece.size()); }); break;
        case 9: both([&](auto& v) { v.replace(pos, len, count / 2, c); }); break;
        case 10: both([&](auto& v) { v.resize(count, c); }); break;
        case 11: both([&](auto& v) { v.resize(count / 2); }); break; // grows with NULs
        case 12: both([&](auto& v) { v.assign(piece.c_str()); }); break;
        case 13: both([&](auto& v) { v = v.substr(pos, len + 1); }); break;
        case 14: both([&](auto& v) { v.reserve(count + 30); }); break;
        case 15: both([&](auto& v) { v.shrink_to_fit(); }); break;
        case 16: both([&](auto& v) { v.append(v); }); break;
        case 17: both([&](auto& v) { v.insert(0, v); }); break;
        case 18: both([&](auto& v) { v.replace(pos, len, v); }); break;
        case 19: both([&](auto& v) { v.insert(v.erase(v.cbegin() + pos, v.cbegin() + pos + len), 2, c); }); break;
        case 20: both([&](auto& v) { v.replace(v.begin() + pos, v.end(), piece.rbegin(), piece.rend()); }); break;
        case 21: both([&](auto& v) { v.assign(v.begin() + pos, v.end()); }); break;
        case 22: both([&](auto& v) { v = std::move(v) + v; }); break;
        case 23: both([&](auto& v) { v.append(v.c_str() + pos); }); break;
        case 25: both([&](auto& v) { v.empty() ? void() : void(v.at(pos % v.size()) = c); }); break;
        case 26: both([&](auto& v) { v.insert(pos, count / 4, c); }); break;
        case 27: both([&](auto& v) { v.replace(v.begin() + pos, v.end(), piece.c_str()); }); break;
        case 28: both([&](auto& v) { pos < v.size() ? void(v.erase(v.cbegin() + pos)) : void(); }); break;
        case 29: both([&](auto& v) { v.insert(v.cbegin() + pos, {c, '.'}); }); break;
        case 30: both([&](auto& v) { v.insert(v.cbegin() + pos, c); }); break;
        case 31: both([&](auto& v) { v.assign(piece.data(), piece.size() / 2); }); break;
        case 32: both([&](auto& v) { v += piece.c_str(); }); break;
        case 33: both([&](auto& v) { count < 10 ? v.clear() : void(); }); break;
        case 34: both([&](auto& v) { v.append(piece.begin(), piece.end()); }); break;
        case 35: both([&](auto& v) { v.empty() ? void() : void(v[pos % v.size()] = v.front() = v.back()); }); break;
        case 36: both([&](auto& v) { v.insert(v.begin() + pos, piece.begin(), piece.end()); }); break;
        case 37: both([&](auto& v) { v.assign(count / 4, c); }); break;
        case 38: both([&](auto& v) { v += std::remove_reference_t<decltype(v)>(piece); }); break;
        case 39: both([&](auto& v) { v.insert(pos, std::remove_reference_t<decltype(v)>(piece), std::min(len % 5, piece.size()), 3); }); break;
        case 40: both([&](auto& v) { v.replace(pos, len, std::remove_reference_t<decltype(v)>(piece), piece.size() / 2, 4); }); break;
        case 41: both([&](auto& v) { v.replace(v.begin() + pos, v.end(), std::remove_reference_t<decltype(v)>(piece)); }); break;
        case 42: both([&](auto& v) { v.replace(v.begin(), v.begin() + pos, piece.c_str(), piece.size() / 2); }); break;
        case 43: both([&](auto& v) { v.replace(v.begin() + pos, v.begin() + pos + len, count / 8, c); }); break;
        case 44: both([&](auto& v) { v = c; }); break;
        case 24: {
            S other(piece);
            std::string otherRef(piece);
            s.swap(other);
            ref.swap(otherRef);
            ASSERT_TRUE(sameAs(other, otherRef));
            break;
        }
        // clang-format on
        default: { // searches and comparisons against the reference, from anywhere and past the end
            const std::size_t from = below(ref.size() + 2), at = std::min(from, ref.size());
            const std::string needle = ref.substr(pos, below(4)) + (op == 46 ? piece : "");
            const char* const n = needle.data();
            const std::size_t k = needle.size();
            EXPECT_EQ(searches(s, S(needle), from), searches(ref, needle, from));
            EXPECT_EQ(searches(s, n, from), searches(ref, n, from));
            EXPECT_EQ(searches(s, n, from, k), searches(ref, n, from, k));
            EXPECT_EQ(searches(s, c, from), searches(ref, c, from));
            EXPECT_EQ(relations(s, S(needle)), relations(ref, needle));
            EXPECT_EQ(relations(n, s), relations(n, ref));
            EXPECT_EQ(relations(s, needle), relations(ref, needle));
            EXPECT_EQ(relations(needle, s), relations(needle, ref));
            EXPECT_EQ((std::array<int, 3>{sign(s.compare(S(needle))), sign(s.compare(at, 2, n, k)),
                                          sign(s.compare(from, 3, S(needle), 1))}),
                      (std::array<int, 3>{sign(ref.compare(needle)), sign(ref.compare(at, 2, n, k)),
                                          sign(ref.compare(at, 3, needle, std::min<std::size_t>(1, k)))}));
            EXPECT_EQ(static_cast<std::string>(s), ref);
            break;
        }
        }
        ASSERT_TRUE(sameAs(s, ref));
        if (ref.size() > 120) {
            s.erase(40);
            ref.erase(40);
        }
    }
}

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
        EXPECT_TRUE(sameAs('.' + b, '.' + y) && sameAs('.' + S(b), '.' + y) && sameAs(S(a) + '.', x + '.') &&
                    sameAs(a + '.', x + '.'));
        // Copies are independent; a move empties its source, which stays usable; moving onto itself keeps it.
        S target(y), moved(y);
        target = a;
        target += '!';
        moved = std::move(a);
        EXPECT_TRUE(sameAs(target, x + "!") && sameAs(moved, x) && sameAs(a, "")); // NOLINT(bugprone-use-after-move)
        a += "reused";
        S constructed(std::move(moved));
        S& alias = constructed;
        constructed = std::move(alias);
        swap(constructed, b);
        EXPECT_TRUE(sameAs(a, "reused") && sameAs(moved, "") && sameAs(constructed, y) && sameAs(b, x));
    }
    EXPECT_TRUE(sameAs(S({'a', '\0', 'b'}), std::string("a\0b", 3)) &&
                sameAs(S(S(letters(40)), 1), letters(40).substr(1)));
    std::istringstream input("streamed text that is longer than thirty-one characters");
    EXPECT_TRUE(sameAs(S(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()),
                       "streamed text that is longer than thirty-one characters"));
    EXPECT_TRUE(sameAs(S(static_cast<const char*>(nullptr)), "")); // a null C string is empty
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

TYPED_TEST(FlexStringTest, PositionsPastTheEndNullsHighBytesStreamsAndHashing) {
    using S = TypeParam;
    const char* null = nullptr;
    for (std::size_t n : {5, 40}) {
        const std::string text = letters(n);
        const S s(text);
        EXPECT_TRUE(sameAs(s.substr(n), "") && sameAs(s.substr(n + 1), "") && sameAs(S(s, n + 7), ""));
        EXPECT_TRUE(sameAs(S(s).insert(n + 3, "x"), text + "x") && sameAs(S(s).replace(n + 3, 2, "y"), text + "y"));
        EXPECT_TRUE(sameAs(S(s).append(s, n + 2, 4), text) && sameAs(S(s).append(null).insert(0, null), text));
        EXPECT_TRUE(s.compare(n + 1, 3, "") == 0 && s.compare(null) > 0 && sameAs(S(s).assign(null), "") &&
                    S() == null);
        char out[4] = {'-', '-', '-', '-'};
        EXPECT_EQ(s.copy(out, 4, n + 1) + s.copy(out, 4, n - 2), 2u);
        EXPECT_EQ(std::string(out, 3), text.substr(n - 2) + "-");
    }
    EXPECT_EQ(S("abc").find(null), 0u);
    EXPECT_EQ(relations(S("a\xff"), S("ab")), relations(std::string("a\xff"), std::string("ab"))); // bytes unsigned

    const std::string longText = letters(45);
    std::ostringstream out, expected;
    out << '[' << std::setw(8) << std::left << std::setfill('.') << S("abc") << ']' << S(longText);
    expected << '[' << std::setw(8) << std::left << std::setfill('.') << std::string("abc") << ']' << longText;
    EXPECT_EQ(out.str() + S(longText).str(), expected.str() + longText);
    S trimmed(longText + longText); // equal strings hash alike whatever their capacity or history
    trimmed.resize(longText.size());
    EXPECT_EQ(std::hash<S>()(trimmed), std::hash<S>()(S(longText)));
    std::unordered_map<S, int> map;
    for (int i = 0; i < 200; ++i) {
        map[S(letters(static_cast<std::size_t>(i % 50 + 1), static_cast<char>('a' + i / 50)))] = i;
    }
    EXPECT_EQ(std::make_pair(map.size(), map.at(S(letters(33, 'b')))), std::make_pair(std::size_t{200}, 82));
}

TEST(FlexStringLayoutTest, StorageSizesAndEmptyMiniStringsAllocateNothing) {
    static_assert(sizeof(flex_string) == 32, "flex_string stays 32 bytes");
    static_assert(sizeof(mini_string) == sizeof(void*), "mini_string stays one pointer");
    mini_string empty, cleared("some text");
    cleared.clear();
    cleared.shrink_to_fit();
    EXPECT_EQ(empty.capacity() + mini_string(empty).capacity() + cleared.capacity(), 0u);
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
