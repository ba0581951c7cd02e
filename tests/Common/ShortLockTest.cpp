#include "Common/ShortLock.h"

#include "support/Testing.h"

using namespace Orvane;
using Common::ShortLock;

// The lock taken while the process still has one thread (each test runs in a
// process of its own under ctest) is a plain store. A thread started inside
// the section must still wait for the release, and see what was written in it.
TEST(ShortLockTest, TakenWhileAloneStillExcludesAThreadStartedInsideTheSection) {
    if (!Platform::processHasOneThread()) {
        GTEST_SKIP() << "this host does not say, or an earlier test in this process started a thread";
    }
    ShortLock lock;
    int guarded = 0;
    std::atomic<bool> entered{false};
    int seen = -1;
    lock.lock();
    guarded = 7;
    std::thread second([&] {
        lock.lock();
        entered = true;
        seen = guarded;
        lock.unlock();
    });
    EXPECT_FALSE(Platform::processHasOneThread());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load());
    guarded = 8;
    lock.unlock();
    second.join();
    EXPECT_TRUE(entered.load());
    EXPECT_EQ(seen, 8);
}

// Two threads adding under the lock lose no addition.
TEST(ShortLockTest, TwoThreadsLoseNoUpdate) {
    ShortLock lock;
    std::uint64_t total = 0;
    constexpr int kRounds = 200000;
    Testing::onThreads(2, [&](int) {
        for (int i = 0; i < kRounds; ++i) {
            std::lock_guard<ShortLock> guard(lock);
            total = total + 1;
        }
    });
    EXPECT_EQ(total, 2u * kRounds);
}
