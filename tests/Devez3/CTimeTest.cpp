#include "virad/CTime.h"

#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace Orvane::Virad;
using Orvane::Testing::ScopedTimeZone;

namespace {

// "YYYY-MM-DD hh:mm:ss w<wday>", so a failure shows every field at once.
std::string fieldsOf(const CTime& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d w%d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.wday);
    return text;
}

std::uint64_t secondsOf(int year, int month, int day, int hour, int minute, int second) {
    return CTime::timeToSeconds(SystemTime{year, month, day, 0, hour, minute, second, -1});
}

} // namespace

TEST(CTimeTest, ConstructionAndNormalisationInOrder) {
    const CTime empty;
    EXPECT_EQ(fieldsOf(empty), "0000-00-00 00:00:00 w0");
    EXPECT_EQ(empty.isdst, -1);
    EXPECT_EQ(secondsOf(0, 0, 0, 0, 0, 0), 0u) << "all-zero fields read as 1970-01-01";
    EXPECT_EQ(CTime(2024, 7, 5, 9, 3, 2).isdst, -1);
    EXPECT_EQ(CTime(0, false).isdst, -1);
    EXPECT_EQ(CTime::minTime, CTime(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(CTime::maxTime, CTime(2038, 1, 1, 0, 0, 0));
    EXPECT_EQ(CTime::maxTime.wday, 5);

    EXPECT_EQ(fieldsOf(CTime(2023, 2, 29, 10, 0, 0)), "2023-02-28 10:00:00 w2");
    EXPECT_EQ(fieldsOf(CTime(2024, 2, 30, 10, 0, 0)), "2024-02-29 10:00:00 w4") << "a leap February has 29 days";
    EXPECT_EQ(fieldsOf(CTime(1969, 13, 0, 24, 5, 5)), "1970-12-01 23:59:59 w2");
    // Year, then month, are clamped before the day is measured (2400 leaps, 2106 does not).
    EXPECT_EQ(fieldsOf(CTime(2400, 2, 29, 0, 0, 0)), "2106-02-28 00:00:00 w0");
    EXPECT_EQ(fieldsOf(CTime(2023, 15, 31, 0, 0, 0)), "2023-12-31 00:00:00 w0");
    EXPECT_EQ(fieldsOf(CTime(2023, 4, 31, 0, 0, 0)), "2023-04-30 00:00:00 w0");
    EXPECT_EQ(fieldsOf(CTime(2023, 4, -3, 0, 0, 0)), "2023-04-01 00:00:00 w6");
    // An hour past 23 is the day's last second; a negative hour only becomes 0.
    EXPECT_EQ(fieldsOf(CTime(2024, 1, 1, 25, -5, -5)), "2024-01-01 23:59:59 w1");
    EXPECT_EQ(fieldsOf(CTime(2024, 1, 1, -1, 70, -1)), "2024-01-01 00:59:00 w1");
}

TEST(CTimeTest, SecondsOfDatesAcrossLeapYearsAndCenturies) {
    EXPECT_EQ(secondsOf(1972, 2, 29, 0, 0, 0), 789ULL * 86400);
    EXPECT_EQ(secondsOf(2000, 3, 1, 0, 0, 0), 11017ULL * 86400);
    EXPECT_EQ(secondsOf(2100, 2, 28, 0, 0, 0), 47540ULL * 86400);
    EXPECT_EQ(secondsOf(2100, 3, 1, 0, 0, 0), 47541ULL * 86400);
    EXPECT_EQ(secondsOf(2104, 2, 29, 0, 0, 0), 49001ULL * 86400);
    EXPECT_EQ(secondsOf(2038, 1, 19, 3, 14, 8), 2147483648u);
    EXPECT_EQ(secondsOf(2106, 12, 31, 23, 59, 59), 50037ULL * 86400 + 86399);
    EXPECT_EQ(secondsOf(3000, 1, 1, 0, 0, 0), secondsOf(2106, 1, 1, 0, 0, 0));
    // Read through a normalised copy; the record is left as it was.
    const SystemTime odd{2100, 2, 29, 0, 30, 0, 0, -1};
    EXPECT_EQ(CTime::timeToSeconds(odd), 47540ULL * 86400 + 86399);
    EXPECT_EQ(odd.day * 100 + odd.hour, 2930);

    // Every day from 1970 to 2106 round-trips and the weekdays advance by one.
    std::uint64_t seconds = 0;
    for (int day = 0, wday = 4; day <= 50037; ++day, seconds += 86400, wday = (wday + 1) % 7) {
        const CTime t(seconds, false);
        ASSERT_EQ(t.wday, wday) << fieldsOf(t);
        ASSERT_EQ(CTime::timeToSeconds(SystemTime{t.year, t.month, t.day, t.wday, 0, 0, 0, -1}), seconds)
            << fieldsOf(t);
    }

    // Splitting large counts is not clamped; going below zero wraps to 2^64 - 100.
    EXPECT_EQ(fieldsOf(CTime(std::uint64_t{1} << 32, false)), "2106-02-07 06:28:16 w0");
    EXPECT_EQ(fieldsOf(CTime(253402300799u, false)), "9999-12-31 23:59:59 w5");
    EXPECT_EQ(fieldsOf(CTime(951782400u + 86399, false)), "2000-02-29 23:59:59 w2");
    EXPECT_EQ(fieldsOf(CTime(4107456000u + 86400, false)), "2100-03-01 00:00:00 w1");
    const CTime wrapped = CTime(100, false) - 200;
    EXPECT_GT(static_cast<unsigned int>(wrapped.year), 2106u);
    EXPECT_EQ(fieldsOf(wrapped).substr(fieldsOf(wrapped).size() - 11), "06:58:36 w4") << fieldsOf(wrapped);
}

TEST(CTimeTest, ArithmeticIsZoneFree) {
    ScopedTimeZone zone("UTC-8"); // far from UTC, to show any detour through makeTime
    const CTime leapEve(2024, 2, 28, 12, 0, 0);
    EXPECT_EQ(fieldsOf(leapEve + 86400), "2024-02-29 12:00:00 w4");
    EXPECT_EQ(fieldsOf(leapEve + 2 * 86400), "2024-03-01 12:00:00 w5");
    EXPECT_EQ(fieldsOf(CTime(2099, 12, 31, 23, 59, 59) + 1), "2100-01-01 00:00:00 w5");
    EXPECT_EQ(fieldsOf(CTime(2100, 3, 1, 0, 0, 0) - 1), "2100-02-28 23:59:59 w0");
    const CTime nextDay(2024, 2, 29, 12, 0, 0);
    EXPECT_EQ(nextDay - leapEve, 86400);
    EXPECT_EQ(leapEve - nextDay, -86400);
    EXPECT_EQ(CTime(2100, 3, 1, 0, 0, 0) - CTime(2000, 3, 1, 0, 0, 0), 36524LL * 86400);

    CTime t(2024, 12, 31, 23, 0, 0);
    t.isdst = 1;
    EXPECT_EQ(&(t += 3600), &t);
    EXPECT_EQ(fieldsOf(t), "2025-01-01 00:00:00 w3");
    EXPECT_EQ(t.isdst, 1) << "the stored forms keep isdst";
    EXPECT_EQ(&(t -= 7200), &t);
    EXPECT_EQ(fieldsOf(t), "2024-12-31 22:00:00 w2");
    t += -86400;
    EXPECT_EQ(fieldsOf(t), "2024-12-30 22:00:00 w1");
    EXPECT_EQ((t + 60).isdst, -1) << "a new value from the arithmetic is built afresh";

    CTime raw; // operands are read through normalised copies
    raw.year = 2024;
    raw.month = 2;
    raw.day = 31;
    raw.hour = 12;
    EXPECT_EQ(fieldsOf(raw + 0), "2024-02-29 12:00:00 w4");
}

TEST(CTimeTest, ZoneConversionsUseTheStandardOffset) {
    {
        ScopedTimeZone zone("UTC-8");
        EXPECT_EQ(CTime::getTimeZone(), -28800);
        EXPECT_EQ(fieldsOf(CTime(0)), "1970-01-01 08:00:00 w4");
        EXPECT_EQ(fieldsOf(CTime(0, false)), "1970-01-01 00:00:00 w4");
        EXPECT_EQ(CTime().makeTime(), static_cast<std::uint64_t>(-28800)) << "wraps like an unsigned count";
        const std::uint64_t t = 1720170182; // 2024-07-05 09:03:02 UTC
        EXPECT_EQ(fieldsOf(CTime(t)), "2024-07-05 17:03:02 w5");
        EXPECT_EQ(CTime(t).makeTime(), t);
    }
    // Daylight saving is not part of the offset, summer or winter.
    ScopedTimeZone zone("EST5EDT");
    EXPECT_EQ(CTime::getTimeZone(), 18000);
    EXPECT_EQ(CTime(2024, 7, 1, 12, 0, 0).makeTime(), secondsOf(2024, 7, 1, 17, 0, 0));
    EXPECT_EQ(CTime(2024, 1, 1, 12, 0, 0).makeTime(), secondsOf(2024, 1, 1, 17, 0, 0));
    CTime t;
    t.isdst = 7;
    t.breakTime(86400);
    EXPECT_EQ(fieldsOf(t), "1970-01-01 19:00:00 w4");
    EXPECT_EQ(t.isdst, 7) << "breakTime leaves isdst alone";
}

TEST(CTimeTest, ComparisonReadsStoredFieldsOnly) {
    const CTime a(2024, 7, 5, 9, 3, 2);
    CTime b = a;
    b.wday = 0;
    b.isdst = 1;
    EXPECT_TRUE(a == b && !(a != b) && !(a < b) && a <= b && a >= b) << "wday and isdst take no part";

    // Each field decides when the ones before it are equal.
    for (int CTime::*field : {&CTime::year, &CTime::month, &CTime::day, &CTime::hour, &CTime::minute, &CTime::second}) {
        CTime later = a;
        ++(later.*field);
        EXPECT_TRUE(a < later && later > a && a <= later && later >= a && a != later) << fieldsOf(later);
        EXPECT_FALSE(later < a || a > later || later <= a || a >= later || a == later) << fieldsOf(later);
    }

    // Not normalised, and signed: month 13 is after December, a negative year before 0.
    CTime thirteen = a;
    thirteen.month = 13;
    CTime december = a;
    december.month = 12;
    EXPECT_TRUE(december < thirteen && !(thirteen == december));
    CTime negative;
    negative.year = -1;
    EXPECT_TRUE(negative < CTime());
}
