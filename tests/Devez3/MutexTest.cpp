// CMutex, CRecursiveMutex and their guards: who may enter when, and mutual
// exclusion under contention.
#include "virad/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
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

// Long enough for a thread to reach a blocking call on a busy machine. Tests
// only use it to give a wrong implementation the chance to show itself; what
// they assert after it holds however long the pause really was.
constexpr auto kLetItBlock = 100ms;
// How long a test waits for something that must happen.
constexpr auto kGenerous = 20s;

// Calls the function on a fresh thread and returns its result.
template <typename F> auto onOtherThread(F f) {
    return std::async(std::launch::async, f).get();
}

// A thread that enters a recursive mutex once it is told to and reports when
// it holds it; it leaves when the test releases it.
class Contender {
public:
    explicit Contender(CRecursiveMutex& mutex)
        : m_mutex(mutex), m_acquiredFuture(m_acquired.get_future()), m_thread([this] { run(); }) {}
    ~Contender() {
        m_release.set_value();
        m_thread.join();
    }

    bool acquiredWithin(std::chrono::milliseconds limit) {
        return m_acquiredFuture.wait_for(limit) == std::future_status::ready;
    }

private:
    void run() {
        m_mutex.enter();
        m_acquired.set_value();
        m_release.get_future().wait();
        m_mutex.leave();
    }

    CRecursiveMutex& m_mutex;
    std::promise<void> m_acquired;
    std::future<void> m_acquiredFuture;
    std::promise<void> m_release;
    std::thread m_thread;
};

// Several threads each add to a plain counter many times under the lock.
// A broken lock loses increments (and ThreadSanitizer reports the race).
void hammer(int threads, int rounds, const std::function<void(long&)>& addOne, long& counter) {
    std::promise<void> start;
    std::shared_future<void> go = start.get_future().share();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            go.wait();
            for (int i = 0; i < rounds; ++i) {
                addOne(counter);
            }
        });
    }
    start.set_value();
    for (std::thread& worker : workers) {
        worker.join();
    }
}

} // namespace

TEST(CMutexTest, TryEnterFailsForOthersAndNestsForTheHolder) {
    CMutex mutex;
    auto tryFromOther = [&] {
        return onOtherThread([&] {
            const bool got = mutex.tryEnter();
            if (got) {
                mutex.leave();
            }
            return got;
        });
    };

    EXPECT_TRUE(tryFromOther()) << "a free mutex can be taken";
    EXPECT_TRUE(mutex.enter());
    EXPECT_FALSE(tryFromOther());
    EXPECT_TRUE(mutex.tryEnter()) << "the holder may enter again";
    EXPECT_TRUE(mutex.leave());
    EXPECT_FALSE(tryFromOther()) << "still held once more after the first leave";
    EXPECT_TRUE(mutex.leave());
    EXPECT_TRUE(tryFromOther()) << "free after as many leaves as entries";
}

TEST(CMutexTest, EnterWaitsForTheHolder) {
    CMutex mutex;
    std::atomic<bool> entered{false};
    std::promise<void> starting;
    mutex.enter();
    std::thread other([&] {
        starting.set_value();
        mutex.enter();
        entered = true;
        mutex.leave();
    });
    starting.get_future().wait();
    std::this_thread::sleep_for(kLetItBlock);
    EXPECT_FALSE(entered.load());
    mutex.leave();
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(CMutexTest, GuardsKeepCountersExact) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;

    CMutex mutex;
    long plain = 0;
    hammer(
        kThreads, kRounds,
        [&](long& counter) {
            CGuard guard(mutex);
            ++counter;
        },
        plain);
    EXPECT_EQ(plain, long{kThreads} * kRounds);

    // The recursive mutex is taken at two depths, so the nesting path runs
    // under contention as well as the first entry.
    CRecursiveMutex recursive;
    long nested = 0;
    hammer(
        kThreads, kRounds,
        [&](long& counter) {
            CRecursiveGuard outer(recursive);
            const long seen = counter;
            {
                CRecursiveGuard inner(recursive);
                counter = seen + 1;
            }
        },
        nested);
    EXPECT_EQ(nested, long{kThreads} * kRounds);
}

TEST(CRecursiveMutexTest, OtherThreadsGetItOnlyAfterTheLastLeave) {
    CRecursiveMutex mutex;
    EXPECT_TRUE(mutex.enter());
    EXPECT_TRUE(mutex.enter());
    EXPECT_TRUE(mutex.enter());
    Contender contender(mutex);

    EXPECT_TRUE(mutex.leave());
    EXPECT_FALSE(contender.acquiredWithin(kLetItBlock)) << "two levels still held";
    EXPECT_TRUE(mutex.leave());
    EXPECT_FALSE(contender.acquiredWithin(kLetItBlock)) << "one level still held";
    EXPECT_TRUE(mutex.leave());
    EXPECT_TRUE(contender.acquiredWithin(kGenerous));
}

TEST(CRecursiveMutexTest, EnteringAgainAfterAFullReleaseTakesTheLockAgain) {
    // After the last leave this thread is no longer the owner: entering again
    // must really take the lock, not just count a level.
    CRecursiveMutex mutex;
    EXPECT_TRUE(mutex.enter());
    EXPECT_TRUE(mutex.leave());
    EXPECT_TRUE(mutex.enter());
    Contender contender(mutex);
    EXPECT_FALSE(contender.acquiredWithin(kLetItBlock));
    EXPECT_TRUE(mutex.leave());
    EXPECT_TRUE(contender.acquiredWithin(kGenerous));
}
