// CMutex, CRecursiveMutex and their guards: who may enter when. Exclusion
// under contention is the lock stress program's.
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
    {
        CGuard guard(mutex); // a guard holds it for its scope
        results.push_back(tryFromOther());
    }
    results.push_back(tryFromOther());
    EXPECT_EQ(results, std::vector<bool>({true, true, false, true, true, false, true, true, false, true}));
}

TYPED_TEST(MutexNestingTest, OthersGetItOnlyAfterTheLastLeaveAndReenteringRetakesIt) {
    TypeParam mutex;
    // After a full release this thread is no longer the owner: entering again
    // must really take the lock, not just count a level.
    EXPECT_EQ(std::vector<bool>({mutex.enter(), mutex.leave(), mutex.enter(), mutex.enter(), mutex.enter()}),
              std::vector<bool>(5, true));
    auto other = std::async(std::launch::async, [&mutex] { return std::vector<bool>({mutex.enter(), mutex.leave()}); });
    for (int held = 2; held > 0; --held) { // a wrong lock would let the other thread in within 100 ms
        EXPECT_TRUE(mutex.leave());
        EXPECT_EQ(other.wait_for(100ms), std::future_status::timeout) << held << " levels still held";
    }
    EXPECT_TRUE(mutex.leave());
    ASSERT_EQ(other.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(other.get(), std::vector<bool>({true, true})) << "entered and left";
}
