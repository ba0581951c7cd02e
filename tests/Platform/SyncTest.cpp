#include "Platform/Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

using namespace Orvane::Platform;
using namespace std::chrono_literals;

TEST(KernelMutexTest, OwnerReentersOthersCannotRelease) {
    KernelMutex mutex;
    mutex.acquire();
    mutex.acquire();
    bool releasedByOther = true, acquiredByOther = true;
    std::thread([&] {
        releasedByOther = mutex.release();
        acquiredByOther = mutex.timedAcquire(20);
    }).join();
    EXPECT_FALSE(releasedByOther) << "a release by a thread that does not own it fails";
    EXPECT_FALSE(acquiredByOther) << "still owned twice over";
    EXPECT_TRUE(mutex.release() && mutex.release());
    EXPECT_FALSE(mutex.release()) << "nothing left to release";
    std::thread([&] { acquiredByOther = mutex.timedAcquire(1000) && mutex.release(); }).join();
    EXPECT_TRUE(acquiredByOther);
}

TEST(KernelSemaphoreTest, CountsStayWithinTheMaximum) {
    const struct {
        long initial, maximum;
        bool valid;
    } limits[] = {{0, 1, true},
                  {1, 1, true},
                  {2, 1, false},
                  {0, 0, false},
                  {-1, 5, false},
                  {0, 2147483647L, true},
                  {2147483647L, 2147483647L, true}};
    for (const auto& l : limits) {
        KernelSemaphore semaphore(l.initial, l.maximum);
        ASSERT_EQ(semaphore.valid(), l.valid) << l.initial << " of " << l.maximum;
        if (!l.valid) {
            continue;
        }
        EXPECT_EQ(semaphore.post(), l.initial < l.maximum) << "a post at the maximum fails";
        if (l.initial == l.maximum) { // the refused post did not break the count
            EXPECT_TRUE(semaphore.tryWait());
            EXPECT_TRUE(semaphore.post());
            EXPECT_FALSE(semaphore.post());
        }
    }
    KernelSemaphore one(0, 1);
    EXPECT_EQ(std::vector<bool>({one.post(), one.post(), one.tryWait(), one.tryWait()}),
              std::vector<bool>({true, false, true, false}));
}

TEST(KernelSemaphoreTest, TimedWaitsTakeAUnitOrTimeOut) {
    const struct {
        long units;
        unsigned int milliseconds;
        bool taken;
        std::chrono::milliseconds atLeast;
    } waits[] = {
        {0, 0, false, 0ms}, {0, 1, false, 1ms}, {0, 50, false, 50ms}, {1, 0, true, 0ms}, {1, 60000, true, 0ms}};
    for (const auto& w : waits) {
        KernelSemaphore semaphore(w.units, 10);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(semaphore.timedWait(w.milliseconds), w.taken) << w.units << " units, " << w.milliseconds << " ms";
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, w.atLeast);
        EXPECT_LT(elapsed, 10s) << "a unit that is there is taken at once";
        EXPECT_FALSE(semaphore.tryWait()) << "each unit is taken once";
    }
    // A post from another thread ends a timed and an untimed wait.
    KernelSemaphore semaphore(0, 10);
    for (const bool timed : {false, true}) {
        auto waiter =
            std::async(std::launch::async, [&] { return timed ? semaphore.timedWait(60000) : semaphore.wait(); });
        std::this_thread::sleep_for(20ms);
        EXPECT_TRUE(semaphore.post());
        ASSERT_EQ(waiter.wait_for(20s), std::future_status::ready) << "timed " << timed;
        EXPECT_TRUE(waiter.get());
    }
}

TEST(ManualResetEventTest, ASetReleasesEveryWaiterEvenIfResetAtOnce) {
    ManualResetEvent event;
    EXPECT_FALSE(event.timedWait(0));
    std::atomic<int> released{0}, waiting{0};
    std::thread waiters[3];
    for (auto& waiter : waiters) {
        waiter = std::thread([&] {
            const unsigned long generation = event.generation();
            waiting.fetch_add(1);
            event.waitSince(generation);
            released.fetch_add(1);
        });
    }
    while (waiting.load() < 3) {
        std::this_thread::yield();
    }
    // Whether or not a waiter has reached its wait yet, the set it was
    // waiting for is not taken back by the reset.
    event.set();
    event.reset();
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 3);
    EXPECT_FALSE(event.timedWait(10)) << "reset holds for waits that start later";
    event.set();
    EXPECT_TRUE(event.timedWait(0) && event.timedWait(0)) << "a set event lets every wait pass";
    ManualResetEvent initiallySet(true);
    EXPECT_TRUE(initiallySet.timedWait(0));
}
