// CSemaphore over the kernel semaphore: results of the three kinds of wait and of post. Units passed between
// threads exactly once are the lock stress program's.
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

TEST(CSemaphoreDeathTest, ANegativeInitialCountIsABrokenInvariant) {
    Orvane::Testing::reexecuteDeathTests();
    EXPECT_DEATH(CSemaphore semaphore(-1), "assertion \\(m_internal->m_handle\\) failed");
}
