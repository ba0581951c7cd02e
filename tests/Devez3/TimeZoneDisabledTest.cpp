// Turning zones off is final for the process, so the whole sequence runs in a
// process of its own, every time the test runs.
#include "virad/CTime.h"

#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Orvane::Virad;
using Orvane::Testing::ScopedTimeZone;

namespace {

void conversionsBecomeZoneFreeForGood() {
    ScopedTimeZone zone("UTC-8");
    const std::uint64_t t = 1720170182; // 2024-07-05 09:03:02 UTC
    ASSERT_EQ(CTime::getTimeZone(), -28800) << "zones are on until switched off";
    ASSERT_EQ(CTime(t).hour, 17);

    EXPECT_EQ(CTime::disableTimezone(), 0);
    EXPECT_EQ(CTime::getTimeZone(), 0);
    const CTime local(t);
    EXPECT_EQ(local, CTime(t, false));
    EXPECT_EQ(local.makeTime(), t) << "makeTime of a value built from seconds gives them back";
    EXPECT_EQ(CTime(2024, 7, 5, 9, 3, 2).makeTime(), CTime::timeToSeconds(SystemTime{2024, 7, 5, 0, 9, 3, 2, -1}));
    CTime broken;
    broken.breakTime(0);
    EXPECT_EQ(broken, CTime(1970, 1, 1, 0, 0, 0));

    // Nothing switches zones on again: another host zone, another call.
    {
        ScopedTimeZone west("EST5EDT");
        EXPECT_EQ(CTime::getTimeZone(), 0);
        EXPECT_EQ(CTime::disableTimezone(), 0);
        EXPECT_EQ(CTime(t).hour, 9);
    }
    // The clocks still read the host's local time; only the conversions ignore the zone.
    const std::uint64_t utc = CTime::getCurrentUTCtime();
    const std::int64_t drift = CTime::getCurrentTime() - CTime(utc + 8 * 3600);
    EXPECT_TRUE(drift >= 0 && drift <= 2) << drift;
}

} // namespace

TEST(TimeZoneDisabledDeathTest, ConversionsBecomeZoneFreeForGood) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            conversionsBecomeZoneFreeForGood();
            std::exit(testing::Test::HasFailure() ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}
