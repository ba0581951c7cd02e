// What every fuzz target shares: the property check that stops the run
// with a description, and a library kept quiet so the fuzzer's own output
// stays readable.
//
// One condition per check, and a description that shows the values, so that
// a finding says which property broke and with what.
#ifndef DOZUV2_TESTS_SUPPORT_FUZZCHECK_H
#define DOZUV2_TESTS_SUPPORT_FUZZCHECK_H

#include "support/LogControl.h"

#include <cstdio>
#include <cstdlib>

// A property that does not hold is a finding, like a crash: the input is
// saved by libFuzzer as a reproducer.
#define FUZZ_CHECK(condition, ...)                                                                                     \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "property failed: %s\n  ", #condition);                                               \
            std::fprintf(stderr, __VA_ARGS__);                                                                         \
            std::fputc('\n', stderr);                                                                                  \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

namespace Fuzz {

// Whether the value lies in [low, high]: a range is one property.
template <typename T, typename Low, typename High> bool within(const T& value, const Low& low, const High& high) {
    return !(value < low) && !(high < value);
}

} // namespace Fuzz

// The start-up of a target that needs nothing beyond a quiet library.
#define FUZZ_QUIET_START()                                                                                             \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                                                               \
        Orvane::Testing::quietLibrary();                                                                               \
        return 0;                                                                                                      \
    }

#endif
