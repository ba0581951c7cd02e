// Timers: starting, stopping and re-timing a timer in the manager's list.
#include "virad/Timer.h"

#include "Src/Common/Report.h"
#include "Src/Devez3/TimerInternal.h"

#include <cstring>
#include <new>

namespace Orvane {
namespace Virad {

namespace {

constexpr unsigned int kStopWaitSlice = 10;   // ms between looks at a running callback
constexpr unsigned int kStopWaitReport = 500; // waits between two reports of a long wait

} // namespace

void TimerInternal::setName(const char* text) {
    std::strncpy(name, text != nullptr ? text : "", sizeof name - 1);
    name[sizeof name - 1] = '\0';
}

CTimer::CTimer(const char* name) : m_internal(new (std::nothrow) TimerInternal) {
    VIRAD_ASSERT(m_internal);
    m_internal->setName(name);
    if (CTimerManager::instance() == nullptr) {
        VIRAD_REPORT(LOG_FATAL, "CTimerManager::instance() is null\n");
        VIRAD_ASSERT(0);
    }
}

CTimer::~CTimer() {
    // The schedule outlives every timer, also those destroyed after the
    // manager was shut down at exit, so the record always leaves the list.
    stopAndWait();
    TimerSchedule& schedule = timerSchedule();
    std::lock_guard<Base::RecursiveLock> guard(schedule.lock);
    TimerInternal* self = m_internal;
    if (self->started.load()) {
        // A callback of another timer restarted it while we waited.
        schedule.list.unlink(self);
        self->started.store(false);
    }
    if (CTimerThread* worker = self->thread.load()) {
        // Destroyed from inside its own callback: the worker must not touch
        // the record when the callback returns.
        worker->timer = nullptr;
        self->thread.store(nullptr);
    }
    delete self;
    m_internal = nullptr;
}

bool CTimer::start(Proc callback, unsigned int delay, unsigned int period, unsigned long parameter,
                   unsigned int timeout) {
    TimerSchedule& schedule = timerSchedule();
    std::lock_guard<Base::RecursiveLock> guard(schedule.lock);
    TimerInternal* self = m_internal;
    self->callback = callback;
    self->nextTime = schedule.now + delay;
    self->period = period;
    self->timeout = timeout;
    self->parameter = parameter;
    // start and stop change these flags under the schedule's lock, and the
    // readers that take no lock (isStarted, isCalled, the manager's
    // statistics check) only need to see the value, so release stores do,
    // without the full fence a sequentially consistent store costs on every
    // start and stop.
    self->called.store(false, std::memory_order_release);
    self->statistics.store(false, std::memory_order_release);
    if (self->started.load(std::memory_order_relaxed)) {
        schedule.list.unlink(self);
    }
    schedule.list.insert(self);
    self->started.store(true, std::memory_order_release);
    if (delay != 0) {
        return true;
    }
    return schedule.handOut(self);
}

bool CTimer::stop(bool callNow) {
    TimerSchedule& schedule = timerSchedule();
    std::lock_guard<Base::RecursiveLock> guard(schedule.lock);
    TimerInternal* self = m_internal;
    if (!self->started.load(std::memory_order_relaxed)) {
        return false;
    }
    if (self->period == 0 && callNow) {
        // The hand-out takes it out of the list and clears started itself.
        return schedule.handOut(self);
    }
    schedule.list.unlink(self);
    self->started.store(false, std::memory_order_release);
    return true;
}

bool CTimer::stopAndWait() {
    stop(false);
    TimerSchedule& schedule = timerSchedule();
    TimerInternal* self = m_internal;
    std::lock_guard<Base::RecursiveLock> guard(schedule.lock);
    const int caller = CThread::getCurrentThreadID();
    unsigned int waits = 0;
    for (;;) {
        CTimerThread* worker = self->thread.load();
        if (worker == nullptr || worker->getThreadID() == caller) {
            break;
        }
        if (waits % kStopWaitReport == 0) {
            VIRAD_REPORT(LOG_INFO, "this:%p CTimer::Stop Timer:%s wait callback exit!\n", static_cast<void*>(this),
                         self->name);
        }
        ++waits;
        schedule.lock.unlock();
        CThread::sleep(kStopWaitSlice);
        schedule.lock.lock();
    }
    return true;
}

void CTimer::setPeriodTime(unsigned int period) {
    TimerSchedule& schedule = timerSchedule();
    std::lock_guard<Base::RecursiveLock> guard(schedule.lock);
    TimerInternal* self = m_internal;
    const bool started = self->started.load();
    if (started) {
        schedule.list.unlink(self);
    }
    self->nextTime = self->nextTime - self->period + period;
    self->period = period;
    if (started) {
        schedule.list.insert(self);
    }
}

bool CTimer::isStarted() {
    return m_internal->started.load();
}

bool CTimer::isCalled() {
    return m_internal->called.load();
}

bool CTimer::isRunning() {
    return m_internal->thread.load() != nullptr;
}

const char* CTimer::getName() {
    return m_internal->name;
}

void CTimer::setName(const char* name) {
    m_internal->setName(name);
}

void CTimer::enableStat(bool enable) {
    m_internal->statistics.store(enable);
}

} // namespace Virad
} // namespace Orvane
