#include "Src/Base/ShortLock.h"
#include "Src/Platform/Cpu.h"

#include "support/Testing.h"

using namespace Orvane;
using Base::ShortLock;

namespace {

// Takes the lock, starts a thread that takes it too, and checks that the
// thread waits for the release and then sees what the section wrote. A try
// fails while the lock is held, the holder's own included, and succeeds once
// it is free.
void expectASecondThreadToWaitForTheRelease() {
    ShortLock lock;
    int guarded = 0;
    std::atomic<bool> entered{false};
    std::atomic<int> tried{-1};
    int seen = -1;
    lock.lock();
    EXPECT_FALSE(lock.try_lock());
    guarded = 7;
    std::thread second([&] {
        tried = lock.try_lock() ? 1 : 0;
        if (tried == 1) {
            return;
        }
        lock.lock();
        entered = true;
        seen = guarded;
        lock.unlock();
    });
    EXPECT_FALSE(Platform::processHasOneThread());
    for (int waits = 0; tried.load() < 0 && waits < 5000; ++waits) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(tried.load(), 0);
    EXPECT_FALSE(entered.load());
    guarded = 8;
    lock.unlock();
    second.join();
    EXPECT_TRUE(entered.load());
    EXPECT_EQ(seen, 8);
    ASSERT_TRUE(lock.try_lock());
    lock.unlock();
}

} // namespace

// While the process still has one thread (each test runs in a process of its
// own under ctest), taking the lock is a plain store. A thread started inside
// the section must still be kept out.
TEST(ShortLockTest, TakenWhileAloneStillExcludesAThreadStartedInsideTheSection) {
    if (!Platform::processHasOneThread()) {
        GTEST_SKIP() << "this host does not say, or an earlier test in this process started a thread";
    }
    expectASecondThreadToWaitForTheRelease();
}

// Once a second thread has existed, taking the lock is the atomic exchange.
TEST(ShortLockTest, TakenAfterASecondThreadExcludesAnother) {
    std::thread([] {}).join();
    expectASecondThreadToWaitForTheRelease();
}

// Two threads adding under the lock lose no addition. The addition is a
// separate read and write, so only the lock makes it whole. Each thread goes
// on until both have done their rounds, so the two run side by side for a
// while (unless the machine gives them one processor between them).
TEST(ShortLockTest, TwoThreadsLoseNoUpdate) {
    ShortLock lock;
    std::atomic<std::uint64_t> total{0};
    std::atomic<std::uint64_t> done[2] = {{0}, {0}};
    constexpr std::uint64_t kRounds = 20000;
    Testing::onThreads(2, [&](int me) {
        while (done[me].load() < kRounds || done[1 - me].load() < kRounds) {
            {
                std::lock_guard<ShortLock> guard(lock);
                const std::uint64_t seen = total.load(std::memory_order_relaxed);
                Platform::cpuRelax(); // widens the window a missing exclusion would show in
                total.store(seen + 1, std::memory_order_relaxed);
            }
            ++done[me];
        }
    });
    EXPECT_EQ(total.load(), done[0].load() + done[1].load());
}
