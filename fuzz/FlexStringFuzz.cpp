// flex_string and mini_string against std::string as the model.
//
// A sequence of edits from the input is applied to both library strings and
// to two std::strings; after every step each string must hold exactly the
// model's bytes, stay terminated and have room for its size, and every
// search and comparison must answer as the model does. Positions past the
// end are clamped for the model first: that is where the library's strings
// differ from std::string by design.
#include "FuzzCheck.h"

#include "virad/devez3/detail/flex_string.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>

using Orvane::Virad::flex_string;
using Orvane::Virad::mini_string;

namespace {

constexpr std::size_t kMaxSize = 2048;

int sign(int v) {
    return (v > 0) - (v < 0);
}

template <typename S> void same(const S& s, const std::string& model, int step) {
    FUZZ_CHECK(s.size() == model.size() && std::equal(model.begin(), model.end(), s.data()),
               "step %d: %zu bytes against the model's %zu", step, s.size(), model.size());
    FUZZ_CHECK(s.c_str()[s.size()] == '\0' && s.capacity() >= s.size() && s.empty() == model.empty(),
               "step %d: terminator or capacity", step);
}

template <typename S> void searches(const S& s, const std::string& model, const std::string& needle, std::size_t pos) {
    const S other(needle.data(), needle.size());
    FUZZ_CHECK(s.find(other, pos) == model.find(needle, pos), "find");
    FUZZ_CHECK(s.rfind(other, pos) == model.rfind(needle, pos), "rfind");
    FUZZ_CHECK(s.find_first_of(other, pos) == model.find_first_of(needle, pos), "find_first_of");
    FUZZ_CHECK(s.find_last_of(other, pos) == model.find_last_of(needle, pos), "find_last_of");
    FUZZ_CHECK(s.find_first_not_of(other, pos) == model.find_first_not_of(needle, pos), "find_first_not_of");
    FUZZ_CHECK(s.find_last_not_of(other, pos) == model.find_last_not_of(needle, pos), "find_last_not_of");
    if (!needle.empty()) {
        FUZZ_CHECK(s.find(needle[0], pos) == model.find(needle[0], pos), "find of a character");
    }
    FUZZ_CHECK(sign(s.compare(other)) == sign(model.compare(needle)), "compare");
    FUZZ_CHECK((s == other) == (model == needle) && (s < other) == (model < needle), "== and <");
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
        if (in.ConsumeBool()) {
            edit(in, a, modelA, b, modelB);
        } else {
            edit(in, b, modelB, a, modelA);
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
