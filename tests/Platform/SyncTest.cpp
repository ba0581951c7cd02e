#include "Src/Platform/Platform.h"

#include "support/Testing.h"

#include <future>

using namespace Orvane::Platform;
using namespace std::chrono_literals;

TEST(KernelSemaphoreTest, CountsStayWithinTheMaximum) {
    // Initial count, maximum; valid, then: post, and at the maximum tryWait, post, post.
    const std::tuple<long, long, const char*> limits[] = {{0, 1, "11"},
                                                          {1, 1, "10110"},
                                                          {2, 1, "0"},
                                                          {0, 0, "0"},
                                                          {-1, 5, "0"},
                                                          {0, 2147483647L, "11"},
                                                          {2147483647L, 2147483647L, "10110"}};
    for (const auto& [initial, maximum, expected] : limits) {
        KernelSemaphore semaphore(initial, maximum);
        std::string results = std::to_string(semaphore.valid());
        if (semaphore.valid()) {
            results += std::to_string(semaphore.post());
        }
        if (semaphore.valid() && initial == maximum) { // the refused post did not break the count
            for (const bool result : {semaphore.tryWait(), semaphore.post(), semaphore.post()}) {
                results += std::to_string(result);
            }
        }
        EXPECT_EQ(results, expected) << initial << " of " << maximum;
    }
}

TEST(KernelSemaphoreTest, TimedWaitsTakeAUnitOrTimeOut) {
    // Units, wait in ms, taken; a missing unit is waited for at least the time, one that is there taken at once.
    const std::tuple<long, unsigned int, bool> waits[] = {
        {0, 0, false}, {0, 1, false}, {0, 50, false}, {1, 0, true}, {1, 60000, true}};
    for (const auto& [units, milliseconds, taken] : waits) {
        KernelSemaphore semaphore(units, 10);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(semaphore.timedWait(milliseconds), taken) << units << " units, " << milliseconds << " ms";
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GE(elapsed, taken ? 0 : milliseconds);
        EXPECT_LT(elapsed, 10000);
        EXPECT_FALSE(semaphore.tryWait()); // each unit is taken once
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
    ManualResetEvent event, initiallySet(true);
    EXPECT_FALSE(event.timedWait(0));
    EXPECT_TRUE(initiallySet.timedWait(0));
    std::atomic<int> released{0}, waiting{0};
    std::thread waiter([&] {
        Orvane::Testing::onThreads(3, [&](int) {
            const unsigned long generation = event.generation();
            waiting.fetch_add(1);
            event.waitSince(generation);
            released.fetch_add(1);
        });
    });
    while (waiting.load() < 3) {
        std::this_thread::yield();
    }
    // Whether or not a waiter has reached its wait yet, the set it was
    // waiting for is not taken back by the reset.
    event.set();
    event.reset();
    waiter.join();
    EXPECT_EQ(released.load(), 3);
    EXPECT_FALSE(event.timedWait(10)) << "reset holds for waits that start later";
    event.set();
    EXPECT_TRUE(event.timedWait(0)) << "a set event lets every wait pass";
    EXPECT_TRUE(event.timedWait(0));
}
