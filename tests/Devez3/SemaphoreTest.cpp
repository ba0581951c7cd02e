// CSemaphore over the kernel semaphore: results of the three kinds of wait and of post, and units passed
// between threads exactly once.
#include "virad/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using Orvane::Virad::CSemaphore;

TEST(CSemaphoreTest, ResultsOfEachWaitAndOfPostPastTheMaximum) {
    CSemaphore semaphore;
    EXPECT_EQ(semaphore.tryPend() + semaphore.pend(0) + semaphore.pend(20), -3) << "nothing posted";
    EXPECT_EQ(semaphore.post(), 0);
    EXPECT_EQ(semaphore.pend(60000), 0);
    EXPECT_EQ(semaphore.post() + semaphore.post() + semaphore.post(), 0);
    EXPECT_EQ(semaphore.tryPend() + semaphore.pend(0) + semaphore.pend(), 0) << "pend(0) takes like tryPend";
    EXPECT_EQ(semaphore.tryPend(), -1);
    CSemaphore full(2147483647);
    EXPECT_EQ(full.post(), -1);
    EXPECT_EQ(full.pend(10), 0);
    EXPECT_EQ(full.post(), 0);
    EXPECT_EQ(full.post(), -1);
}

TEST(CSemaphoreTest, ManyProducersAndConsumersPassEveryUnitOnce) {
    constexpr int kUnitsEach = 20000;
    CSemaphore semaphore;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < 3; ++c) {
        // Each consumer waits its own way, so all three waits meet the producers.
        threads.emplace_back([&, c] {
            for (int taken = 0; taken < kUnitsEach;) {
                const int rc = c == 0 ? semaphore.pend() : c == 1 ? semaphore.pend(5) : semaphore.tryPend();
                taken += rc == 0 ? 1 : 0;
                failures += rc != 0 && c == 0 ? 1 : 0; // an untimed wait has no reason to fail
            }
        });
        threads.emplace_back([&] {
            for (int i = 0; i < kUnitsEach; ++i) {
                failures += semaphore.post() != 0 ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(semaphore.tryPend(), -1) << "no unit was left over or made twice";
}

TEST(CSemaphoreDeathTest, ANegativeInitialCountIsABrokenInvariant) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(CSemaphore semaphore(-1), "assertion \\(m_internal->m_handle\\) failed");
}
