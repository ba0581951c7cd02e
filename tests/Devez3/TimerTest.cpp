#include "virad/Timer.h"

#include "Devez3/TimerInternal.h"
#include "support/CapturePrinter.h"
#include "support/Eventually.h"
#include "virad/CTime.h"
#include "virad/ThreadManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::eventually;

namespace {

std::uint64_t managerNow() {
    CRecursiveGuard guard(timerSchedule().lock);
    return timerSchedule().now;
}

std::uint64_t nextTimeOf(CTimer& timer) {
    CRecursiveGuard guard(timerSchedule().lock);
    return TimerInternal::of(timer)->nextTime;
}

// Records each call (clock, parameter, thread name); may stay inside for a while or until released.
class Probe {
public:
    void onTimer(unsigned long parameter) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            times.push_back(CTime::getCurrentMilliSecond());
            parameters.push_back(parameter);
            flex_string name;
            CThreadManager::instance()->getThreadNameByID(CThread::getCurrentThreadID(), name);
            threadNames.push_back(name.c_str());
        }
        inside.fetch_add(1);
        if (holdMs > 0) {
            CThread::sleep(holdMs);
        }
        while (held.load()) {
            CThread::sleep(1);
        }
        inside.fetch_sub(1);
        calls.fetch_add(1);
    }
    CTimer::Proc proc() { return CTimer::Proc(&Probe::onTimer, this); }
    std::vector<std::uint64_t> snapshot() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return times;
    }

    std::atomic<int> calls{0};
    std::atomic<int> inside{0};
    std::atomic<bool> held{false};
    int holdMs = 0;
    std::vector<std::uint64_t> times;
    std::vector<unsigned long> parameters;
    std::vector<std::string> threadNames;

private:
    std::mutex m_mutex;
};

} // namespace

TEST(TimerTest, OneShotFiresOnceAfterItsDueTimeWithItsParameter) {
    Probe probe;
    CTimer timer("OneShot");
    const std::uint64_t due = managerNow() + 100;
    ASSERT_TRUE(timer.start(probe.proc(), 100, 0, 77));
    EXPECT_TRUE(timer.isStarted());
    EXPECT_FALSE(timer.isCalled());
    ASSERT_TRUE(eventually([&] { return probe.calls.load() == 1; }));
    EXPECT_GE(probe.times[0], due + 1) << "handed out once the manager's clock passed the due time";
    EXPECT_EQ(probe.parameters[0], 77u);
    EXPECT_FALSE(timer.isStarted());
    EXPECT_TRUE(timer.isCalled());
    ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));
    CThread::sleep(150);
    EXPECT_EQ(probe.calls.load(), 1);
    ASSERT_TRUE(timer.start(probe.proc(), 10000));
    EXPECT_FALSE(timer.isCalled()) << "a new start clears the flag";
}

TEST(TimerTest, PeriodicTimerFiresOnItsGridUntilStopped) {
    Probe probe;
    CTimer timer("Periodic");
    const std::uint64_t base = managerNow() + 30;
    ASSERT_TRUE(timer.start(probe.proc(), 30, 40));
    ASSERT_TRUE(eventually([&] { return probe.calls.load() >= 4; }));
    EXPECT_TRUE(timer.isStarted());
    EXPECT_FALSE(timer.isCalled());
    EXPECT_EQ((nextTimeOf(timer) - base) % 40, 0u);
    const std::vector<std::uint64_t> times = probe.snapshot();
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GT(times[i], times[i - 1]) << "consecutive firings sit on distinct grid points";
    }
    EXPECT_TRUE(timer.stopAndWait());
    EXPECT_FALSE(timer.isStarted());
    const int after = probe.calls.load();
    CThread::sleep(150);
    EXPECT_EQ(probe.calls.load(), after);
}

TEST(TimerTest, SlowCallbackDropsFiringsAndKeepsTheGrid) {
    Probe probe;
    probe.holdMs = 250;
    CTimer timer("Slow");
    const std::uint64_t base = managerNow() + 100;
    ASSERT_TRUE(timer.start(probe.proc(), 100, 100));
    ASSERT_TRUE(eventually([&] { return probe.calls.load() >= 3; }));
    timer.stopAndWait();
    const std::vector<std::uint64_t> times = probe.snapshot();
    for (std::size_t i = 1; i < times.size(); ++i) { // never two at once, missed periods not made up
        EXPECT_GE(times[i] - times[i - 1], 250u) << "firing " << i;
    }
    EXPECT_EQ(probe.inside.load(), 0);
    EXPECT_EQ((nextTimeOf(timer) - base) % 100, 0u);
}

TEST(TimerTest, DelayZeroRunsAtOnceAndIsDroppedWhileRunning) {
    Probe probe;
    probe.held = true;
    CTimer timer("Immediate");
    ASSERT_TRUE(timer.start(probe.proc(), 0, 0, 1));
    EXPECT_FALSE(timer.isStarted());
    EXPECT_TRUE(timer.isCalled());
    EXPECT_TRUE(timer.isRunning());
    ASSERT_TRUE(eventually([&] { return probe.inside.load() == 1; }));
    EXPECT_FALSE(timer.start(probe.proc(), 0, 0, 2));
    probe.held = false;
    ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));
    CThread::sleep(50);
    EXPECT_EQ(probe.calls.load(), 1);
    EXPECT_EQ(probe.parameters, std::vector<unsigned long>{1});
}

TEST(TimerTest, StopWithCallNowRunsOnlyStartedOneShots) {
    Probe probe;
    CTimer oneShot("CallNow");
    EXPECT_FALSE(oneShot.stop(true)); // never started
    ASSERT_TRUE(oneShot.start(probe.proc(), 100000, 0, 5));
    EXPECT_TRUE(oneShot.stop(true));
    ASSERT_TRUE(eventually([&] { return probe.calls.load() == 1; }));
    EXPECT_FALSE(oneShot.isStarted());
    EXPECT_TRUE(oneShot.isCalled());
    EXPECT_FALSE(oneShot.stop(true)); // already handed out

    CTimer periodic("CallNowPeriodic");
    ASSERT_TRUE(periodic.start(probe.proc(), 100000, 100000));
    EXPECT_TRUE(periodic.stop(true));
    EXPECT_FALSE(periodic.isStarted());
    EXPECT_FALSE(periodic.stop(false));
    CThread::sleep(50);
    EXPECT_EQ(probe.calls.load(), 1);
}

TEST(TimerTest, StopAndWaitWaitsForTheCallbackExceptFromInsideIt) {
    CapturePrinter capture(true, 4);
    Probe probe;
    probe.held = true;
    CTimer timer("Waited");
    ASSERT_TRUE(timer.start(probe.proc(), 0));
    ASSERT_TRUE(eventually([&] { return probe.inside.load() == 1; }));
    std::thread releaser([&] {
        CThread::sleep(100);
        probe.held = false;
    });
    EXPECT_TRUE(timer.stopAndWait());
    EXPECT_EQ(probe.calls.load(), 1); // the callback had returned
    EXPECT_FALSE(timer.isRunning());
    releaser.join();
    char expected[128];
    std::snprintf(expected, sizeof expected, "this:%p CTimer::Stop Timer:Waited wait callback exit!\n",
                  static_cast<void*>(&timer));
    const std::vector<std::string> waits = capture.linesContaining("wait callback exit!");
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_NE(waits[0].find(expected), std::string::npos) << waits[0];

    struct SelfStopper { // from inside its own callback it returns at once
        CTimer timer{"SelfStop"};
        std::atomic<int> returned{0};
        void onTimer(unsigned long) {
            if (timer.stopAndWait()) {
                returned.fetch_add(1);
            }
        }
    } self;
    ASSERT_TRUE(self.timer.start(CTimer::Proc(&SelfStopper::onTimer, &self), 0, 20));
    ASSERT_TRUE(eventually([&] { return self.returned.load() == 1; }, 5000));
    EXPECT_FALSE(self.timer.isStarted());
}

TEST(TimerTest, NamesAreCutAndWorkersCarryThemDuringTheCallback) {
    Probe probe;
    const std::string longName(40, 'n');
    CTimer timer(longName.c_str());
    EXPECT_EQ(std::string(timer.getName()), longName.substr(0, 31));
    timer.setName("0123456789012345678901234567890123456789");
    EXPECT_EQ(std::string(timer.getName()), "0123456789012345678901234567890");
    timer.setName("Carried");
    ASSERT_TRUE(timer.start(probe.proc(), 0));
    ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));
    EXPECT_EQ(probe.threadNames, std::vector<std::string>{"Carried"});
}

TEST(TimerTest, StatisticsCountOnlyWhenEnabledAfterStart) {
    Probe probe;
    probe.holdMs = 30;
    CTimer timer("Stat");
    TimerInternal* record = TimerInternal::of(timer);
    timer.enableStat(true); // cleared by start
    ASSERT_TRUE(timer.start(probe.proc(), 10, 20));
    ASSERT_TRUE(eventually([&] { return probe.calls.load() >= 2; }));
    timer.stopAndWait();
    {
        CRecursiveGuard guard(timerSchedule().lock);
        EXPECT_EQ(record->runningTime, 0u);
    }
    ASSERT_TRUE(timer.start(probe.proc(), 10, 20));
    timer.enableStat(true);
    const int before = probe.calls.load();
    ASSERT_TRUE(eventually([&] { return probe.calls.load() >= before + 3; }));
    timer.stopAndWait();
    const int counted = probe.calls.load() - before; // each held for at least 30 ms
    CRecursiveGuard guard(timerSchedule().lock);
    EXPECT_GE(record->runningTime, 30000u * static_cast<unsigned>(counted));
}

TEST(TimerTest, DestroyingATimerWaitsForItsCallbackOrDetachesFromInside) {
    CapturePrinter capture(true, 4);
    Probe probe;
    probe.holdMs = 150;
    auto timer = std::make_unique<CTimer>("Doomed");
    ASSERT_TRUE(timer->start(probe.proc(), 0, 10));
    ASSERT_TRUE(eventually([&] { return probe.inside.load() == 1; }));
    timer.reset();
    EXPECT_EQ(probe.inside.load(), 0);
    const int calls = probe.calls.load();
    CThread::sleep(60);
    EXPECT_EQ(probe.calls.load(), calls);

    struct SelfDeleter { // the worker must not touch the freed record
        CTimer* timer = new CTimer("SelfDelete");
        std::atomic<bool> done{false};
        void onTimer(unsigned long) {
            delete timer;
            timer = nullptr;
            done = true;
        }
    } self;
    ASSERT_TRUE(self.timer->start(CTimer::Proc(&SelfDeleter::onTimer, &self), 0, 5));
    ASSERT_TRUE(eventually([&] { return self.done.load(); }));
    CThread::sleep(30); // the worker returns to the pool
}

TEST(TimerTest, ManyThreadsStartAndStopTimersAtOnce) {
    CapturePrinter capture(true, 4);
    constexpr int kThreads = 6;
    constexpr int kRounds = 300;
    std::atomic<int> fired{0};
    struct Counter {
        std::atomic<int>* fired;
        void onTimer(unsigned long) { fired->fetch_add(1); }
    } counter{&fired};
    const CTimer::Proc proc(&Counter::onTimer, &counter);
    std::vector<std::unique_ptr<CTimer>> shared;
    for (int i = 0; i < 4; ++i) {
        shared.push_back(std::make_unique<CTimer>("Shared"));
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CTimer own("Own");
            for (int round = 0; round < kRounds; ++round) {
                CTimer& other = *shared[(t + round) % shared.size()];
                own.start(proc, round % 3, round % 2 == 0 ? 0 : 5);
                other.start(proc, round % 4, 3);
                other.setPeriodTime(4);
                if (round % 5 == 0) {
                    other.stop(true);
                }
                own.stop(round % 2 == 0);
                if (round % 50 == 0) {
                    CThread::sleep(2);
                }
            }
            own.stopAndWait();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (auto& timer : shared) {
        timer->stopAndWait();
        EXPECT_FALSE(timer->isStarted());
        EXPECT_FALSE(timer->isRunning());
    }
    EXPECT_GT(fired.load(), 0);
    TimerSchedule& schedule = timerSchedule();
    CRecursiveGuard guard(schedule.lock);
    EXPECT_TRUE(schedule.list.empty());
}
