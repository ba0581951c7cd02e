#include "Platform/Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Orvane::Platform;

TEST(KernelMutexTest, OwnerReentersOthersCannotRelease) {
    KernelMutex mutex;
    mutex.acquire();
    mutex.acquire();
    bool releasedByOther = true;
    bool acquiredByOther = true;
    std::thread([&] {
        releasedByOther = mutex.release();
        acquiredByOther = mutex.timedAcquire(20);
    }).join();
    EXPECT_FALSE(releasedByOther) << "a release by a thread that does not own it fails";
    EXPECT_FALSE(acquiredByOther) << "still owned twice over";
    EXPECT_TRUE(mutex.release());
    EXPECT_TRUE(mutex.release());
    EXPECT_FALSE(mutex.release()) << "nothing left to release";
    std::thread([&] {
        acquiredByOther = mutex.timedAcquire(1000);
        if (acquiredByOther) {
            mutex.release();
        }
    }).join();
    EXPECT_TRUE(acquiredByOther);
}

TEST(KernelSemaphoreTest, ASmallMaximumRefusesPostsBeyondIt) {
    KernelSemaphore one(0, 1);
    ASSERT_TRUE(one.valid());
    EXPECT_TRUE(one.post());
    EXPECT_FALSE(one.post());
    EXPECT_TRUE(one.tryWait());
    EXPECT_FALSE(one.tryWait());
    EXPECT_FALSE(KernelSemaphore(2, 1).valid()) << "the initial count cannot pass the maximum";
    EXPECT_FALSE(KernelSemaphore(0, 0).valid());
}

TEST(ManualResetEventTest, ASetReleasesEveryWaiterEvenIfResetAtOnce) {
    ManualResetEvent event;
    EXPECT_FALSE(event.timedWait(0));
    std::atomic<int> released{0};
    std::atomic<int> waiting{0};
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
    EXPECT_TRUE(event.timedWait(0));
}
