#include "virad/CTime.h"

#include "virad/PrintLog.h"

#include "Devez3/ClockInternal.h"
#include "Platform/Platform.h"
#include "support/CapturePrinter.h"
#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::ScopedTimeZone;

TEST(MonotonicClockTest, StartsNearZeroAndCountsMicroseconds) {
    EXPECT_LT(CTime::getCurrentMicroSecond(), 60u * 1000 * 1000) << "counted from the library's load";

    const std::uint64_t counterBefore = Orvane::Platform::monotonicNanoseconds();
    const std::uint64_t first = CTime::getCurrentMicroSecond();
    Orvane::Platform::sleepMilliseconds(20);
    const std::uint64_t second = CTime::getCurrentMicroSecond();
    const std::uint64_t counterAfter = Orvane::Platform::monotonicNanoseconds();
    EXPECT_GE(second - first, 20u * 1000);
    // Truncation of each reading may add one to the difference.
    EXPECT_LE(second - first, (counterAfter - counterBefore) / 1000 + 1) << "microseconds, not nanoseconds";

    const std::uint64_t milli = CTime::getCurrentMilliSecond();
    const std::uint64_t microAfter = CTime::getCurrentMicroSecond();
    EXPECT_LE(milli, microAfter / 1000);
    EXPECT_GE(milli + 1000, microAfter / 1000);
}

TEST(MonotonicClockTest, NoOneIsGivenLessThanAMillisecondAlreadyHandedOut) {
    // A value handed out 100 ms ahead of the counter raises every later reading.
    const std::uint64_t now = CTime::getCurrentMilliSecond();
    EXPECT_EQ(Detail::raiseLastMillisecond(now + 100), now + 100);
    EXPECT_GE(CTime::getCurrentMilliSecond(), now + 100);
    EXPECT_GE(Detail::raiseLastMillisecond(now), now + 100);
    while (CTime::getCurrentMicroSecond() / 1000 < now + 100) { // leave no trace for the other tests
        Orvane::Platform::sleepMilliseconds(5);
    }

    // Across threads: each reading is at least the largest published before it.
    std::atomic<std::uint64_t> published{0};
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            std::uint64_t previous = 0;
            for (int i = 0; i < 20000; ++i) {
                const std::uint64_t floor = published.load(std::memory_order_acquire);
                const std::uint64_t value = CTime::getCurrentMilliSecond();
                if (value < floor || value < previous) {
                    failed.store(true);
                }
                previous = value;
                std::uint64_t seen = published.load(std::memory_order_relaxed);
                while (value > seen && !published.compare_exchange_weak(seen, value, std::memory_order_acq_rel)) {
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(failed.load());
}

namespace {

std::uint64_t secondsOf(const SystemTimeEx& t) {
    return CTime::timeToSeconds(SystemTime{t.year, t.month, t.day, t.wday, t.hour, t.minute, t.second, -1});
}

} // namespace

TEST(WallClockTest, LocalReadingsAgreeWithEachOtherAndWithUtc) {
    ScopedTimeZone zone("UTC-8");
    const SystemTimeEx ex = CTime::getCurrentTimeEx();
    const CTime now = CTime::getCurrentTime();
    EXPECT_EQ(ex.reserved[0] | ex.reserved[1] | ex.reserved[2] | ex.reserved[3], 0);
    EXPECT_TRUE(ex.millisecond >= 0 && ex.millisecond <= 999) << ex.millisecond;
    EXPECT_EQ(ex.wday, static_cast<int>((secondsOf(ex) / 86400 + 4) % 7)) << "the host's weekday";
    EXPECT_EQ(now.isdst, -1);
    const std::int64_t exToNow = now - CTime(secondsOf(ex), false);
    EXPECT_TRUE(exToNow >= 0 && exToNow <= 2) << exToNow;
    EXPECT_LE(CTime::getCurTimeForPrint() - now, 2);

    // Local time under UTC+8 turned back into UTC is the UTC clock (two seconds either way).
    const std::uint64_t utc = CTime::getCurrentUTCtime();
    EXPECT_LE(CTime::getCurrentTime().makeTime() - utc + 2, 4u);
    EXPECT_LE(static_cast<std::uint64_t>(std::time(nullptr)) - utc + 2, 4u) << "the C library agrees";
    const std::uint64_t utcMs = CTime::getCurrentUTCMilliSecond();
    EXPECT_TRUE(utcMs / 1000 >= utc && utcMs / 1000 <= utc + 2) << utcMs;
}

TEST(WallClockTest, ZoneChangeReachesTheLocalClockAndThePrintedStamp) {
    // Two zones 13 hours apart within a second: no per-thread cache may survive the change.
    PrintOptions options = {};
    options.showDate = 1;
    options.showMilliseconds = 1;
    setPrintOptions(options);
    auto stampedHour = [](const char* zoneName, int& readingHour) {
        ScopedTimeZone zone(zoneName);
        CapturePrinter capture;
        readingHour = CTime::getCurrentTimeEx().hour;
        ::logInfo("stamp\n");
        const std::string line = capture.text(); // "[YYYY-MM-DDTHH:MM:SS.mmm info ..."
        EXPECT_EQ(line.size() > 24 ? line[11] : '?', 'T') << line;
        return std::atoi(line.substr(12, 2).c_str());
    };
    int east = -1;
    int west = -1;
    const int printedEast = stampedHour("UTC-8", east);
    const int printedWest = stampedHour("UTC+5", west);
    setPrintOptions(PrintOptions{});
    EXPECT_EQ((east - west + 24) % 24, 13);
    EXPECT_LE((printedEast - east + 24) % 24, 1) << "an hour may turn in between";
    EXPECT_LE((printedWest - west + 24) % 24, 1);
}

TEST(ZoneTableTest, OffsetsAndReportsForBadIndexes) {
    // Rows 33..35 stand out of offset order.
    const int rows[][2] = {{0, 0},      {4, 12600},   {9, 20700},   {13, 28800}, {19, 46800},
                           {20, -3600}, {32, -43200}, {33, -16200}, {34, 37800}, {35, 50400}};
    for (const auto& row : rows) {
        EXPECT_EQ(CTime::getTimeZonefromTable(row[0]), row[1]) << "index " << row[0];
    }
    CapturePrinter capture;
    EXPECT_EQ(CTime::getTimeZonefromTable(36), 0);
    EXPECT_EQ(CTime::getTimeZonefromTable(-1), 0);
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u) << capture.text();
    EXPECT_NE(lines[0].find("error"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("CTime::getTimeZonefromTable, zoneIndex error:36\n"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("CTime::getTimeZonefromTable, zoneIndex error:-1\n"), std::string::npos) << lines[1];
}

// The configured zone and flag cannot be unset: the sequence from "never set" on is one test.
TEST(ZoneTableTest, ConfiguredZoneDaylightSavingAndTheEmbeddedUtc) {
    if (CTime::getDst() != -1) {
        GTEST_SKIP() << "needs a process in which the zone was never configured";
    }
    CTime::UTCTimeDef embed{1, 2, 3};
    EXPECT_FALSE(CTime::setTimeZone(50401));
    EXPECT_FALSE(CTime::setTimeZone(-43201));
    EXPECT_FALSE(CTime::getUTCForEmbed(embed)) << "nothing set yet";
    EXPECT_TRUE(CTime::setTimeZone(-43200));
    EXPECT_TRUE(CTime::setTimeZone(50400));
    EXPECT_FALSE(CTime::getUTCForEmbed(embed)) << "the flag is still unset";
    EXPECT_EQ(embed.utc, 1u);
    EXPECT_EQ(embed.timezone, 2);

    EXPECT_TRUE(CTime::setDst(true));
    EXPECT_EQ(CTime::getDst(), 1);
    EXPECT_TRUE(CTime::setTimeZone(28800));
    EXPECT_FALSE(CTime::setTimeZone(99999));
    // The host's zone plays no part, and the configured one does not move it.
    ScopedTimeZone zone("UTC+3");
    const std::uint64_t local = secondsOf(CTime::getCurrentTimeEx());
    ASSERT_TRUE(CTime::getUTCForEmbed(embed));
    EXPECT_LE(embed.utc - (local - 28800 - 3600), 2u);
    EXPECT_EQ(embed.timezone, 28800);
    EXPECT_EQ(embed.dst, 1);
    EXPECT_EQ(CTime::getTimeZone(), 10800);

    EXPECT_TRUE(CTime::setDst(false));
    EXPECT_TRUE(CTime::setTimeZone(-18000));
    ASSERT_TRUE(CTime::getUTCForEmbed(embed));
    EXPECT_LE(embed.utc - (local + 18000), 2u);
    EXPECT_EQ(embed.timezone, -18000);
    EXPECT_EQ(embed.dst, 0);
}

TEST(WallClockTest, ZoneChangedBehindTheLibrarysBackShowsAtOnce) {
    // The host sets TZ and calls tzset itself, right after a reading and a
    // printed line under UTC; the next ones must already be 14 hours ahead.
    ScopedTimeZone restore("UTC0");
    CapturePrinter capture;
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
    auto hourAt = [](std::time_t t) { return static_cast<int>((t + 14 * 3600) % 86400 / 3600); };
    auto dayAt = [](std::time_t t) {
        const std::time_t shifted = t + 14 * 3600;
        std::tm fields;
        gmtime_r(&shifted, &fields);
        return fields.tm_mday;
    };
    for (int hour : {ex.hour, now.hour, std::atoi(line.substr(1, 2).c_str())}) {
        EXPECT_TRUE(hour == hourAt(first) || hour == hourAt(last)) << hour << " " << line;
    }
    EXPECT_TRUE(ex.day == dayAt(first) || ex.day == dayAt(last)) << ex.day;
    EXPECT_TRUE(now.day == dayAt(first) || now.day == dayAt(last)) << now.day;
}
