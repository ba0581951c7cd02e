#include "virad/CTime.h"

#include "support/ScopedTimeZone.h"
#include "support/Testing.h"

using namespace Orvane::Virad;
using Orvane::Testing::ScopedTimeZone;

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

TEST(CTimeTest, ConstructionAndNormalisationInOrder) {
    const CTime empty;
    EXPECT_EQ(fieldsOf(empty) + std::to_string(empty.isdst), "0000-00-00 00:00:00 w0-1");
    EXPECT_EQ(CTime(2024, 7, 5, 9, 3, 2).isdst + CTime(0, false).isdst, -2);
    EXPECT_EQ(fieldsOf(CTime::minTime) + fieldsOf(CTime::maxTime), "2000-01-01 00:00:00 w62038-01-01 00:00:00 w5");
    const std::pair<CTime, const char*> cases[] = {
        {CTime(2023, 2, 29, 10, 0, 0), "2023-02-28 10:00:00 w2"},
        {CTime(2024, 2, 30, 10, 0, 0), "2024-02-29 10:00:00 w4"}, // a leap February has 29 days
        {CTime(1969, 13, 0, 24, 5, 5), "1970-12-01 23:59:59 w2"},
        {CTime(2400, 2, 29, 0, 0, 0), "2106-02-28 00:00:00 w0"}, // the year is clamped before the day is measured
        {CTime(2023, 4, -3, 0, 0, 0), "2023-04-01 00:00:00 w6"},
        {CTime(2024, 1, 1, 25, -5, -5), "2024-01-01 23:59:59 w1"}, // past 23: the day's last second
        {CTime(2024, 1, 1, -1, 70, -1), "2024-01-01 00:59:00 w1"}, // a negative hour only becomes 0
        {CTime(2024, 1, 1, 23, 60, 60), "2024-01-01 23:59:59 w1"},
    };
    for (const auto& [time, expected] : cases) {
        EXPECT_EQ(fieldsOf(time), expected);
    }
}

TEST(CTimeTest, SecondsOfDatesAcrossLeapYearsAndCenturies) {
    const std::tuple<int, int, int, int, int, int, std::uint64_t> cases[] = {
        {0, 0, 0, 0, 0, 0, 0}, // all-zero fields read as 1970-01-01
        {2000, 3, 1, 0, 0, 0, 11017ULL * 86400},
        {2100, 2, 28, 0, 0, 0, 47540ULL * 86400},
        {2100, 3, 1, 0, 0, 0, 47541ULL * 86400},
        {2100, 2, 29, 0, 30, 0, 47540ULL * 86400 + 1800}, // read through a normalised copy
        {2038, 1, 19, 3, 14, 8, 2147483648ULL},
        {2106, 12, 31, 23, 59, 59, 50037ULL * 86400 + 86399},
        {3000, 1, 1, 0, 0, 0, 49673ULL * 86400}, // 2106-01-01
    };
    for (const auto& [year, month, day, hour, minute, second, seconds] : cases) {
        const SystemTime fields{year, month, day, 0, hour, minute, second, -1}; // left as it was
        EXPECT_EQ(CTime::timeToSeconds(fields) * 100 + fields.day, seconds * 100 + day) << year << "-" << month;
    }
    // Splitting large counts is not clamped; going below zero wraps to 2^64 - 100.
    EXPECT_EQ(fieldsOf(CTime(std::uint64_t{1} << 32, false)), "2106-02-07 06:28:16 w0");
    EXPECT_EQ(fieldsOf(CTime(253402300799u, false)), "9999-12-31 23:59:59 w5");
    const CTime wrapped = CTime(100, false) - 200;
    EXPECT_GT(static_cast<unsigned int>(wrapped.year), 2106u);
    EXPECT_EQ(fieldsOf(wrapped).substr(fieldsOf(wrapped).size() - 11), "06:58:36 w4") << fieldsOf(wrapped);
}

TEST(CTimeTest, ArithmeticIsZoneFree) {
    ScopedTimeZone zone("UTC-8"); // far from UTC, to show any detour through makeTime
    const CTime leapEve(2024, 2, 28, 12, 0, 0);
    EXPECT_EQ(fieldsOf(leapEve + 86400) + fieldsOf(leapEve + 2 * 86400),
              "2024-02-29 12:00:00 w42024-03-01 12:00:00 w5");
    EXPECT_EQ(fieldsOf(CTime(2099, 12, 31, 23, 59, 59) + 1), "2100-01-01 00:00:00 w5");
    EXPECT_EQ(fieldsOf(CTime(2100, 3, 1, 0, 0, 0) - 1), "2100-02-28 23:59:59 w0");
    const CTime nextDay(2024, 2, 29, 12, 0, 0);
    EXPECT_EQ(std::vector<std::int64_t>(
                  {nextDay - leapEve, leapEve - nextDay, CTime(2100, 3, 1, 0, 0, 0) - CTime(2000, 3, 1, 0, 0, 0)}),
              std::vector<std::int64_t>({86400, -86400, 36524LL * 86400}));

    // The stored forms return the object and keep isdst.
    CTime t(2024, 12, 31, 23, 0, 0);
    t.isdst = 1;
    EXPECT_EQ(&(t += 3600), &t);
    EXPECT_EQ(&(t -= 7200 + 86400), &t);
    EXPECT_EQ(fieldsOf(t) + " dst" + std::to_string(t.isdst), "2024-12-30 22:00:00 w1 dst1");
    EXPECT_EQ((t + 60).isdst, -1) << "a new value from the arithmetic is built afresh";

    CTime raw; // operands are read through normalised copies
    raw.year = 2024, raw.month = 2, raw.day = 31;
    EXPECT_EQ(fieldsOf(raw + 0), "2024-02-29 00:00:00 w4");
}

TEST(CTimeTest, ZoneConversionsUseTheStandardOffset) {
    {
        ScopedTimeZone zone("UTC-8");
        const std::uint64_t t = 1720170182; // 2024-07-05 09:03:02 UTC
        EXPECT_EQ(CTime::getTimeZone(), -28800);
        EXPECT_EQ(fieldsOf(CTime(0)) + "|" + fieldsOf(CTime(0, false)) + "|" + fieldsOf(CTime(t)),
                  "1970-01-01 08:00:00 w4|1970-01-01 00:00:00 w4|2024-07-05 17:03:02 w5");
        EXPECT_EQ(std::vector<std::uint64_t>({CTime().makeTime(), CTime(t).makeTime()}),
                  std::vector<std::uint64_t>({static_cast<std::uint64_t>(-28800), t}))
            << "wraps like an unsigned count";
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
    b.wday = 0, b.isdst = 1;
    EXPECT_TRUE(a == b && !(a != b) && !(a < b) && a <= b && a >= b) << "wday and isdst take no part";

    // Each field decides when the ones before it are equal.
    for (int CTime::*field : {&CTime::year, &CTime::month, &CTime::day, &CTime::hour, &CTime::minute, &CTime::second}) {
        CTime later = a;
        ++(later.*field);
        EXPECT_TRUE(a < later && later > a && a <= later && later >= a && a != later) << fieldsOf(later);
        EXPECT_FALSE(later < a || a > later || later <= a || a >= later || a == later) << fieldsOf(later);
    }

    // Not normalised, and signed: month 13 is after December, a negative year before 0.
    CTime thirteen = a, negative;
    thirteen.month = 13, negative.year = -1;
    EXPECT_TRUE(CTime(2024, 12, 5, 9, 3, 2) < thirteen && negative < CTime());
}
