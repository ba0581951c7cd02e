// Gregorian calendar arithmetic shared by the calendar time value, its text
// forms and the clocks.
//
// The field functions are templates over any record with the eight
// broken-down fields (CTime, SystemTime, SystemTimeEx), so each caller works
// on its own type without copying between them.
#ifndef DOZUV2_DEVEZ3_CALENDAR_H
#define DOZUV2_DEVEZ3_CALENDAR_H

#include "virad/SystemTime.h"

#include <cstdint>

namespace Orvane {
namespace Virad {
namespace Detail {

constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2106;
constexpr std::uint64_t kSecondsPerDay = 86400;
// 1970-01-01 was a Thursday.
constexpr int kEpochWeekday = 4;

inline bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days in a month (1..12) of the year.
inline int daysInMonth(std::int64_t year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Division rounding towards minus infinity (b > 0).
inline std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((b - 1 - a) / b);
}

// Days from 1970-01-01 to the date, negative before it. The month may lie
// outside 1..12 (it carries into the year) and the day outside the month (it
// counts on from the month's first day), so any triple of ints has an answer.
inline std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    // Months counted from March, so the leap day ends the counted year.
    const std::int64_t carry = floorDiv(month - 3, 12);
    const std::int64_t monthFromMarch = month - 3 - 12 * carry;
    year += carry;
    const std::int64_t era = floorDiv(year, 400);
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The day of the week, 0 = Sunday, of a day count from 1970-01-01.
inline int weekdayOfDays(std::int64_t days) {
    const std::int64_t w = (days + kEpochWeekday) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

// The date that lies the given number of days after 1970-01-01. The year is
// not bounded: counts far past 2106 give later years (cut to an int).
inline void civilFromDays(std::uint64_t days, int& year, int& month, int& day) {
    const std::uint64_t z = days + 719468;
    const std::uint64_t era = z / 146097;
    const std::uint64_t dayOfEra = z - era * 146097;
    const std::uint64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yearOfEra + era * 400) + (month <= 2 ? 1 : 0));
}

inline int clampInt(int value, int low, int high) {
    return value < low ? low : (value > high ? high : value);
}

// Clamps the fields into the value's range, in a fixed order: year, month,
// day (to the month's length), the day of the week when asked, then hour
// (beyond 23 means the day's last second), minute and second.
template <typename Fields> void normalise(Fields& t, bool withWeekday) {
    t.year = clampInt(t.year, kFirstYear, kLastYear);
    t.month = clampInt(t.month, 1, 12);
    if (t.day <= 0) {
        t.day = 1;
    } else if (t.day > daysInMonth(t.year, t.month)) {
        t.day = daysInMonth(t.year, t.month);
    }
    if (withWeekday) {
        t.wday = weekdayOfDays(daysFromCivil(t.year, t.month, t.day));
    }
    if (t.hour < 0) {
        t.hour = 0;
    } else if (t.hour > 23) {
        t.hour = 23;
        t.minute = 59;
        t.second = 59;
    }
    t.minute = clampInt(t.minute, 0, 59);
    t.second = clampInt(t.second, 0, 59);
}

// The seconds since 1970-01-01 00:00:00 of the fields, read through a
// normalised copy (the record itself is not changed).
template <typename Fields> std::uint64_t secondsOfFields(const Fields& fields) {
    Fields t = fields;
    normalise(t, false);
    const std::uint64_t days = static_cast<std::uint64_t>(daysFromCivil(t.year, t.month, t.day));
    return days * kSecondsPerDay + static_cast<std::uint64_t>(t.hour * 3600 + t.minute * 60 + t.second);
}

// Sets the fields to the split of a seconds count (isdst is left alone).
// Counts that wrapped below zero split as the huge numbers they are.
template <typename Fields> void splitSeconds(std::uint64_t seconds, Fields& t) {
    const std::uint64_t days = seconds / kSecondsPerDay;
    const std::uint64_t rest = seconds % kSecondsPerDay;
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    t.second = static_cast<int>(rest % 60);
    civilFromDays(days, t.year, t.month, t.day);
    t.wday = static_cast<int>((days + kEpochWeekday) % 7);
}

} // namespace Detail
} // namespace Virad
} // namespace Orvane

#endif
