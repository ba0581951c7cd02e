#include "virad/CTime.h"

#include "Devez3/ClockInternal.h"
#include "Platform/Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace Orvane::Virad;

TEST(MonotonicClockTest, StartsNearZeroAndAgreesWithTheCounter) {
    // The library was loaded when this process started; even a slow start
    // on a loaded machine is far below a minute.
    const std::uint64_t micro = CTime::getCurrentMicroSecond();
    EXPECT_LT(micro, 60u * 1000 * 1000);

    const std::uint64_t counterBefore = Orvane::Platform::monotonicNanoseconds();
    const std::uint64_t first = CTime::getCurrentMicroSecond();
    Orvane::Platform::sleepMilliseconds(20);
    const std::uint64_t second = CTime::getCurrentMicroSecond();
    const std::uint64_t counterAfter = Orvane::Platform::monotonicNanoseconds();
    EXPECT_GE(second - first, 20u * 1000) << "a 20 ms sleep shows as at least 20000 microseconds";
    // Whole microseconds of each reading: the difference may gain one from truncation.
    EXPECT_LE(second - first, (counterAfter - counterBefore) / 1000 + 1) << "microseconds, not nanoseconds";

    const std::uint64_t milli = CTime::getCurrentMilliSecond();
    const std::uint64_t microAfter = CTime::getCurrentMicroSecond();
    EXPECT_LE(milli, microAfter / 1000);
    EXPECT_GE(milli + 1000, microAfter / 1000);
}

TEST(MonotonicClockTest, MillisecondsAreRaisedToTheLastValueHandedOut) {
    const std::uint64_t now = CTime::getCurrentMilliSecond();
    // Pretend some thread was given a value 200 ms ahead: nobody may be given
    // less from then on, although the counter has not reached it yet.
    EXPECT_EQ(Detail::raiseLastMillisecond(now + 200), now + 200);
    EXPECT_GE(CTime::getCurrentMilliSecond(), now + 200);
    EXPECT_GE(Detail::raiseLastMillisecond(now), now + 200) << "a smaller candidate gets the value already handed out";
}

TEST(MonotonicClockTest, NoThreadIsGivenLessThanAValueAlreadyHandedOut) {
    // Each thread publishes what it was given; a later reading on any thread
    // must be at least the largest value published before it started.
    std::atomic<std::uint64_t> published{0};
    std::atomic<bool> failed{false};
    std::atomic<int> readings{0};
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
                readings.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(failed.load());
    EXPECT_EQ(readings.load(), 4 * 20000);
}
