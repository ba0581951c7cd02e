// CSemaphore over the kernel semaphore: results of the three kinds of wait and of post, and units passed
// between threads exactly once.
#include "virad/Semaphore.h"

#include "support/Testing.h"

using Orvane::Virad::CSemaphore;

TEST(CSemaphoreTest, ResultsOfEachWaitAndOfPostPastTheMaximum) {
    CSemaphore semaphore, full(2147483647);
    std::vector<int> results = {semaphore.tryPend(), semaphore.pend(0), semaphore.pend(20)}; // nothing posted
    results.insert(results.end(), {semaphore.post(), semaphore.pend(60000), semaphore.post(), semaphore.post()});
    results.insert(results.end(), {semaphore.post(), semaphore.tryPend(), semaphore.pend(0), semaphore.pend()});
    results.insert(results.end(), {semaphore.tryPend(), full.post(), full.pend(10), full.post(), full.post()});
    // Pend(0) takes like tryPend; no post past 2147483647.
    EXPECT_EQ(results, (std::vector<int>{-1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, 0, 0, -1}));
}

TEST(CSemaphoreTest, ProducersAndConsumersOfEveryWaitPassEveryUnitOnce) {
    constexpr int kUnitsEach = 20000;
    CSemaphore semaphore;
    std::atomic<int> failures{0};
    Orvane::Testing::onThreads(6, [&](int t) {
        const int c = t / 2; // each consumer waits its own way, so all three waits meet the producers
        for (int i = 0; i < kUnitsEach;) {
            if (t % 2 == 0) {
                failures += semaphore.post() != 0 ? 1 : 0;
                ++i;
                continue;
            }
            const int rc = c == 0 ? semaphore.pend() : c == 1 ? semaphore.pend(5) : semaphore.tryPend();
            i += rc == 0 ? 1 : 0;
            failures += rc != 0 && c == 0 ? 1 : 0; // an untimed wait has no reason to fail
        }
    });
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(semaphore.tryPend(), -1) << "no unit was left over or made twice";
}

TEST(CSemaphoreDeathTest, ANegativeInitialCountIsABrokenInvariant) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(CSemaphore semaphore(-1), "assertion \\(m_internal->m_handle\\) failed");
}
