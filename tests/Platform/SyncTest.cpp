#include "Platform/Platform.h"

#include "support/CaseTable.h"
#include "support/Testing.h"

#include <future>

using namespace Orvane::Platform;
using Orvane::Testing::runCaseTable;
using namespace std::chrono_literals;

// Rows "count <initial> <maximum>": valid, then post, and at the maximum tryWait, post, post (the refused post
// did not break the count). Rows "wait <units> <ms>": taken; a missing unit is waited for at least the time
// (else " early"), one that is there is taken at once, and each unit is taken once (else " twice").
TEST(KernelSemaphoreTest, CountsStayWithinTheMaximumAndTimedWaitsTakeAUnitOrTimeOut) {
    const auto run = [](const std::vector<std::string>& fields) {
        const long first = std::stol(fields[1]), second = std::stol(fields[2]);
        if (fields[0] == "wait") {
            KernelSemaphore semaphore(first, 10);
            const auto start = std::chrono::steady_clock::now();
            const bool taken = semaphore.timedWait(static_cast<unsigned int>(second));
            const auto elapsed = std::chrono::steady_clock::now() - start;
            const bool early = elapsed < std::chrono::milliseconds(taken ? 0 : second) || elapsed >= 10s;
            return std::to_string(taken) + (early ? " early" : "") + (semaphore.tryWait() ? " twice" : "");
        }
        KernelSemaphore semaphore(first, second);
        std::string results = std::to_string(semaphore.valid());
        if (semaphore.valid()) {
            results += std::to_string(semaphore.post());
        }
        if (semaphore.valid() && first == second) {
            for (const bool result : {semaphore.tryWait(), semaphore.post(), semaphore.post()}) {
                results += std::to_string(result);
            }
        }
        return results;
    };
    EXPECT_EQ(runCaseTable(R"(
count 0 1 = 11 | count 1 1 = 10110 | count 2 1 = 0 | count 0 0 = 0 | count -1 5 = 0 | count 0 2147483647 = 11
count 2147483647 2147483647 = 10110 | wait 0 0 = 0 | wait 0 1 = 0 | wait 0 50 = 0 | wait 1 0 = 1 | wait 1 60000 = 1)",
                           run),
              12);
}

TEST(KernelSemaphoreTest, APostFromAnotherThreadEndsATimedAndAnUntimedWait) {
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
    EXPECT_TRUE(!event.timedWait(0) && initiallySet.timedWait(0));
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
    EXPECT_TRUE(event.timedWait(0) && event.timedWait(0)) << "a set event lets every wait pass";
}
