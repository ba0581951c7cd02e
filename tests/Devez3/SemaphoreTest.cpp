// CSemaphore: counting, the three kinds of wait, the maximum, and units passed between threads exactly once.
#include "virad/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

using Orvane::Virad::CSemaphore;

using namespace std::chrono_literals;

TEST(CSemaphoreTest, EachWaitTakesOnlyWhatWasPostedUpToTheMaximum) {
    CSemaphore semaphore;
    EXPECT_EQ(semaphore.tryPend(), -1);
    EXPECT_EQ(semaphore.pend(0), -1) << "pend(0) does not wait";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(semaphore.pend(50), -1);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 50ms);
    EXPECT_LT(elapsed, 10s);
    EXPECT_EQ(semaphore.post(), 0);
    EXPECT_EQ(semaphore.pend(60000), 0) << "a unit that is there is taken at once";
    EXPECT_EQ(semaphore.post(), 0);
    EXPECT_EQ(semaphore.tryPend(), 0);
    EXPECT_EQ(semaphore.tryPend(), -1);

    CSemaphore three(3);
    EXPECT_EQ(three.tryPend(), 0);
    EXPECT_EQ(three.pend(0), 0) << "pend(0) takes like tryPend";
    EXPECT_EQ(three.pend(), 0);
    EXPECT_EQ(three.tryPend(), -1);

    CSemaphore full(2147483647);
    EXPECT_EQ(full.post(), -1);
    EXPECT_EQ(full.tryPend(), 0) << "the refused post did not break the count";
    EXPECT_EQ(full.post(), 0);
    EXPECT_EQ(full.post(), -1);
    EXPECT_EQ(full.pend(10), 0);
    EXPECT_EQ(full.pend(), 0);
}

TEST(CSemaphoreTest, WaitsEndWhenAnotherThreadPosts) {
    CSemaphore semaphore;
    for (const bool timed : {false, true}) {
        std::promise<void> waiting;
        auto waiter = std::async(std::launch::async, [&] {
            waiting.set_value();
            return timed ? semaphore.pend(60000) : semaphore.pend();
        });
        waiting.get_future().wait();
        EXPECT_EQ(semaphore.post(), 0);
        ASSERT_EQ(waiter.wait_for(20s), std::future_status::ready) << "timed " << timed;
        EXPECT_EQ(waiter.get(), 0);
    }
    EXPECT_EQ(semaphore.tryPend(), -1) << "each post was taken once";
}

TEST(CSemaphoreTest, ManyProducersAndConsumersPassEveryUnitOnce) {
    constexpr int kThreadsEachSide = 3;
    constexpr int kUnitsEach = 20000;
    CSemaphore semaphore;
    std::atomic<int> failures{0};
    std::promise<void> start;
    std::shared_future<void> go = start.get_future().share();

    std::vector<std::thread> threads;
    for (int c = 0; c < kThreadsEachSide; ++c) {
        // Each consumer waits its own way, so all three waits meet the producers.
        threads.emplace_back([&, c] {
            go.wait();
            for (int taken = 0; taken < kUnitsEach;) {
                const int rc = c == 0 ? semaphore.pend() : c == 1 ? semaphore.pend(5) : semaphore.tryPend();
                if (rc == 0) {
                    ++taken;
                } else if (c == 0) {
                    ++failures; // an untimed wait has no reason to fail
                } else {
                    std::this_thread::yield();
                }
            }
        });
        threads.emplace_back([&] {
            go.wait();
            for (int i = 0; i < kUnitsEach; ++i) {
                failures += semaphore.post() != 0 ? 1 : 0;
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
