#include "virad/Timer.h"

#include "Devez3/TimerInternal.h"
#include "support/CapturePrinter.h"
#include "support/Eventually.h"
#include "virad/CTime.h"
#include "virad/ThreadManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
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

// Records each call (clock, parameter, worker's thread name); may stay inside for a while or until released.
struct Probe {
    struct Call {
        std::uint64_t time;
        unsigned long parameter;
        std::string thread;
    };
    void onTimer(unsigned long parameter) {
        flex_string name;
        CThreadManager::instance()->getThreadNameByID(CThread::getCurrentThreadID(), name);
        {
            std::lock_guard<std::mutex> lock(mutex);
            log.push_back({CTime::getCurrentMilliSecond(), parameter, name.c_str()});
        }
        inside.fetch_add(1);
        CThread::sleep(holdMs);
        while (held.load()) {
            CThread::sleep(1);
        }
        inside.fetch_sub(1);
        calls.fetch_add(1);
    }
    CTimer::Proc proc() { return CTimer::Proc(&Probe::onTimer, this); }
    std::vector<Call> snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return log;
    }

    std::atomic<int> calls{0}, inside{0};
    std::atomic<bool> held{false};
    int holdMs = 0;
    std::mutex mutex;
    std::vector<Call> log;
};

} // namespace

TEST(TimerTest, OneShotsFireOnceAndStopWithCallNowRunsThem) {
    Probe probe;
    CTimer timer("0123456789012345678901234567890123456789");
    EXPECT_EQ(std::string(timer.getName()), "0123456789012345678901234567890") << "cut to 31";
    timer.setName("OneShot");
    const std::uint64_t due = managerNow() + 100;
    ASSERT_TRUE(timer.start(probe.proc(), 100, 0, 77));
    EXPECT_TRUE(timer.isStarted() && !timer.isCalled());
    ASSERT_TRUE(eventually([&] { return probe.calls.load() == 1; }));
    const Probe::Call first = probe.snapshot()[0];
    EXPECT_GE(first.time, due + 1) << "handed out once the manager's clock passed the due time";
    EXPECT_EQ(first.thread, "OneShot") << "the worker carries the timer's name during the callback";
    EXPECT_TRUE(!timer.isStarted() && timer.isCalled());
    EXPECT_FALSE(timer.stop(true)) << "already handed out";
    CThread::sleep(150);
    EXPECT_EQ(probe.calls.load(), 1);

    // Delay 0 runs at once; a start while the callback runs is dropped.
    probe.held = true;
    ASSERT_TRUE(timer.start(probe.proc(), 0, 0, 1));
    EXPECT_TRUE(!timer.isStarted() && timer.isCalled() && timer.isRunning());
    ASSERT_TRUE(eventually([&] { return probe.inside.load() == 1; }));
    EXPECT_FALSE(timer.start(probe.proc(), 0, 0, 2));
    probe.held = false;
    ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));

    ASSERT_TRUE(timer.start(probe.proc(), 100000, 0, 5));
    EXPECT_FALSE(timer.isCalled()) << "a new start clears the flag";
    CTimer periodic("CallNowPeriodic");
    EXPECT_FALSE(periodic.stop(true)) << "never started";
    ASSERT_TRUE(periodic.start(probe.proc(), 100000, 100000, 6));
    EXPECT_TRUE(timer.stop(true) && periodic.stop(true));
    EXPECT_FALSE(periodic.isStarted() || periodic.stop(false));
    ASSERT_TRUE(eventually([&] { return probe.calls.load() == 3; }));
    CThread::sleep(50);
    std::vector<unsigned long> parameters;
    for (const auto& call : probe.snapshot()) {
        parameters.push_back(call.parameter);
    }
    EXPECT_EQ(parameters, (std::vector<unsigned long>{77, 1, 5})) << "call now runs only a one-shot";
}

TEST(TimerTest, PeriodicTimersKeepTheirGridAndDropFiringsWhileRunning) {
    for (const int hold : {0, 250}) {
        SCOPED_TRACE(hold);
        Probe probe;
        probe.holdMs = hold;
        const unsigned period = hold == 0 ? 40 : 100;
        CTimer timer("Periodic");
        const std::uint64_t base = managerNow() + 30;
        ASSERT_TRUE(timer.start(probe.proc(), 30, period));
        ASSERT_TRUE(eventually([&] { return probe.calls.load() >= 3; }));
        EXPECT_TRUE(timer.isStarted() && !timer.isCalled());
        EXPECT_TRUE(timer.stopAndWait());
        EXPECT_EQ((nextTimeOf(timer) - base) % period, 0u);
        const auto calls = probe.snapshot();
        for (std::size_t i = 1; i < calls.size(); ++i) { // never two at once, missed periods not made up
            EXPECT_GE(calls[i].time - calls[i - 1].time, hold == 0 ? 1u : 250u) << "firing " << i;
        }
        const int after = probe.calls.load();
        CThread::sleep(150);
        EXPECT_EQ(probe.calls.load(), after) << "stopped";
    }
}

TEST(TimerTest, StopAndWaitWaitsForTheCallbackExceptFromInsideIt) {
    Orvane::Testing::CapturePrinter capture(true, 4);
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
    EXPECT_EQ(probe.calls.load(), 1) << "the callback had returned";
    releaser.join();
    char expected[128];
    std::snprintf(expected, sizeof expected, "this:%p CTimer::Stop Timer:Waited wait callback exit!\n",
                  static_cast<void*>(&timer));
    const std::vector<std::string> waits = capture.linesContaining("wait callback exit!");
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_NE(waits[0].find(expected), std::string::npos) << waits[0];

    struct SelfStopper {
        CTimer timer{"SelfStop"};
        std::atomic<int> returned{0};
        void onTimer(unsigned long) { returned += timer.stopAndWait() ? 1 : 0; }
    } self;
    ASSERT_TRUE(self.timer.start(CTimer::Proc(&SelfStopper::onTimer, &self), 0, 20));
    ASSERT_TRUE(eventually([&] { return self.returned.load() == 1; }, 5000));
    EXPECT_FALSE(self.timer.isStarted());

    // Destruction waits for the callback; a callback may delete its own timer.
    probe.holdMs = 150;
    auto doomed = std::make_unique<CTimer>("Doomed");
    ASSERT_TRUE(doomed->start(probe.proc(), 0, 10));
    ASSERT_TRUE(eventually([&] { return probe.inside.load() == 1; }));
    doomed.reset();
    EXPECT_EQ(probe.inside.load(), 0);
    struct SelfDeleter {
        CTimer* timer = new CTimer("SelfDelete");
        std::atomic<bool> done{false};
        void onTimer(unsigned long) {
            delete timer;
            done = true;
        }
    } deleter;
    ASSERT_TRUE(deleter.timer->start(CTimer::Proc(&SelfDeleter::onTimer, &deleter), 0, 5));
    ASSERT_TRUE(eventually([&] { return deleter.done.load(); }));
    CThread::sleep(30); // the worker returns to the pool without touching the freed record
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

TEST(TimerTest, ManyThreadsStartAndStopTimersAtOnce) {
    Orvane::Testing::CapturePrinter capture(true, 4);
    static std::atomic<int> fired{0};
    const CTimer::Proc proc(+[](unsigned long) { fired.fetch_add(1); });
    CTimer shared[4] = {CTimer("Shared"), CTimer("Shared"), CTimer("Shared"), CTimer("Shared")};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            CTimer own("Own");
            for (int round = 0; round < 300; ++round) {
                CTimer& other = shared[(t + round) % 4];
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
    for (CTimer& timer : shared) {
        timer.stopAndWait();
        EXPECT_FALSE(timer.isStarted() || timer.isRunning());
    }
    EXPECT_GT(fired.load(), 0);
    CRecursiveGuard guard(timerSchedule().lock);
    EXPECT_TRUE(timerSchedule().list.empty());
}
