// CMutex, CRecursiveMutex and their guards: who may enter when, and mutual
// exclusion under contention.
#include "virad/Mutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

using Orvane::Virad::CGuard;
using Orvane::Virad::CMutex;
using Orvane::Virad::CRecursiveGuard;
using Orvane::Virad::CRecursiveMutex;

namespace {

using namespace std::chrono_literals;

// Gives a wrong implementation time to let a blocked thread in; the checks after it hold however long it really was.
constexpr auto kLetItBlock = 100ms;
constexpr auto kGenerous = 20s;

// A thread that enters and leaves the mutex; its future is ready once it got in.
template <typename M> std::future<void> contend(M& mutex) {
    return std::async(std::launch::async, [&mutex] {
        mutex.enter();
        mutex.leave();
    });
}

bool gotIn(std::future<void>& contender, std::chrono::milliseconds limit) {
    return contender.wait_for(limit) == std::future_status::ready;
}

// Threads add to a plain counter under the lock; a broken lock loses increments (and ThreadSanitizer sees the race).
constexpr int kThreads = 4, kRounds = 20000;
long hammer(const std::function<void(long&)>& addOne) {
    long counter = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                addOne(counter);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return counter;
}

template <typename M> class MutexNestingTest : public ::testing::Test {};
using MutexTypes = ::testing::Types<CMutex, CRecursiveMutex>;
TYPED_TEST_SUITE(MutexNestingTest, MutexTypes);

} // namespace

TEST(CMutexTest, TryEnterFailsForOthersAndNestsForTheHolder) {
    CMutex mutex;
    auto tryFromOther = [&] {
        return std::async(std::launch::async, [&] { return mutex.tryEnter() && mutex.leave(); }).get();
    };
    std::vector<bool> results = {tryFromOther(), mutex.enter(), tryFromOther(), mutex.tryEnter(), mutex.leave()};
    results.insert(results.end(), {tryFromOther(), mutex.leave(), tryFromOther()});
    EXPECT_EQ(results, std::vector<bool>({true, true, false, true, true, false, true, true}))
        << "others fail while it is held; the holder nests and must leave as often";
}

TYPED_TEST(MutexNestingTest, OthersGetItOnlyAfterTheLastLeaveAndReenteringRetakesIt) {
    TypeParam mutex;
    // After a full release this thread is no longer the owner: entering again
    // must really take the lock, not just count a level.
    EXPECT_TRUE(mutex.enter());
    EXPECT_TRUE(mutex.leave());
    for (int level = 0; level < 3; ++level) {
        EXPECT_TRUE(mutex.enter());
    }
    std::future<void> other = contend(mutex);
    for (int held = 2; held > 0; --held) {
        EXPECT_TRUE(mutex.leave());
        EXPECT_FALSE(gotIn(other, kLetItBlock)) << held << " levels still held";
    }
    EXPECT_TRUE(mutex.leave());
    EXPECT_TRUE(gotIn(other, kGenerous));
}

TEST(CMutexTest, GuardsKeepCountersExact) {
    CMutex mutex;
    EXPECT_EQ(hammer([&](long& counter) {
                  CGuard guard(mutex);
                  ++counter;
              }),
              long{kThreads} * kRounds);

    // Taken at two depths, so the nesting path runs under contention too.
    CRecursiveMutex recursive;
    EXPECT_EQ(hammer([&](long& counter) {
                  CRecursiveGuard outer(recursive);
                  const long seen = counter;
                  CRecursiveGuard inner(recursive);
                  counter = seen + 1;
              }),
              long{kThreads} * kRounds);
}
