// Turning zones off is final for the process, so the whole sequence runs in a
// process of its own, every time the test runs.
#include "virad/CTime.h"

#include "support/ScopedTimeZone.h"
#include "support/Testing.h"

using namespace Orvane::Virad;
using Orvane::Testing::ScopedTimeZone;

TEST(TimeZoneDisabledDeathTest, ConversionsBecomeZoneFreeForGood) {
    Orvane::Testing::expectInFreshProcess([] {
        ScopedTimeZone zone("UTC-8");
        const std::uint64_t t = 1720170182; // 2024-07-05 09:03:02 UTC
        ASSERT_EQ(CTime::getTimeZone() * 100 + CTime(t).hour, -28800 * 100 + 17) << "zones are on until switched off";

        EXPECT_EQ(CTime::disableTimezone(), 0);
        EXPECT_EQ(CTime::getTimeZone(), 0);
        EXPECT_EQ(CTime(t), CTime(t, false));
        EXPECT_EQ(CTime(t).makeTime(), t) << "makeTime of a value built from seconds gives them back";
        EXPECT_EQ(CTime(2024, 7, 5, 9, 3, 2).makeTime(), CTime::timeToSeconds(SystemTime{2024, 7, 5, 0, 9, 3, 2, -1}));
        CTime broken;
        broken.breakTime(0);
        EXPECT_EQ(broken, CTime(1970, 1, 1, 0, 0, 0));
        {
            ScopedTimeZone west("EST5EDT"); // nothing switches zones on again: another host zone, another call
            EXPECT_EQ(CTime::getTimeZone() + CTime::disableTimezone(), 0);
            EXPECT_EQ(CTime(t).hour, 9);
        }
        // The clocks still read the host's local time; only the conversions ignore the zone.
        const std::int64_t drift = CTime::getCurrentTime() - CTime(CTime::getCurrentUTCtime() + 8 * 3600);
        EXPECT_TRUE(drift >= 0 && drift <= 2) << drift;
    });
}
