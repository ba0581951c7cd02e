// flex_string and mini_string against std::string as the model.
//
// A sequence of edits from the input is applied to both library strings and
// to two std::strings; after every step each string must hold exactly the
// model's bytes, stay terminated and have room for its size, and every
// search and comparison must answer as the model does. Positions past the
// end are clamped for the model first: that is where the library's strings
// differ from std::string by design. A second kind of step runs the whole
// interface's edits with positions inside the string, arguments pointing
// into the string itself, and every overload of the searches and relations.
#include "support/FuzzCheck.h"

#include "virad/devez3/detail/flex_string.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <string>

using Orvane::Virad::flex_string;
using Orvane::Virad::mini_string;

namespace {

constexpr std::size_t kMaxSize = 2048;

int sign(int v) {
    return (v > 0) - (v < 0);
}

template <typename S> void same(const S& s, const std::string& model, int step) {
    FUZZ_CHECK(s.size() == model.size(), "step %d: %zu bytes against the model's %zu", step, s.size(), model.size());
    FUZZ_CHECK(std::equal(model.begin(), model.end(), s.data()), "step %d: bytes differ from the model's", step);
    FUZZ_CHECK(s.c_str()[s.size()] == '\0', "step %d: no terminator after %zu bytes", step, s.size());
    FUZZ_CHECK(s.capacity() >= s.size(), "step %d: capacity %zu for %zu bytes", step, s.capacity(), s.size());
    FUZZ_CHECK(s.empty() == model.empty(), "step %d: empty() is %d", step, s.empty());
    FUZZ_CHECK(s.c_str() == s.data(), "step %d: c_str() is not data()", step);
    FUZZ_CHECK(s.length() == s.size(), "step %d: length %zu, size %zu", step, s.length(), s.size());
    FUZZ_CHECK(std::string(s.begin(), s.end()) == model, "step %d: the iterators disagree", step);
    FUZZ_CHECK(std::string(s.rbegin(), s.rend()) == std::string(model.rbegin(), model.rend()),
               "step %d: the reverse iterators disagree", step);
}

// The six searches from one position (with a count for a character array), and the six relations.
template <typename H, typename N, typename... K>
std::array<std::size_t, 6> searchesFrom(const H& h, const N& n, std::size_t pos, K... k) {
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

// Every overload of the searches, relations and comparisons, from anywhere up to just past the end.
template <typename S>
void queries(const S& s, const std::string& model, const std::string& needle, std::size_t from, char c) {
    const std::size_t at = std::min(from, model.size());
    const char* const n = needle.c_str();
    const std::size_t k = needle.size();
    FUZZ_CHECK(searchesFrom(s, S(needle), from) == searchesFrom(model, needle, from), "searches for a string");
    FUZZ_CHECK(searchesFrom(s, n, from) == searchesFrom(model, n, from), "searches for a C string");
    FUZZ_CHECK(searchesFrom(s, n, from, k) == searchesFrom(model, n, from, k), "searches for a counted array");
    FUZZ_CHECK(searchesFrom(s, c, from) == searchesFrom(model, c, from), "searches for a character");
    FUZZ_CHECK(relations(s, S(needle)) == relations(model, needle), "relations with a string");
    FUZZ_CHECK(relations(n, s) == relations(n, model), "relations of a C string with it");
    FUZZ_CHECK(relations(s, needle) == relations(model, needle), "relations with a standard string");
    FUZZ_CHECK(relations(needle, s) == relations(needle, model), "relations of a standard string with it");
    FUZZ_CHECK(sign(s.compare(at, 2, n, k)) == sign(model.compare(at, 2, n, k)), "compare of a part with an array");
    FUZZ_CHECK(sign(s.compare(from, 3, S(needle), 1)) ==
                   sign(model.compare(at, 3, needle, std::min<std::size_t>(1, k))),
               "compare of a part with a string");
    FUZZ_CHECK(static_cast<std::string>(s) == model, "conversion");
}

// One of the whole interface's edits, positions inside the string; arguments may point into the string itself.
template <typename S> void walk(FuzzedDataProvider& in, S& s, std::string& model, int step) {
    auto below = [&in](std::size_t limit) { return in.ConsumeIntegralInRange<std::size_t>(0, limit); };
    const std::size_t pos = below(model.size()), len = below(model.size() - pos), count = below(70);
    const std::string piece = in.ConsumeRandomLengthString(44);
    const char c = in.ConsumeIntegral<char>();
    auto both = [&](auto change) {
        change(s);
        change(model);
    };
    // One mutation per line.
    // clang-format off
    switch (in.ConsumeIntegralInRange(0, 45)) {
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
        std::string otherModel(piece);
        s.swap(other);
        model.swap(otherModel);
        same(other, otherModel, step);
        break;
    }
    // clang-format on
    default: // a needle taken from the string, or one that is mostly not in it
        queries(s, model, model.substr(pos, below(4)) + (count % 2 ? piece : ""), below(model.size() + 2), c);
        break;
    }
}

template <typename S> void searches(const S& s, const std::string& model, const std::string& needle, std::size_t pos) {
    const S other(needle.data(), needle.size());
    FUZZ_CHECK(searchesFrom(s, other, pos) == searchesFrom(model, needle, pos), "searches from %zu", pos);
    if (!needle.empty()) {
        FUZZ_CHECK(s.find(needle[0], pos) == model.find(needle[0], pos), "find of a character");
    }
    FUZZ_CHECK(sign(s.compare(other)) == sign(model.compare(needle)), "compare");
    FUZZ_CHECK((s == other) == (model == needle), "==");
    FUZZ_CHECK((s < other) == (model < needle), "<");
    const std::size_t at = std::min(pos, model.size());
    FUZZ_CHECK(s.substr(pos, 7).str() == model.substr(at, 7), "substr");
}

// One edit of the input's choosing, applied to s and its model alike.
template <typename S> void edit(FuzzedDataProvider& in, S& s, std::string& model, S& other, std::string& otherModel) {
    const std::string text = in.ConsumeRandomLengthString(40);
    const std::size_t pos = in.ConsumeIntegralInRange<std::size_t>(0, model.size() + 3);
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 50);
    const std::size_t at = std::min(pos, model.size());
    const char c = in.ConsumeIntegral<char>();
    switch (in.ConsumeIntegralInRange(0, 15)) {
    case 0:
        s.assign(text.data(), text.size());
        model = text;
        break;
    case 1:
        s.append(text.c_str());
        model.append(text.c_str());
        break;
    case 2:
        s.append(n, c);
        model.append(n, c);
        break;
    case 3:
        s.insert(pos, text.data(), text.size());
        model.insert(at, text);
        break;
    case 4:
        s.erase(pos, n);
        model.erase(at, n);
        break;
    case 5:
        s.replace(pos, n, text.data(), text.size());
        model.replace(at, n, text);
        break;
    case 6: { // the argument inside the string itself
        const std::size_t from = std::min(n, model.size());
        const std::size_t count = std::min<std::size_t>(in.ConsumeIntegralInRange(0, 30), model.size() - from);
        s.replace(pos, n / 2, s.data() + from, count);
        model.replace(at, n / 2, model.substr(from, count));
        break;
    }
    case 7:
        s.append(s);
        model.append(std::string(model));
        break;
    case 8:
        s.insert(pos, s);
        model.insert(at, std::string(model));
        break;
    case 9:
        s.push_back(c);
        model.push_back(c);
        break;
    case 10:
        if (!model.empty()) {
            s.pop_back();
            model.pop_back();
        }
        break;
    case 11:
        s.resize(n * 3, c);
        model.resize(n * 3, c);
        break;
    case 12:
        s.reserve(n * 5);
        if (in.ConsumeBool()) {
            s.shrink_to_fit();
        }
        break;
    case 13:
        s.swap(other);
        model.swap(otherModel);
        break;
    case 14: {
        S copy(s);
        S moved(std::move(copy));
        FUZZ_CHECK(copy.empty(), "a moved-from string is empty");
        s = moved;
        s += text;
        model += text;
        break;
    }
    default:
        s = s.substr(pos, n);
        model = model.substr(at, n);
        break;
    }
    if (model.size() > kMaxSize) {
        s.resize(kMaxSize);
        model.resize(kMaxSize);
    }
    searches(s, model, text, pos);
}

template <typename S> void run(FuzzedDataProvider& in) {
    S a, b;
    std::string modelA, modelB;
    for (int step = 0; in.remaining_bytes() > 0 && step < 64; ++step) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            edit(in, a, modelA, b, modelB);
            break;
        case 1:
            edit(in, b, modelB, a, modelA);
            break;
        default:
            walk(in, a, modelA, step);
            break;
        }
        if (modelA.size() > kMaxSize) {
            a.resize(kMaxSize);
            modelA.resize(kMaxSize);
        }
        same(a, modelA, step);
        same(b, modelB, step);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        run<flex_string>(in);
    } else {
        run<mini_string>(in);
    }
    return 0;
}
