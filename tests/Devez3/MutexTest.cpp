// CMutex, CRecursiveMutex and their guards: who may enter when, and mutual
// exclusion under contention.
#include "virad/Mutex.h"

#include "support/Testing.h"

#include <future>

using namespace Orvane::Virad;
using namespace std::chrono_literals;

template <typename M> class MutexNestingTest : public ::testing::Test {};
using MutexTypes = ::testing::Types<CMutex, CRecursiveMutex>;
TYPED_TEST_SUITE(MutexNestingTest, MutexTypes);

TEST(CMutexTest, TryEnterFailsForOthersAndNestsForTheHolder) {
    CMutex mutex;
    auto tryFromOther = [&] {
        return std::async(std::launch::async, [&] { return mutex.tryEnter() && mutex.leave(); }).get();
    };
    // Others fail while it is held; the holder nests and must leave as often.
    std::vector<bool> results = {tryFromOther(), mutex.enter(), tryFromOther(), mutex.tryEnter(), mutex.leave()};
    results.insert(results.end(), {tryFromOther(), mutex.leave(), tryFromOther()});
    EXPECT_EQ(results, std::vector<bool>({true, true, false, true, true, false, true, true}));
}

TYPED_TEST(MutexNestingTest, OthersGetItOnlyAfterTheLastLeaveAndReenteringRetakesIt) {
    TypeParam mutex;
    // After a full release this thread is no longer the owner: entering again
    // must really take the lock, not just count a level.
    EXPECT_TRUE(mutex.enter() && mutex.leave() && mutex.enter() && mutex.enter() && mutex.enter());
    auto other = std::async(std::launch::async, [&mutex] { return mutex.enter() && mutex.leave(); });
    for (int held = 2; held > 0; --held) { // a wrong lock would let the other thread in within 100 ms
        EXPECT_TRUE(mutex.leave());
        EXPECT_EQ(other.wait_for(100ms), std::future_status::timeout) << held << " levels still held";
    }
    EXPECT_TRUE(mutex.leave());
    EXPECT_TRUE(other.wait_for(20s) == std::future_status::ready && other.get());
}

TEST(CMutexTest, GuardsKeepCountersExactUnderContention) {
    // Threads add to plain counters under the locks; a broken lock loses increments (and ThreadSanitizer sees the
    // race). The recursive one is taken at two depths, so the nesting path runs under contention too.
    CMutex mutex;
    CRecursiveMutex recursive;
    long plain = 0, nested = 0;
    Orvane::Testing::onThreads(4, [&](int) {
        for (int i = 0; i < 20000; ++i) {
            {
                CGuard guard(mutex);
                ++plain;
            }
            CRecursiveGuard outer(recursive);
            const long seen = nested;
            CRecursiveGuard inner(recursive);
            nested = seen + 1;
        }
    });
    EXPECT_EQ(std::make_pair(plain, nested), std::make_pair(80000L, 80000L));
}
