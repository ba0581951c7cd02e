#include "virad/Timer.h"

#include "support/Readable.h"
#include "support/Testing.h"
#include "support/TimerProbe.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

TEST(TimerTest, OneShotsFireOnceAndStopWithCallNowRunsThem) {
    TimerProbe probe;
    CTimer timer("0123456789012345678901234567890123456789");
    EXPECT_EQ(std::string(timer.getName()), "0123456789012345678901234567890"); // cut to 31
    timer.setName("OneShot");
    const std::uint64_t due = managerNow() + 100;
    ASSERT_TRUE(timer.start(probe.proc(), 100, 0, 77));
    EXPECT_TRUE(timer.isStarted());
    EXPECT_FALSE(timer.isCalled());
    ASSERT_TRUE(eventuallyEquals([&] { return probe.calls.load(); }, 1));
    // Handed out once the manager's clock passed the due time.
    EXPECT_GE(probe.snapshot()[0].time, due + 1);
    EXPECT_FALSE(timer.isStarted());
    EXPECT_TRUE(timer.isCalled());
    EXPECT_FALSE(timer.stop(true)) << "already handed out";
    // The count rises inside the callback; a start before it has returned
    // would be dropped, which is checked below on purpose, not here.
    ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));

    // Delay 0 runs at once; a start while the callback runs is dropped.
    probe.held = true;
    ASSERT_TRUE(timer.start(probe.proc(), 0, 0, 1));
    EXPECT_FALSE(timer.isStarted());
    EXPECT_TRUE(timer.isCalled());
    EXPECT_TRUE(timer.isRunning());
    ASSERT_TRUE(eventuallyEquals([&] { return probe.inside.load(); }, 1));
    EXPECT_FALSE(timer.start(probe.proc(), 0, 0, 2));
    probe.held = false;
    ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));

    // Stop with call now runs only a one-shot; a new start clears the called flag.
    CTimer periodic("CallNowPeriodic");
    ASSERT_TRUE(timer.start(probe.proc(), 100000, 0, 5));
    EXPECT_FALSE(timer.isCalled());
    EXPECT_FALSE(periodic.stop(true)); // never started
    ASSERT_TRUE(periodic.start(probe.proc(), 100000, 100000, 6));
    EXPECT_TRUE(timer.stop(true));
    EXPECT_TRUE(periodic.stop(true));
    EXPECT_FALSE(periodic.isStarted());
    EXPECT_FALSE(periodic.stop(false));
    ASSERT_TRUE(eventuallyEquals([&] { return probe.calls.load(); }, 3));
    CThread::sleep(150); // nothing more may come
    Lines calls;         // parameter and the worker's name meanwhile
    for (const auto& call : probe.snapshot()) {
        calls.push_back(std::to_string(call.parameter) + " " + call.thread);
    }
    EXPECT_EQ(calls, (Lines{"77 OneShot", "1 OneShot", "5 OneShot"}));
}

TEST(TimerTest, PeriodicTimersKeepTheirGridAndDropFiringsWhileRunning) {
    for (const int hold : {0, 250}) {
        SCOPED_TRACE(hold);
        TimerProbe probe;
        probe.holdMs = hold;
        const unsigned period = hold == 0 ? 40 : 100;
        CTimer timer("Periodic");
        const std::uint64_t base = managerNow() + 30;
        ASSERT_TRUE(timer.start(probe.proc(), 30, period));
        ASSERT_TRUE(eventually([&] { return probe.calls.load() >= 3; })) << probe.calls.load() << " calls";
        EXPECT_TRUE(timer.isStarted());
        EXPECT_FALSE(timer.isCalled());
        EXPECT_TRUE(timer.stopAndWait());
        EXPECT_EQ((TimerInternal::of(timer)->nextTime - base) % period, 0u);
        const auto calls = probe.snapshot();
        for (std::size_t i = 1; i < calls.size(); ++i) { // never two at once, missed periods not made up
            EXPECT_GE(calls[i].time - calls[i - 1].time, hold == 0 ? 1u : 250u) << "firing " << i;
        }
        const int after = probe.calls.load();
        CThread::sleep(150);
        EXPECT_EQ(probe.calls.load(), after); // stopped
    }
}

TEST(TimerTest, StopAndWaitAndDestructionWaitForTheCallbackExceptFromInsideIt) {
    // Destruction stops and waits for the running callback, saying so once; it still runs when the wait starts.
    TimerProbe probe;
    probe.holdMs = 1000; // long enough that a stalled test thread still finds it running
    auto timer = std::make_unique<CTimer>("Waited");
    ASSERT_TRUE(timer->start(probe.proc(), 0, 10));
    ASSERT_TRUE(eventuallyEquals([&] { return probe.inside.load(); }, 1));
    const std::string waited = "this:" + address(timer.get()) + " CTimer::Stop Timer:Waited wait callback exit!\n";
    EXPECT_EQ(reported([&] { timer.reset(); }, 4), Lines{waited});
    EXPECT_EQ(probe.inside.load(), 0);

    struct SelfStopper {
        CTimer timer{"SelfStop"};
        std::atomic<int> returned{0};
        void onTimer(unsigned long) { returned += timer.stopAndWait() ? 1 : 0; }
    } self;
    ASSERT_TRUE(self.timer.start(CTimer::Proc(&SelfStopper::onTimer, &self), 0, 20));
    ASSERT_TRUE(eventuallyEquals([&] { return self.returned.load(); }, 1, 5000));
    EXPECT_FALSE(self.timer.isStarted());

    // A callback may delete its own timer.
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

TEST(TimerTest, StatisticsCountOnlyWhenEnabledAfterStartAndRestartsRelist) {
    TimerProbe probe;
    probe.holdMs = 30;
    CTimer timer("Stat");
    TimerInternal* record = TimerInternal::of(timer);
    timer.enableStat(true); // cleared by start
    ASSERT_TRUE(timer.start(probe.proc(), 10, 20));
    ASSERT_TRUE(eventually([&] { return probe.calls.load() >= 2; })) << probe.calls.load() << " calls";
    timer.stopAndWait();
    EXPECT_EQ(record->runningTime, 0u);
    ASSERT_TRUE(timer.start(probe.proc(), 10, 20));
    timer.enableStat(true);
    const int before = probe.calls.load();
    ASSERT_TRUE(eventually([&] { return probe.calls.load() >= before + 3; })) << probe.calls.load() << " calls";
    timer.stopAndWait();
    EXPECT_GE(record->runningTime, 30000u * static_cast<unsigned>(probe.calls.load() - before)); // 30 ms each

    // A started timer started again, or re-timed, is listed once; a new period moves the due time by the change.
    std::lock_guard<Orvane::Base::RecursiveLock> guard(timerSchedule().lock); // keeps the manager's time still
    const std::uint64_t now = timerSchedule().now;
    ASSERT_TRUE(timer.start(probe.proc(), 500000, 0));
    ASSERT_TRUE(timer.start(probe.proc(), 600000, 7));
    timer.setPeriodTime(9);
    const auto& list = timerSchedule().list;
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [&](const auto& entry) { return entry.second == record; }), 1);
    EXPECT_EQ(record->nextTime, now + 600002);
    // A stopped timer leaves the list and is re-timed all the same.
    ASSERT_TRUE(timer.stop(false));
    ASSERT_TRUE(list.empty());
    timer.setPeriodTime(11);
    EXPECT_EQ(record->nextTime, now + 600004);
}
