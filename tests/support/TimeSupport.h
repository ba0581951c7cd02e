// Test helper: broken-down times as second counts (their text form,
// timeFields, comes with every test program).
#ifndef DOZUV2_TESTS_SUPPORT_TIMESUPPORT_H
#define DOZUV2_TESTS_SUPPORT_TIMESUPPORT_H

#include "virad/CTime.h"

#include <cstdint>

namespace Orvane {
namespace Testing {

// Seconds since 1970-01-01 00:00:00 of a date and time, in no zone.
inline std::uint64_t secondsOf(int year, int month, int day, int hour, int minute, int second) {
    return Virad::CTime::timeToSeconds(Virad::SystemTime{year, month, day, 0, hour, minute, second, -1});
}
template <typename Fields> std::uint64_t secondsOf(const Fields& t) {
    return secondsOf(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

} // namespace Testing
} // namespace Orvane

#endif
