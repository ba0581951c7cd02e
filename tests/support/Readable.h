// Test helpers that make a failed check show its values: printers for the
// time records, the six relations of two values as one record, membership in
// a short list of allowed values, and a wait that tells the last value it read.
#ifndef DOZUV2_TESTS_SUPPORT_READABLE_H
#define DOZUV2_TESTS_SUPPORT_READABLE_H

#include "support/Testing.h"
#include "virad/CTime.h"
#include "virad/SystemTime.h"

#include <array>
#include <initializer_list>
#include <ostream>

namespace Orvane {
namespace Virad {

// Every field, in the order of the calendar: "2021-02-03 00:00:00 w3 dst-1".
inline void PrintTo(const SystemTime& t, std::ostream* out) {
    *out << Testing::timeFields(t) << " dst" << t.isdst;
}
inline void PrintTo(const CTime& t, std::ostream* out) {
    *out << Testing::timeFields(t) << " dst" << t.isdst;
}

} // namespace Virad

namespace Testing {

// a == b, a != b, a < b, a <= b, a > b and a >= b. Compared with the relations
// of two plain numbers, e.g. relations(0, 1) for "before".
template <typename A, typename B> std::array<bool, 6> relations(const A& a, const B& b) {
    return {a == b, a != b, (a < b), a <= b, (a > b), a >= b};
}

// Whether the value is one of those allowed; a failure names them all.
template <typename T> testing::AssertionResult isOneOf(const T& value, std::initializer_list<T> allowed) {
    if (std::find(allowed.begin(), allowed.end(), value) != allowed.end()) {
        return testing::AssertionSuccess();
    }
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << testing::PrintToString(value) << " is none of";
    for (const T& each : allowed) {
        failure << " " << testing::PrintToString(each);
    }
    return failure;
}

// Polls like eventually until what read() returns equals the expected value;
// a failure shows the last value read.
template <typename Read, typename T>
testing::AssertionResult eventuallyEquals(Read read, const T& expected, int milliseconds = 10000) {
    auto last = read();
    if (eventually(
            [&] {
                last = read();
                return last == expected;
            },
            milliseconds)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "still " << testing::PrintToString(last) << " after " << milliseconds
                                       << " ms, expected " << testing::PrintToString(expected);
}

} // namespace Testing
} // namespace Orvane

#endif
