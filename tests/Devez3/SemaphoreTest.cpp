// CSemaphore: counting, the three kinds of wait, the maximum, and units
// passed between many threads without loss or duplication.
#include "virad/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

using Orvane::Virad::CSemaphore;

namespace {

using namespace std::chrono_literals;

constexpr auto kGenerous = 20s;

} // namespace

TEST(CSemaphoreTest, TryPendTakesOnlyWhatWasPosted) {
    CSemaphore empty;
    EXPECT_EQ(empty.tryPend(), -1);
    EXPECT_EQ(empty.post(), 0);
    EXPECT_EQ(empty.tryPend(), 0);
    EXPECT_EQ(empty.tryPend(), -1);

    CSemaphore three(3);
    EXPECT_EQ(three.tryPend(), 0);
    EXPECT_EQ(three.pend(0), 0) << "pend(0) takes like tryPend";
    EXPECT_EQ(three.pend(), 0);
    EXPECT_EQ(three.tryPend(), -1);
    EXPECT_EQ(three.pend(0), -1) << "pend(0) does not wait";
}

TEST(CSemaphoreTest, TimedPendWaitsItsTimeThenGivesUp) {
    CSemaphore semaphore;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(semaphore.pend(50), -1);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 50ms);
    EXPECT_LT(elapsed, 10s);

    // A unit that is there is taken at once, however long the caller would wait.
    EXPECT_EQ(semaphore.post(), 0);
    EXPECT_EQ(semaphore.pend(60000), 0);
}

TEST(CSemaphoreTest, WaitsEndWhenAnotherThreadPosts) {
    CSemaphore semaphore;
    std::promise<void> waiting;
    auto untimed = std::async(std::launch::async, [&] {
        waiting.set_value();
        return semaphore.pend();
    });
    waiting.get_future().wait();
    EXPECT_EQ(semaphore.post(), 0);
    ASSERT_EQ(untimed.wait_for(kGenerous), std::future_status::ready);
    EXPECT_EQ(untimed.get(), 0);

    auto timed = std::async(std::launch::async, [&] { return semaphore.pend(60000); });
    EXPECT_EQ(semaphore.post(), 0);
    ASSERT_EQ(timed.wait_for(kGenerous), std::future_status::ready);
    EXPECT_EQ(timed.get(), 0);
    EXPECT_EQ(semaphore.tryPend(), -1) << "each post was taken once";
}

TEST(CSemaphoreTest, PostFailsAtTheMaximumAndChangesNothing) {
    CSemaphore full(2147483647);
    EXPECT_EQ(full.post(), -1);
    EXPECT_EQ(full.tryPend(), 0) << "the refused post did not break the count";
    EXPECT_EQ(full.post(), 0);
    EXPECT_EQ(full.post(), -1);
    EXPECT_EQ(full.pend(10), 0);
    EXPECT_EQ(full.pend(), 0);
}

TEST(CSemaphoreTest, ManyProducersAndConsumersPassEveryUnitOnce) {
    constexpr int kProducers = 3;
    constexpr int kConsumers = 3;
    constexpr int kUnitsPerProducer = 20000;
    constexpr int kUnitsPerConsumer = kProducers * kUnitsPerProducer / kConsumers;
    CSemaphore semaphore;
    std::atomic<int> failures{0};
    std::promise<void> start;
    std::shared_future<void> go = start.get_future().share();

    std::vector<std::thread> threads;
    for (int c = 0; c < kConsumers; ++c) {
        // Each consumer waits its own way, so all three waits meet the producers.
        threads.emplace_back([&, c] {
            go.wait();
            for (int taken = 0; taken < kUnitsPerConsumer;) {
                int rc;
                if (c == 0) {
                    rc = semaphore.pend();
                } else if (c == 1) {
                    rc = semaphore.pend(5);
                } else {
                    rc = semaphore.tryPend();
                    if (rc != 0) {
                        std::this_thread::yield();
                    }
                }
                if (rc == 0) {
                    ++taken;
                } else if (c == 0) {
                    ++failures; // an untimed wait has no reason to fail
                }
            }
        });
    }
    for (int p = 0; p < kProducers; ++p) {
        threads.emplace_back([&] {
            go.wait();
            for (int i = 0; i < kUnitsPerProducer; ++i) {
                if (semaphore.post() != 0) {
                    ++failures;
                }
            }
        });
    }
    start.set_value();
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
