#include "virad/CTime.h"

#include "support/Readable.h"
#include "support/ScopedTimeZone.h"
#include "support/Testing.h"
#include "support/TimeSupport.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

// Rows "fields": a time built from six fields, as it is kept. Rows "seconds": the count of six fields, given as a
// record that must be left as it was, in days and seconds since 1970. Rows "split": a count split in no zone.
TEST(CTimeTest, NormalisationSecondCountsAndSplitting) {
    const CTime empty;
    EXPECT_EQ(timeFields(empty), "0000-00-00 00:00:00 w0");
    EXPECT_EQ(std::vector<int>({empty.isdst, CTime(2024, 7, 5, 9, 3, 2).isdst, CTime(0, false).isdst}),
              std::vector<int>({-1, -1, -1}));
    EXPECT_EQ(Lines({timeFields(CTime::minTime), timeFields(CTime::maxTime)}),
              Lines({"2000-01-01 00:00:00 w6", "2038-01-01 00:00:00 w5"}));
    // A leap February has 29 days; the year is clamped before the day is measured; past hour 23 the day's last
    // second, a negative hour only becomes 0; all-zero fields count as 1970-01-01, 3000 as 2106-01-01, and a day
    // past the month's end is normalised in a copy; splitting is not clamped. The count of any valid fields up to
    // the end of 2106 is the calendar fuzz target's, against a slow count of days.
    EXPECT_EQ(runCaseTable(R"(
fields 2023 2 29 10 0 0 = 2023-02-28 10:00:00 w2 | fields 2024 2 30 10 0 0 = 2024-02-29 10:00:00 w4
fields 1969 13 0 24 5 5 = 1970-12-01 23:59:59 w2 | fields 2400 2 29 0 0 0 = 2106-02-28 00:00:00 w0
fields 2023 4 -3 0 0 0 = 2023-04-01 00:00:00 w6 | fields 2024 1 1 25 -5 -5 = 2024-01-01 23:59:59 w1
fields 2024 1 1 -1 70 -1 = 2024-01-01 00:59:00 w1 | fields 2024 1 1 23 60 60 = 2024-01-01 23:59:59 w1
seconds 0 0 0 0 0 0 = 0d 0 | seconds 2100 2 29 0 30 0 = 47540d 1800 | seconds 3000 1 1 0 0 0 = 49673d 0
split 4294967296 = 2106-02-07 06:28:16 w0 | split 253402300799 = 9999-12-31 23:59:59 w5)",
                           [](const std::vector<std::string>& f) {
                               if (f[0] == "split") {
                                   return timeFields(CTime(std::stoull(f[1]), false));
                               }
                               int n[6];
                               std::transform(f.begin() + 1, f.end(), n,
                                              [](const std::string& w) { return std::stoi(w); });
                               if (f[0] == "fields") {
                                   return timeFields(CTime(n[0], n[1], n[2], n[3], n[4], n[5]));
                               }
                               const SystemTime fields{n[0], n[1], n[2], 0, n[3], n[4], n[5], -1};
                               const std::uint64_t seconds = CTime::timeToSeconds(fields);
                               return std::to_string(seconds / 86400) + "d " + std::to_string(seconds % 86400) +
                                      (fields.day == n[2] ? "" : " changed");
                           }),
              13);
    // Going below zero wraps to 2^64 - 100.
    const CTime wrapped = CTime(100, false) - 200;
    EXPECT_GT(static_cast<unsigned int>(wrapped.year), 2106u);
    EXPECT_EQ(timeFields(wrapped).substr(timeFields(wrapped).size() - 11), "06:58:36 w4") << timeFields(wrapped);
}

TEST(CTimeTest, ArithmeticIsZoneFree) {
    ScopedTimeZone zone("UTC-8"); // far from UTC, to show any detour through makeTime
    const CTime leapEve(2024, 2, 28, 12, 0, 0);
    EXPECT_EQ(Lines({timeFields(leapEve + 86400), timeFields(leapEve + 2 * 86400)}),
              Lines({"2024-02-29 12:00:00 w4", "2024-03-01 12:00:00 w5"}));
    EXPECT_EQ(timeFields(CTime(2099, 12, 31, 23, 59, 59) + 1), "2100-01-01 00:00:00 w5");
    EXPECT_EQ(timeFields(CTime(2100, 3, 1, 0, 0, 0) - 1), "2100-02-28 23:59:59 w0");
    const CTime nextDay(2024, 2, 29, 12, 0, 0);
    EXPECT_EQ(std::vector<std::int64_t>(
                  {nextDay - leapEve, leapEve - nextDay, CTime(2100, 3, 1, 0, 0, 0) - CTime(2000, 3, 1, 0, 0, 0)}),
              std::vector<std::int64_t>({86400, -86400, 36524LL * 86400}));

    // The stored forms return the object and keep isdst.
    CTime t(2024, 12, 31, 23, 0, 0);
    t.isdst = 1;
    EXPECT_EQ(&(t += 3600), &t);
    EXPECT_EQ(&(t -= 7200 + 86400), &t);
    EXPECT_EQ(testing::PrintToString(t), "2024-12-30 22:00:00 w1 dst1");
    EXPECT_EQ((t + 60).isdst, -1) << "a new value from the arithmetic is built afresh";

    CTime raw; // operands are read through normalised copies
    raw.year = 2024, raw.month = 2, raw.day = 31;
    EXPECT_EQ(timeFields(raw + 0), "2024-02-29 00:00:00 w4");
}

TEST(CTimeTest, ZoneConversionsUseTheStandardOffset) {
    {
        ScopedTimeZone zone("UTC-8");
        const std::uint64_t t = 1720170182; // 2024-07-05 09:03:02 UTC
        EXPECT_EQ(CTime::getTimeZone(), -28800);
        EXPECT_EQ(Lines({timeFields(CTime(0)), timeFields(CTime(0, false)), timeFields(CTime(t))}),
                  Lines({"1970-01-01 08:00:00 w4", "1970-01-01 00:00:00 w4", "2024-07-05 17:03:02 w5"}));
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
    EXPECT_EQ(testing::PrintToString(t), "1970-01-01 19:00:00 w4 dst7") << "isdst is left alone";
}

TEST(CTimeTest, ComparisonReadsStoredFieldsOnly) {
    const CTime a(2024, 7, 5, 9, 3, 2);
    CTime b = a;
    b.wday = 0, b.isdst = 1;
    EXPECT_EQ(relations(a, b), relations(0, 0)) << "wday and isdst take no part";

    // Each field decides when the ones before it are equal.
    for (int CTime::*field : {&CTime::year, &CTime::month, &CTime::day, &CTime::hour, &CTime::minute, &CTime::second}) {
        CTime later = a;
        ++(later.*field);
        EXPECT_EQ(relations(a, later), relations(0, 1)) << timeFields(later);
        EXPECT_EQ(relations(later, a), relations(1, 0)) << timeFields(later);
    }

    // Not normalised, and signed: month 13 is after December, a negative year before 0.
    CTime thirteen = a, negative;
    thirteen.month = 13, negative.year = -1;
    EXPECT_LT(CTime(2024, 12, 5, 9, 3, 2), thirteen);
    EXPECT_LT(negative, CTime());
}
