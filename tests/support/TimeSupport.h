// Test helper: broken-down times as text and as second counts, so that a
// failed comparison shows every field at once.
#ifndef DOZUV2_TESTS_SUPPORT_TIMESUPPORT_H
#define DOZUV2_TESTS_SUPPORT_TIMESUPPORT_H

#include "virad/CTime.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace Orvane {
namespace Testing {

// "YYYY-MM-DD hh:mm:ss w<wday>" of any broken-down record.
template <typename Fields> std::string fieldsOf(const Fields& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d w%d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.wday);
    return text;
}

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
