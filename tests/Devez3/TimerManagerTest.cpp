#include "virad/Timer.h"

#include "support/Readable.h"
#include "support/Testing.h"
#include "support/TimerProbe.h"

#include <list>

using namespace Orvane::Virad;
using namespace Orvane::Testing;

// Running threads of that name and priority whose time-out has not passed.
static int threads(const char* name, unsigned priority) {
    std::list<CThreadManager::ThreadInfo> infos;
    CThreadManager::instance()->getThreadsInfo(infos);
    return static_cast<int>(std::count_if(infos.begin(), infos.end(), [&](const CThreadManager::ThreadInfo& info) {
        return std::string(info.name) == name && info.priority == priority && info.timeout == 0;
    }));
}

static std::string timerRow(const char* name, unsigned long long next, unsigned long period, int used,
                            unsigned long timeout, const char* state) {
    char text[160];
    std::snprintf(text, sizeof text, "%24s %11llu %11d %6lu %6d/%6lu %s\n", name, next, 0, period, used, timeout,
                  state);
    return text;
}

TEST(TimerManagerTest, DumpListsStartedTimersNewestFirstAmongTies) {
    TimerProbe probe;
    probe.held = true;
    CTimer first("TieFirst"), second("TieSecond"), earlier("Earlier"), busy("Busy"), fired("FiredOneShot");
    ASSERT_TRUE(fired.start(probe.proc(), 0));
    ASSERT_TRUE(busy.start(probe.proc(), 0, 500000, 0, 3000)); // stays listed while its callback runs
    ASSERT_TRUE(eventuallyEquals([&] { return probe.inside.load(); }, 2));
    {
        std::lock_guard<Orvane::Base::RecursiveLock> guard(timerSchedule().lock); // keeps the manager's time still
        first.start(probe.proc(), 40000, 0, 0, 100);
        second.start(probe.proc(), 40000, 250, 0, 0);
        earlier.start(probe.proc(), 30000);
        busy.enableStat(true);
        const std::uint64_t now = timerSchedule().now;
        const TimerInternal* running = TimerInternal::of(busy);
        EXPECT_EQ(reported([] { CTimerManager::instance()->dumpTimers(); }, 4),
                  (Lines{"Timers: ( " + std::to_string(now) + " Milli-Seconds Elapsed )\n",
                         "            Name            NextTime RunningTime Period   Used/Timeout State\n",
                         std::string(76, '_') + "\n", timerRow("Earlier", now + 30000, 0, 0, 0, "Idle"),
                         timerRow("TieSecond", now + 40000, 250, 0, 0, "Idle"),
                         timerRow("TieFirst", now + 40000, 0, 0, 100, "Idle"),
                         timerRow("Busy", running->nextTime, 500000, static_cast<int>(now - running->callStart), 3000,
                                  "Running"),
                         "\n"}));
    }
    probe.held = false;
}

TEST(TimerManagerTest, IdleLimitTrimsThePoolAndTheManagerRunsAtTheHighestPriority) {
    TimerProbe probe;
    probe.held = true;
    CTimer timers[5] = {CTimer("Pool"), CTimer("Pool"), CTimer("Pool"), CTimer("Pool"), CTimer("Pool")};
    for (CTimer& timer : timers) {
        ASSERT_TRUE(timer.start(probe.proc(), 0));
    }
    ASSERT_TRUE(eventuallyEquals([&] { return probe.inside.load(); }, 5));
    EXPECT_TRUE(CTimerManager::instance()->limitIdlePooled(2));
    probe.held = false; // the five callbacks finish together; the other three threads end
    ASSERT_TRUE(eventuallyEquals([&] { return std::make_pair(probe.calls.load(), threads("[Pooled]", 64)); },
                                 std::make_pair(5, 2)));
    CTimerManager::instance()->limitIdlePooled(-1);
    // One manager thread at priority 1 whose time-out never passes; due timers may be handed out before the
    // manager's own thread has first run and registered.
    EXPECT_TRUE(eventuallyEquals([] { return threads("TimerManager", 1); }, 1));
    flex_string late;
    EXPECT_FALSE(CThreadManager::instance()->getTimeOutThreads(late)) << late.c_str();
}

static std::atomic<bool> g_managerShutDown{false};

TEST(TimerManagerDeathTest, ProcessExitStopsTheManagerWithTimersStarted) {
    expectInFreshProcess([] {
        // Registered before the manager exists, so it runs after its shutdown: a stray firing would show up then.
        std::atexit(+[] {
            g_managerShutDown = true;
            CThread::sleep(100);
        });
        const CTimer::Proc mustNotFire(+[](unsigned long) { g_managerShutDown.load() ? std::_Exit(3) : void(); });
        static CTimer periodic("AtExitPeriodic");
        periodic.start(mustNotFire, 1, 1);
        static CTimer* const leaked = new CTimer("AtExitLeaked"); // never destroyed, still reachable
        leaked->start(mustNotFire, 2, 1);
        CThread::sleep(50);
    });
}
