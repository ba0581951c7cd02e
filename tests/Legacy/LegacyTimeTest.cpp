// The global CTime: conversions through the C library's local-time rules,
// daylight saving included; its own format settings beside those of
// Orvane::Virad::CTime; the clock of the current classes.
#include "legacy/LegacyTime.h"
#include "virad/CTime.h"

#include "support/Readable.h"
#include "support/ScopedTimeZone.h"
#include "support/Testing.h"

using namespace Orvane::Testing;
using Current = Orvane::Virad::CTime;

// The fields as they are kept.
void PrintTo(const ::CTime& t, std::ostream* out) {
    *out << timeFields(t) << " dst" << t.isdst;
}

namespace {

// The fields as given, not normalised.
::CTime raw(int year, int month, int day, int hour, int minute, int second) {
    return ::CTime(Orvane::Virad::SystemTime{year, month, day, 0, hour, minute, second, 0});
}

// A case of the conversion table: zone, how the value is made and the seconds added.
std::string convert(const std::vector<std::string>& f) {
    ScopedTimeZone zone(f[0].c_str());
    auto n = [&f](int i) { return std::stoi(f[i]); };
    // A value of seconds is built over bytes of 0x5A, so a field it leaves unset reads 1515870810.
    alignas(::CTime) unsigned char storage[sizeof(::CTime)];
    std::memset(storage, 0x5A, sizeof storage);
    ::CTime t = f[1] == "s"   ? *new (storage)::CTime(std::stoull(f[2]))
                : f[1] == "f" ? ::CTime(n(2), n(3), n(4), n(5), n(6), n(7))
                              : raw(n(2), n(3), n(4), n(5), n(6), n(7));
    if (f.back() != "0") { // adding even 0 would normalise a kept value
        t += std::stoll(f.back());
    }
    return timeFields(t) + " " + std::to_string(t.makeTime());
}

// Both classes' settings are process-wide: every test leaves their defaults.
class LegacyTimeTest : public ::testing::Test {
protected:
    void TearDown() override {
        ::CTime::setFormat("yyyy-MM-dd HH:mm:ss");
        Current::setFormatString("yyyy-MM-dd HH:mm:ss");
    }
};

} // namespace

TEST_F(LegacyTimeTest, ConvertsThroughTheHostsLocalTimeRules) {
    // zone, then seconds (s) or six fields normalised (f) or kept (r), then
    // seconds to add = the fields and makeTime. Central European summer time
    // runs from 2024-03-31 to 2024-10-27; the fields are read as standard time.
    const char* const table = R"(
        CET-1CEST,M3.5.0,M10.5.0/3 s 1718445600 0 = 2024-06-15 12:00:00 w6 1718449200
        CET-1CEST,M3.5.0,M10.5.0/3 f 2024 6 15 12 0 0 0 = 2024-06-15 13:00:00 w6 1718452800
        CET-1CEST,M3.5.0,M10.5.0/3 f 2024 3 30 12 0 0 86400 = 2024-03-31 13:00:00 w0 1711886400
        UTC0 f 2023 2 29 12 0 0 0 = 2023-03-01 12:00:00 w3 1677672000
        UTC0 r 2023 2 29 12 0 0 0 = 2023-02-29 12:00:00 w0 1677672000
        UTC0 f 2023 13 1 24 0 0 0 = 2024-01-02 00:00:00 w2 1704153600
        UTC-8 s 0 0 = 1970-01-01 08:00:00 w4 0
        UTC-8 r 1970 1 1 7 59 59 0 = 1970-01-01 07:59:59 w0 0
        UTC-8 r 1970 1 1 8 0 1 0 = 1970-01-01 08:00:01 w0 1)";
    EXPECT_EQ(runCaseTable(table, convert), 9);

    ScopedTimeZone zone("UTC0");
    const ::CTime leap = raw(2023, 2, 29, 12, 0, 0), march(2023, 3, 1, 12, 0, 0), later = march + 1;
    EXPECT_EQ(relations(leap, march), relations(0, 0)) << "one instant";
    EXPECT_EQ(relations(leap, later), relations(0, 1));
    EXPECT_EQ(relations(later, leap), relations(1, 0));
    EXPECT_EQ(std::vector<std::int64_t>({later - leap, leap - later}), std::vector<std::int64_t>({1, -1}));
    EXPECT_EQ(later - 1, march);
}

// Counts the C library cannot convert (a year beyond an int, beyond 3000 on Windows), sums that leave its range and
// fields that overflow an int on their way to it: every field is set, to 1970-01-01 00:00:00, a Thursday.
TEST_F(LegacyTimeTest, WhatTheHostCannotConvertGivesTheEpoch) {
    const std::string epoch = "= 1970-01-01 00:00:00 w4 0\n";
    const std::string minimum = "-2147483648 -2147483648 -2147483648 -2147483648 -2147483648 -2147483648";
    const std::string maximum = "2147483647 2147483647 2147483647 2147483647 2147483647 2147483647";
    std::string table = "UTC0 s 9223372036854775807 0 " + epoch + "UTC0 s 72057594037927936 0 " + epoch +
                        "UTC-8 s 72057594037927936 0 " + epoch +
                        // 2147483648-07-01
                        "UTC0 s 67767976249257600 0 " + epoch + "UTC0 f 2024 1 1 0 0 0 9223372036854775807 " + epoch +
                        "UTC0 f 2024 1 1 0 0 0 -9223372036854775807 " + epoch + "UTC0 f " + minimum + " 0 " + epoch +
                        "UTC0 f " + maximum + " 0 " + epoch + "UTC0 r " + minimum +
                        " 0 = -2147483648--2147483648--2147483648 -2147483648:-2147483648:-2147483648 w0 0\n";
    int cases = 9;
#ifndef _WIN32
    table +=
        "UTC0 s 67767976217635200 0 = 2147483647-07-01 00:00:00 w1 67767976217635200"; // the last year an int holds
    cases = 10;
#endif
    EXPECT_EQ(runCaseTable(table, convert), cases);
}

TEST_F(LegacyTimeTest, HasFormatSettingsOfItsOwn) {
    // Pattern, date order, separator and its number, time format and 12-hour mode; then the current class's
    // pattern, date order, separator and 12-hour mode.
    using Settings = std::tuple<std::string, int, char, int, int, bool, std::string, int, char, bool>;
    auto settings = [] {
        return Settings(::CTime::getFormat(), ::CTime::getDateFormat(), ::CTime::getSpliter(),
                        ::CTime::getDateSeparator(), ::CTime::getTimeFormat(), ::CTime::get12Hour(),
                        Current::getFormat().c_str(), Current::getDateFormat(), Current::getSeparator(),
                        Current::get12Hour());
    };
    EXPECT_EQ(settings(), Settings("yyyy-MM-dd HH:mm:ss", 0, '-', 1, 0, false, "yyyy-MM-dd HH:mm:ss", 0, '-', false));
    // Built at load in the host's zone, which may move the hour but not the date.
    EXPECT_EQ(Lines({timeFields(::CTime::minTime).substr(0, 10), timeFields(::CTime::maxTime).substr(0, 10)}),
              Lines({"2000-01-01", "2038-01-01"}));
    ::CTime::setFormat(1, 0, 1);
    ::CTime::setFormat(1, 3, 2); // neither a separator nor a time format: both left
    EXPECT_EQ(settings(), Settings("yyyy-MM-dd HH:mm:ss", 1, '.', 0, 1, true, "yyyy-MM-dd HH:mm:ss", 0, '-', false));
    char buffer[64];
    raw(2024, 7, 5, 13, 3, 2).format(buffer, "yyyy-MM-dd hh:mm:ss t");
    EXPECT_STREQ(buffer, "07.05.2024 01:03:02 PM");
    raw(2024, 7, 5, 0, 3, 2).format(buffer, "yy/M/d h:m:s t");
    EXPECT_STREQ(buffer, "7.5.24 12:3:2 AM");
    ::CTime::setFormat(7, 2, 0);
    raw(12345, 123, 5, 9, 3, 2).format(buffer, "yyyy-MM-dd HH:mm:ss t");
    EXPECT_STREQ(buffer, "05/123/12345 09:03:02") << "day-month-year; components as whole decimal numbers";
    Current::setFormatString("dd.MM.yyyy hh:mm");
    EXPECT_EQ(settings(), Settings("yyyy-MM-dd HH:mm:ss", 7, '/', 2, 0, false, "dd.MM.yyyy hh:mm", 2, '.', true));

    CapturePrinter capture;
    ::CTime::setFormat(std::string("HH:mm"));
    raw(2024, 7, 5, 9, 3, 2).format(nullptr, "yyyy");
    raw(2024, 7, 5, 9, 3, 2).format(buffer, nullptr);
    EXPECT_EQ(capture.bodies(),
              std::vector<std::string>({"setFormat separator is invalid,set default separator: - \n",
                                        "setFormat dateFormat is invalid,set default separator: ymd \n",
                                        "buf is NULL!!\n", "format is NULL!!\n"}));
    EXPECT_EQ(settings(), Settings("HH:mm", 0, '-', 1, 0, false, "dd.MM.yyyy hh:mm", 2, '.', true));
    ::CTime::setFormat(std::string("dd/MM/yyyy hh:mm t"));
    EXPECT_EQ(settings(), Settings("dd/MM/yyyy hh:mm t", 2, '/', 2, 1, true, "dd.MM.yyyy hh:mm", 2, '.', true));
}

TEST_F(LegacyTimeTest, SetsAndReadsTheClockThroughTheCurrentClass) {
    static std::string requested;
    const Current::SetTimeHook previous =
        Current::attachSetCurrentTimeHook(Current::SetTimeHook(+[](const Current& time, int tolerance) {
            requested = timeFields(time) + " tolerance " + std::to_string(tolerance);
        }));
    ::CTime::setCurrentTime(raw(2030, 5, 6, 7, 8, 9), 3);
    Current::attachSetCurrentTimeHook(previous);
    EXPECT_EQ(requested, "2030-05-06 07:08:09 w1 tolerance 3");
    ScopedTimeZone zone("UTC0");
    const std::uint64_t before = Current::getCurrentUTCtime(), now = ::CTime::getCurrentTime().makeTime();
    EXPECT_GE(now + 1, before);
    EXPECT_LE(now, Current::getCurrentUTCtime());
}
