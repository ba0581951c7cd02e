#include "virad/Timer.h"

#include "Devez3/TimerInternal.h"
#include "support/CapturePrinter.h"
#include "support/Eventually.h"
#include "virad/CTime.h"
#include "virad/ThreadManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Virad;
using Orvane::Testing::CapturePrinter;
using Orvane::Testing::eventually;

namespace {

// Running threads of that name and priority whose time-out has not passed.
int threads(const char* name, unsigned priority) {
    std::list<CThreadManager::ThreadInfo> infos;
    CThreadManager::instance()->getThreadsInfo(infos);
    return static_cast<int>(std::count_if(infos.begin(), infos.end(), [&](const CThreadManager::ThreadInfo& info) {
        return std::string(info.name) == name && info.priority == priority && info.timeout == 0;
    }));
}

std::string timerRow(const char* name, unsigned long long next, unsigned long long runningMs, unsigned long period,
                     int used, unsigned long timeout, const char* state) {
    char text[160];
    std::snprintf(text, sizeof text, "%24s %11llu %11llu %6lu %6d/%6lu %s\n", name, next, runningMs, period, used,
                  timeout, state);
    return text;
}

struct Gate {
    void onTimer(unsigned long) {
        inside.fetch_add(1);
        while (closed.load()) {
            CThread::sleep(1);
        }
        inside.fetch_sub(1);
        done.fetch_add(1);
    }
    CTimer::Proc proc() { return CTimer::Proc(&Gate::onTimer, this); }
    std::atomic<bool> closed{true};
    std::atomic<int> inside{0}, done{0};
};

} // namespace

// Checked against a plain walk (insert before the first timer due at the same time or later),
// under random inserts, removals and re-inserts with many ties.
TEST(TimerManagerTest, ListOrderFollowsTheInsertionRuleExactly) {
    constexpr int kTimers = 200;
    std::vector<TimerInternal> records(kTimers);
    TimerList list;
    std::list<TimerInternal*> reference;
    std::vector<bool> listed(kTimers, false);
    std::mt19937 random(12345);
    for (int step = 0; step < 5000; ++step) {
        const int i = static_cast<int>(random() % kTimers);
        TimerInternal* record = &records[i];
        if (listed[i]) {
            list.unlink(record);
            reference.remove(record);
            listed[i] = false;
            if (random() % 2 == 0) {
                continue;
            }
        }
        record->nextTime = random() % 16; // plenty of equal due times
        list.insert(record);
        auto at = reference.begin();
        while (at != reference.end() && (*at)->nextTime < record->nextTime) {
            ++at;
        }
        reference.insert(at, record);
        listed[i] = true;
    }
    std::vector<TimerInternal*> actual;
    for (const auto& entry : list) {
        actual.push_back(entry.second);
    }
    ASSERT_EQ(actual, std::vector<TimerInternal*>(reference.begin(), reference.end()));
    EXPECT_EQ(list.head(), reference.front());
}

TEST(TimerManagerTest, DumpListsStartedTimersNewestFirstAmongTies) {
    CapturePrinter capture(true, 4);
    Gate gate;
    CTimer first("TieFirst"), second("TieSecond"), earlier("Earlier"), busy("Busy"), fired("FiredOneShot");
    ASSERT_TRUE(fired.start(gate.proc(), 0));
    ASSERT_TRUE(eventually([&] { return gate.inside.load() == 1; }));
    ASSERT_TRUE(busy.start(gate.proc(), 0, 500000, 0, 3000)); // stays listed while its callback runs
    ASSERT_TRUE(eventually([&] { return gate.inside.load() == 2; }));

    TimerSchedule& schedule = timerSchedule();
    std::vector<std::string> expected;
    {
        CRecursiveGuard guard(schedule.lock); // keeps the manager's time still
        first.start(gate.proc(), 40000, 0, 0, 100);
        second.start(gate.proc(), 40000, 250, 0, 0);
        earlier.start(gate.proc(), 30000);
        busy.enableStat(true);
        const std::uint64_t now = schedule.now;
        TimerInternal* busyRecord = TimerInternal::of(busy);
        CTimerManager::instance()->dumpTimers();
        char header[80];
        std::snprintf(header, sizeof header, "Timers: ( %llu Milli-Seconds Elapsed )\n",
                      static_cast<unsigned long long>(now));
        expected = {
            header,
            "            Name            NextTime RunningTime Period   Used/Timeout State\n",
            std::string(76, '_') + "\n",
            timerRow("Earlier", now + 30000, 0, 0, 0, 0, "Idle"),
            timerRow("TieSecond", now + 40000, 0, 250, 0, 0, "Idle"),
            timerRow("TieFirst", now + 40000, 0, 0, 0, 100, "Idle"),
            timerRow("Busy", busyRecord->nextTime, 0, 500000, static_cast<int>(now - busyRecord->callStart), 3000,
                     "Running"),
            "\n",
        };
    }
    EXPECT_EQ(capture.bodies(), expected);
    gate.closed = false;
    busy.stopAndWait();
    fired.stopAndWait();
}

TEST(TimerManagerTest, IdleLimitTrimsThePoolAndTheManagerRunsAtTheHighestPriority) {
    CTimerManager* manager = CTimerManager::instance();
    Gate gate;
    CTimer timers[5] = {CTimer("Pool"), CTimer("Pool"), CTimer("Pool"), CTimer("Pool"), CTimer("Pool")};
    for (CTimer& timer : timers) {
        ASSERT_TRUE(timer.start(gate.proc(), 0));
    }
    ASSERT_TRUE(eventually([&] { return gate.inside.load() == 5; }));
    EXPECT_TRUE(manager->limitIdlePooled(2));
    gate.closed = false; // the five callbacks finish together
    for (CTimer& timer : timers) {
        ASSERT_TRUE(eventually([&] { return !timer.isRunning(); }));
    }
    auto idle = [] {
        CRecursiveGuard guard(timerSchedule().lock);
        return timerSchedule().idleCount;
    };
    ASSERT_TRUE(eventually([&] { return idle() == 2; }));
    EXPECT_TRUE(eventually([] { return threads("[Pooled]", 64) == 2; })) << "the other three threads end";
    manager->limitIdlePooled(-1);
    EXPECT_EQ(threads("TimerManager", 1), 1) << "one manager thread at priority 1 whose time-out never passes";
    flex_string late;
    EXPECT_FALSE(CThreadManager::instance()->getTimeOutThreads(late)) << late.c_str();
}

namespace {

std::atomic<bool> g_managerShutDown{false};

void afterShutdown() { // runs after the manager's exit handler: a stray firing may show up
    g_managerShutDown = true;
    CThread::sleep(100);
}

void mustNotFireAfterShutdown(unsigned long) {
    if (g_managerShutDown.load()) {
        std::_Exit(3);
    }
}

void exitWithTimersStarted() {
    std::atexit(afterShutdown); // registered before the manager exists, so it runs after its shutdown
    static CTimer periodic("AtExitPeriodic");
    periodic.start(CTimer::Proc(&mustNotFireAfterShutdown), 1, 1);
    CTimer* leaked = new CTimer("AtExitLeaked");
    leaked->start(CTimer::Proc(&mustNotFireAfterShutdown), 2, 1);
    CThread::sleep(50);
    std::exit(0);
}

} // namespace

TEST(TimerManagerDeathTest, ProcessExitStopsTheManagerWithTimersStarted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWithTimersStarted(), testing::ExitedWithCode(0), "");
}
