#include "virad/CTime.h"

#include "virad/PrintLog.h"

#include "Src/Devez3/ClockInternal.h"
#include "Src/Platform/Platform.h"
#include "support/Readable.h"
#include "support/ScopedTimeZone.h"
#include "support/Testing.h"
#include "support/TimeSupport.h"

#include <ctime>

using namespace Orvane::Virad;
using namespace Orvane::Testing;

TEST(MonotonicClockTest, MicrosecondsFromLoadAndMillisecondsThatNeverFall) {
    EXPECT_LT(CTime::getCurrentMicroSecond(), 60u * 1000 * 1000) << "counted from the library's load";
    const std::uint64_t counterBefore = Orvane::Platform::monotonicNanoseconds();
    const std::uint64_t first = CTime::getCurrentMicroSecond();
    Orvane::Platform::sleepMilliseconds(20);
    const std::uint64_t second = CTime::getCurrentMicroSecond();
    const std::uint64_t counterAfter = Orvane::Platform::monotonicNanoseconds();
    EXPECT_GE(second - first, 20u * 1000);
    EXPECT_LE(second - first, (counterAfter - counterBefore) / 1000 + 1) << "microseconds, not nanoseconds";

    // A value handed out 100 ms ahead of the counter raises every later reading.
    const std::uint64_t now = CTime::getCurrentMilliSecond();
    EXPECT_EQ(Detail::raiseLastMillisecond(now + 100), now + 100);
    EXPECT_GE(CTime::getCurrentMilliSecond(), now + 100);
    EXPECT_GE(Detail::raiseLastMillisecond(now), now + 100);
    while (CTime::getCurrentMicroSecond() / 1000 < now + 100) { // leave no trace for the other tests
        Orvane::Platform::sleepMilliseconds(5);
    }
    // Readings across threads are the clock stress program's.
}

TEST(WallClockTest, LocalReadingsAgreeWithEachOtherAndWithUtc) {
    ScopedTimeZone zone("UTC-8");
    const SystemTimeEx ex = CTime::getCurrentTimeEx();
    const CTime now = CTime::getCurrentTime();
    EXPECT_EQ(std::vector<int>(std::begin(ex.reserved), std::end(ex.reserved)), std::vector<int>(4, 0));
    EXPECT_GE(ex.millisecond, 0);
    EXPECT_LE(ex.millisecond, 999);
    EXPECT_EQ(ex.wday, static_cast<int>((secondsOf(ex) / 86400 + 4) % 7)) << "the host's weekday";
    const std::int64_t exToNow = now - CTime(secondsOf(ex), false);
    EXPECT_GE(exToNow, 0);
    EXPECT_LE(exToNow, 2);
    // Local time under UTC+8 turned back into UTC is the UTC clock (two seconds either way), as is the C library's.
    const std::uint64_t utc = CTime::getCurrentUTCtime(), utcMs = CTime::getCurrentUTCMilliSecond();
    EXPECT_NEAR(static_cast<double>(CTime::getCurrentTime().makeTime()), static_cast<double>(utc), 2);
    EXPECT_NEAR(static_cast<double>(std::time(nullptr)), static_cast<double>(utc), 2);
    EXPECT_GE(utcMs / 1000, utc);
    EXPECT_LE(utcMs / 1000, utc + 2);
}

TEST(WallClockTest, ZoneChangedBehindTheLibrarysBackShowsAtOnce) {
    // The host sets TZ and calls tzset itself, right after a reading and a
    // printed line under UTC; the next ones must already be 14 hours ahead.
    CapturePrinter capture;
    ::logInfo("cached\n"); // the printed time is cached under the previous zone, which the library is told to drop
    ScopedTimeZone restore("UTC0");
    CTime::getCurrentTimeEx();
    ::logInfo("before\n");
    setenv("TZ", "ABC-14", 1);
    tzset();
    const std::time_t first = std::time(nullptr);
    const SystemTimeEx ex = CTime::getCurrentTimeEx();
    const CTime now = CTime::getCurrentTime();
    capture.clear();
    ::logInfo("after\n");
    const std::time_t last = std::time(nullptr);
    const std::string line = capture.text(); // "[HH:MM:SS info ..."
    auto dayAndHour = [](std::time_t t) {
        const std::time_t shifted = t + 14 * 3600;
        std::tm fields;
        gmtime_r(&shifted, &fields);
        return std::make_pair(fields.tm_mday, fields.tm_hour);
    };
    const auto a = dayAndHour(first), b = dayAndHour(last);
    for (const auto& seen : {std::make_pair(ex.day, ex.hour), std::make_pair(now.day, now.hour)}) {
        EXPECT_TRUE(isOneOf(seen, {a, b}));
    }
    const int printed = std::atoi(line.substr(1, 2).c_str());
    EXPECT_TRUE(isOneOf(printed, {a.second, b.second})) << line;
}

TEST(ZoneTableTest, OffsetsAndReportsForBadIndexes) {
    // Rows 33..35 stand out of offset order; 36 and -1 are past the ends.
    CapturePrinter capture;
    std::vector<int> offsets;
    for (const int index : {0, 4, 19, 20, 32, 33, 34, 35, 36, -1}) {
        offsets.push_back(CTime::getTimeZonefromTable(index));
    }
    EXPECT_EQ(offsets, std::vector<int>({0, 12600, 46800, -3600, -43200, -16200, 37800, 50400, 0, 0}));
    EXPECT_EQ(capture.bodies(), (Lines{"CTime::getTimeZonefromTable, zoneIndex error:36\n",
                                       "CTime::getTimeZonefromTable, zoneIndex error:-1\n"}));
}

// Zone settings are process-wide and some are final, so these run in processes of their own.
TEST(ZoneTableDeathTest, ConfiguredZoneDaylightSavingAndTheEmbeddedUtc) {
    expectInFreshProcess([] {
        // The embedded UTC needs both the zone and the flag, and leaves the record alone before.
        CTime::UTCTimeDef embed{1, 2, 3};
        EXPECT_FALSE(CTime::getUTCForEmbed(embed));
        EXPECT_EQ(CTime::getDst(), -1);
        const std::vector<bool> accepted = {CTime::setTimeZone(50401), CTime::setTimeZone(-43201),
                                            CTime::setTimeZone(-43200), CTime::setTimeZone(50400),
                                            CTime::setTimeZone(28800)};
        EXPECT_EQ(accepted, std::vector<bool>({false, false, true, true, true}));
        EXPECT_FALSE(CTime::getUTCForEmbed(embed));
        EXPECT_EQ(std::make_tuple(embed.utc, embed.timezone, embed.dst), std::make_tuple(1u, 2, 3));
        EXPECT_TRUE(CTime::setDst(true));
        // The host's zone plays no part, and the configured one does not move it.
        ScopedTimeZone zone("UTC+3");
        const std::uint64_t local = secondsOf(CTime::getCurrentTimeEx());
        ASSERT_TRUE(CTime::getUTCForEmbed(embed));
        EXPECT_LE(embed.utc - (local - 28800 - 3600), 2u);
        EXPECT_EQ(std::make_pair(embed.timezone, embed.dst), std::make_pair(28800, 1));
        EXPECT_EQ(CTime::getTimeZone(), 10800);
        EXPECT_TRUE(CTime::setDst(false));
        EXPECT_TRUE(CTime::setTimeZone(-18000));
        ASSERT_TRUE(CTime::getUTCForEmbed(embed));
        EXPECT_LE(embed.utc - (local + 18000), 2u);
        EXPECT_EQ(std::make_pair(embed.timezone, embed.dst), std::make_pair(-18000, 0));
    });
}

TEST(TimeZoneDisabledDeathTest, ConversionsBecomeZoneFreeForGood) {
    expectInFreshProcess([] {
        ScopedTimeZone zone("UTC-8");
        const std::uint64_t t = 1720170182; // 2024-07-05 09:03:02 UTC
        ASSERT_EQ(std::make_pair(CTime::getTimeZone(), CTime(t).hour), std::make_pair(-28800, 17))
            << "zones are on until switched off";
        EXPECT_EQ(CTime::disableTimezone(), 0);
        EXPECT_EQ(CTime(t), CTime(t, false));
        EXPECT_EQ(CTime(t).makeTime(), t) << "makeTime of a value built from seconds gives them back";
        {
            ScopedTimeZone west("EST5EDT"); // nothing switches zones on again: another host zone, another call
            EXPECT_EQ(CTime::getTimeZone(), 0);
            EXPECT_EQ(CTime::disableTimezone(), 0);
            EXPECT_EQ(CTime(t).hour, 9);
        }
        // The clocks still read the host's local time; only the conversions ignore the zone.
        const std::int64_t drift = CTime::getCurrentTime() - CTime(CTime::getCurrentUTCtime() + 8 * 3600);
        EXPECT_GE(drift, 0);
        EXPECT_LE(drift, 2);
    });
}
