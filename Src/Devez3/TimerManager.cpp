// The timer manager: the ordered list of started timers, hand-out to pooled
// workers, the manager thread's cycle, the idle pool and the timer table.
#include "virad/Timer.h"

#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/ProcessWide.h"
#include "Src/Common/Report.h"
#include "Src/Devez3/TimerInternal.h"
#include "Src/Platform/Thread.h"
#include "virad/CTime.h"

#include <cinttypes>
#include <new>
#include <utility>

namespace Orvane {
namespace Virad {

namespace {

constexpr int kManagerPriority = 1;        // the highest: firings should not wait for busy threads
constexpr int kWorkerPriority = 64;        // normal
constexpr unsigned int kManagerSleep = 10; // ms between clock samples while nothing is due
constexpr int kManagerTimeout = 10000;     // ms of the manager thread's watchdog, renewed every cycle
constexpr const char kWorkerName[] = "[Pooled]";
constexpr int kExitWaitForBusy = 1000; // ms that process exit waits for running callbacks

} // namespace

// ---- The list ----

void TimerList::insert(TimerInternal* timer) {
    const TimerKey key{timer->nextTime, m_order--};
    if (timer->spare.empty()) {
        timer->position = m_map.emplace(key, timer).first;
    } else {
        timer->spare.key() = key;
        timer->position = m_map.insert(std::move(timer->spare)).position;
    }
}

void TimerList::unlink(TimerInternal* timer) {
    timer->spare = m_map.extract(timer->position);
}

// ---- The schedule ----

TimerSchedule::TimerSchedule() : now(CTime::getCurrentMilliSecond()) {}

bool TimerSchedule::handOut(TimerInternal* timer) {
    list.unlink(timer);
    if (timer->period != 0) {
        // Land on the first point of the period grid after now: missed
        // periods are skipped, not made up.
        while (timer->nextTime <= now) {
            timer->nextTime += std::uint64_t{timer->period} * ((now - timer->nextTime) / timer->period + 1);
        }
        list.insert(timer);
    } else {
        timer->started.store(false);
        timer->called.store(true);
    }
    if (timer->thread.load() != nullptr || closed) {
        return false;
    }
    timer->callStart = now;
    CTimerThread* worker = idlePool;
    if (worker != nullptr) {
        idlePool = worker->nextIdle;
        worker->nextIdle = nullptr;
        --idleCount;
    } else {
        worker = new (std::nothrow) CTimerThread(*this);
        VIRAD_ASSERT(worker);
        if (!worker->createThread()) {
            delete worker;
            return false;
        }
    }
    timer->thread.store(worker);
    ++busyCount;
    worker->setThreadName(timer->name);
    worker->setTimeout(static_cast<int>(timer->timeout));
    worker->callback = timer->callback;
    worker->parameter = timer->parameter;
    worker->timer = timer;
    worker->wakeUp.post();
    return true;
}

bool TimerSchedule::returnToPool(CTimerThread* worker) {
    if (closed) {
        // The manager is gone: nobody will hand this worker out again. It
        // ends its loop and the exit path destroys it (a thread cannot free
        // its own object).
        worker->nextIdle = retired;
        retired = worker;
        lock.unlock();
        return false;
    }
    worker->nextIdle = idlePool;
    idlePool = worker;
    ++idleCount;
    const int limit = idleLimit.load();
    CTimerThread* cut = nullptr;
    if (limit >= 1 && idleCount > limit) {
        // Keep the most recently returned workers; the caller is the first.
        CTimerThread* last = idlePool;
        for (int kept = 1; kept < limit; ++kept) {
            last = last->nextIdle;
        }
        cut = last->nextIdle;
        last->nextIdle = nullptr;
        idleCount = limit;
    }
    lock.unlock();
    while (cut != nullptr) {
        CTimerThread* next = cut->nextIdle;
        delete cut; // stops and waits for the thread
        cut = next;
    }
    return true;
}

void TimerSchedule::destroyIdleWorkers() {
    while (idlePool != nullptr) {
        CTimerThread* worker = idlePool;
        idlePool = worker->nextIdle;
        delete worker;
    }
    idleCount = 0;
}

void TimerSchedule::retireBusyWorkers() {
    for (int waited = 0; waited < kExitWaitForBusy; ++waited) {
        {
            std::lock_guard<Base::RecursiveLock> guard(lock);
            if (busyCount == 0) {
                break;
            }
        }
        CThread::sleep(1);
    }
    CTimerThread* ended;
    {
        std::lock_guard<Base::RecursiveLock> guard(lock);
        ended = retired;
        retired = nullptr;
    }
    while (ended != nullptr) {
        CTimerThread* next = ended->nextIdle;
        delete ended;
        ended = next;
    }
}

// ---- Pooled workers ----

CTimerThread::CTimerThread(TimerSchedule& schedule)
    : CThread(kWorkerName, kWorkerPriority, 0, 0), m_schedule(schedule) {}

CTimerThread::~CTimerThread() {
    // The body waits on the semaphore, a member: end it before the members go.
    exit.store(true);
    wakeUp.post();
    if (!isThreadOver()) {
        destroyThread();
    }
}

void CTimerThread::threadProc() {
    while (looping()) {
        if (wakeUp.pend() != 0) {
            continue;
        }
        if (exit.load()) {
            break;
        }
        const bool statistics = timer != nullptr && timer->statistics.load();
        const std::uint64_t begin = statistics ? CTime::getCurrentMicroSecond() : 0;
        callback(parameter);
        setTimeout(0);
        setThreadName(kWorkerName);
        m_schedule.lock.lock();
        --m_schedule.busyCount;
        if (timer != nullptr) {
            if (statistics) {
                timer->runningTime += CTime::getCurrentMicroSecond() - begin;
            }
            timer->thread.store(nullptr);
            timer = nullptr;
        }
        if (!m_schedule.returnToPool(this)) {
            break;
        }
    }
}

// ---- The manager thread ----

TimerManagerInternal::TimerManagerInternal(TimerSchedule& schedule)
    : CThread("TimerManager", kManagerPriority, 0, 0), m_schedule(schedule) {
    createThread();
}

TimerManagerInternal::~TimerManagerInternal() {
    if (!isThreadOver()) {
        destroyThread();
    }
    std::lock_guard<Base::RecursiveLock> guard(m_schedule.lock);
    m_schedule.destroyIdleWorkers();
}

namespace {

// Microseconds until the next clock sample (schedule lock held): the manager
// samples every 10 ms, and also as soon as its millisecond passes the first
// timer's due time, so a timer falls due when its time has come rather than
// at the next 10 ms tick.
std::uint64_t untilNextSample(const TimerSchedule& schedule) {
    constexpr std::uint64_t kCycle = std::uint64_t{kManagerSleep} * 1000;
    const TimerInternal* head = schedule.list.head();
    if (head == nullptr || head->nextTime >= schedule.now + kManagerSleep) {
        return kCycle;
    }
    // A timer is handed out once the manager's millisecond is past its due time.
    const std::uint64_t dueAt = (head->nextTime + 1) * 1000;
    const std::uint64_t now = CTime::getCurrentMicroSecond();
    return dueAt > now ? dueAt - now : 0;
}

} // namespace

void TimerManagerInternal::threadProc() {
    TimerSchedule& schedule = m_schedule;
    bool idle = true;
    std::uint64_t sleep = std::uint64_t{kManagerSleep} * 1000;
    while (looping()) {
        if (idle) {
            Platform::sleepMicroseconds(sleep);
        }
        schedule.lock.lock();
        if (idle) {
            const std::uint64_t before = schedule.now;
            schedule.now = CTime::getCurrentMilliSecond();
            setTimeout(kManagerTimeout, schedule.now);
            if (schedule.now == before) {
                sleep = untilNextSample(schedule);
                schedule.lock.unlock();
                continue;
            }
            if (schedule.now < before) {
                VIRAD_ASSERT(0);
            }
        }
        TimerInternal* head = schedule.list.head();
        if (head != nullptr && head->nextTime < schedule.now) {
            schedule.handOut(head);
        }
        // While timers are due, cycles follow without sleeping or sampling
        // the clock again: one hand-out per cycle.
        head = schedule.list.head();
        idle = !(head != nullptr && head->nextTime < schedule.now);
        if (idle) {
            sleep = untilNextSample(schedule);
        }
        schedule.lock.unlock();
    }
}

// ---- The manager's face and its life ----

namespace {

// The exit of the manager thread: close the schedule so that nothing is
// handed out any more, stop the manager thread, then the idle workers, then
// (after a bounded wait) the workers whose callbacks were still running. The
// face and the schedule stay for whatever still runs (a callback that overran
// the wait, a later exit handler).
struct ShutDownTimers {
    void operator()(TimerManagerInternal* thread) const {
        TimerSchedule& schedule = timerSchedule();
        {
            std::lock_guard<Base::RecursiveLock> guard(schedule.lock);
            schedule.closed = true;
        }
        delete thread;
        schedule.retireBusyWorkers();
    }
};

// Started with the face and retired at exit: a timer started after that is
// never handed out.
void startManagerThread() {
    Common::ProcessWide<TimerManagerInternal, Common::AtExit::retire, ShutDownTimers>::instance(
        [] { return new (std::nothrow) TimerManagerInternal(timerSchedule()); });
}

bool ignoreLine(const char*) {
    return true;
}

} // namespace

CTimerManager::CTimerManager() : m_internal(&timerSchedule()) {
    VIRAD_REPORT(LOG_TRACE, "this:%p CTimerManager::CTimerManager()>>>>>>>>>\n", static_cast<void*>(this));
    // Brings the print path up before the first timer can print from a worker.
    const TFunction1<bool, const char*> nothing(&ignoreLine);
    attachPrint(nothing);
    detachPrint(nothing);
    startManagerThread();
}

CTimerManager::~CTimerManager() = default;

// The face is never torn down: a timer made by a later exit handler still
// finds it.
CTimerManager* CTimerManager::instance() {
    return Common::ProcessWide<CTimerManager, Common::AtExit::never>::instance(
        [] { return new (std::nothrow) CTimerManager; });
}

bool CTimerManager::limitIdlePooled(int limit) {
    m_internal->idleLimit.store(limit);
    return true;
}

void CTimerManager::dumpTimers() {
    TimerSchedule& schedule = *m_internal;
    std::lock_guard<Base::RecursiveLock> guard(schedule.lock);
    VIRAD_REPORT(LOG_INFO, "Timers: ( %" PRIu64 " Milli-Seconds Elapsed )\n", schedule.now);
    VIRAD_REPORT(LOG_INFO, "            Name            NextTime RunningTime Period   Used/Timeout State\n");
    VIRAD_REPORT(LOG_INFO, "____________________________________________________________________________\n");
    for (const auto& entry : schedule.list) {
        const TimerInternal* timer = entry.second;
        const bool running = timer->thread.load() != nullptr;
        const int used = running ? static_cast<int>(schedule.now - timer->callStart) : 0;
        VIRAD_REPORT(LOG_INFO, "%24s %11" PRIu64 " %11" PRIu64 " %6lu %6d/%6lu %s\n", timer->name, timer->nextTime,
                     timer->runningTime / 1000, static_cast<unsigned long>(timer->period), used,
                     static_cast<unsigned long>(timer->timeout), running ? "Running" : "Idle");
    }
    VIRAD_REPORT(LOG_INFO, "\n");
}

} // namespace Virad
} // namespace Orvane
