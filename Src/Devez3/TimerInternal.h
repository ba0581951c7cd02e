// The records behind timers: the timer record, the ordered list of started
// timers, the schedule they share, the pooled worker thread and the manager
// thread.
//
// Lifetimes: the schedule (lock, list, idle pool, manager time) is built on
// first use and never destroyed, so a callback still running at process exit,
// or a timer destroyed by a later exit handler, always finds a valid lock.
// The manager thread and the idle workers are real threads and are stopped
// and destroyed at exit; after that the schedule is closed and hands nothing
// out.
#ifndef DOZUV2_DEVEZ3_TIMERINTERNAL_H
#define DOZUV2_DEVEZ3_TIMERINTERNAL_H

#include "Src/Base/NeverDestroyed.h"
#include "Src/Base/RecursiveLock.h"
#include "Src/Base/UnitStore.h"
#include "Src/Common/Report.h"
#include "virad/Mutex.h"
#include "virad/Semaphore.h"
#include "virad/Thread.h"
#include "virad/Timer.h"

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <map>
#include <new>

namespace Orvane {
namespace Virad {

class CTimerThread;
struct TimerInternal;

// Position in the list: due time first; among equal due times the newer
// insertion first, which the order number gives by counting down.
struct TimerKey {
    std::uint64_t due;
    std::uint64_t order;

    bool operator<(const TimerKey& other) const { return due != other.due ? due < other.due : order < other.order; }
};

// Where the list's tree nodes come from: units of one process-wide store per
// node size, carved in blocks. A program that starts thousands of timers then
// walks a tree whose nodes sit side by side rather than scattered among the
// timers' own records, which keeps each insertion's descent in the cache. The
// store is never destroyed: nodes may come back from exit handlers.
template <typename T> struct TimerNodeAllocator {
    using value_type = T;

    TimerNodeAllocator() = default;
    template <typename U> TimerNodeAllocator(const TimerNodeAllocator<U>&) {}

    static Base::UnitStore& store() {
        static Base::NeverDestroyed<Base::UnitStore> units(static_cast<unsigned int>(sizeof(T)), 256u);
        return units.get();
    }
    T* allocate(std::size_t n) {
        void* unit = n == 1 ? store().take() : ::operator new(n * sizeof(T), std::nothrow);
        VIRAD_ASSERT(unit);
        return static_cast<T*>(unit);
    }
    void deallocate(T* unit, std::size_t n) {
        if (n == 1) {
            store().give(unit);
        } else {
            ::operator delete(unit);
        }
    }
    template <typename U> bool operator==(const TimerNodeAllocator<U>&) const { return true; }
    template <typename U> bool operator!=(const TimerNodeAllocator<U>&) const { return false; }
};

// The started timers in hand-out order. A balanced tree keeps insertion and
// removal logarithmic with thousands of timers; each record keeps its own
// tree node while it is out of the list, so re-inserting a periodic timer
// allocates nothing. Call every method with the schedule's lock held.
class TimerList {
public:
    using Map = std::map<TimerKey, TimerInternal*, std::less<TimerKey>,
                         TimerNodeAllocator<std::pair<const TimerKey, TimerInternal*>>>;

    // Places the record by its next time, before timers already due then.
    void insert(TimerInternal* timer);
    // Takes the record out; it must be in the list.
    void unlink(TimerInternal* timer);
    // The first timer to fall due, or null.
    TimerInternal* head() const { return m_map.empty() ? nullptr : m_map.begin()->second; }
    bool empty() const { return m_map.empty(); }
    Map::const_iterator begin() const { return m_map.begin(); }
    Map::const_iterator end() const { return m_map.end(); }

private:
    Map m_map;
    std::uint64_t m_order = ~std::uint64_t{0};
};

// A timer's state. The schedule's lock guards the scheduling fields; the
// flags read without it are atomic.
struct TimerInternal {
    std::uint64_t runningTime = 0; // microseconds spent in callbacks, while statistics are on
    std::uint64_t nextTime = 0;    // manager time of the next firing, ms
    std::uint64_t callStart = 0;   // manager time of the last hand-out, ms
    unsigned int period = 0;       // ms; 0 for one-shot
    unsigned int timeout = 0;      // watchdog time-out of the worker during the callback, ms
    CTimer::Proc callback;
    unsigned long parameter = 0;
    char name[32] = {};
    std::atomic<bool> started{false};
    std::atomic<bool> called{false};
    std::atomic<CTimerThread*> thread{nullptr}; // the worker running the callback now
    std::atomic<bool> statistics{false};
    TimerList::Map::iterator position; // valid while started
    TimerList::Map::node_type spare;   // the tree node kept while not started

    void setName(const char* text);
    // The record of a timer.
    static TimerInternal* of(CTimer& timer) { return timer.m_internal; }
};

// Everything the timers share. One per process.
struct TimerSchedule {
    Base::RecursiveLock lock;
    CTimerThread* idlePool = nullptr; // most recently returned first
    std::uint64_t now;                // manager time, ms, sampled by the manager thread
    TimerList list;
    std::atomic<int> idleLimit{-1}; // effective from 1
    int idleCount = 0;
    int busyCount = 0;               // workers handed a callback that have not returned yet
    CTimerThread* retired = nullptr; // workers that returned after the manager was closed
    std::atomic<bool> closed{false}; // the manager has been shut down at exit

    TimerSchedule();

    // Hands the timer out to a worker (lock held). Re-schedules or retires it
    // first; false when the firing is dropped because the previous callback
    // still runs (or the manager is closed).
    bool handOut(TimerInternal* timer);
    // Puts a worker that finished its callback back in the pool (lock held on
    // entry, released inside) and ends the workers beyond the idle limit.
    // False when the worker should end instead (the manager is closed).
    bool returnToPool(CTimerThread* worker);
    // Stops, destroys and deletes every idle worker (lock held).
    void destroyIdleWorkers();
    // At exit, after the manager thread is gone: waits a bounded time for the
    // busy workers to return, then destroys every worker that has ended, so
    // no thread outlives its object unseen.
    void retireBusyWorkers();
};

// The process's schedule; never null, never destroyed. Inline, so that start
// and stop test the built-once guard in place rather than through a call.
inline TimerSchedule& timerSchedule() {
    static Base::NeverDestroyed<TimerSchedule> schedule;
    return schedule.get();
}

// A pooled worker: waits for a hand-out, runs the callback, returns to the pool.
class CTimerThread : public CThread {
public:
    explicit CTimerThread(TimerSchedule& schedule);
    ~CTimerThread() override;

    // Ends the thread and waits for it (the worker must be idle).
    void stopIdle();

    CTimer::Proc callback;
    unsigned long parameter = 0;
    CSemaphore wakeUp{0};
    CTimerThread* nextIdle = nullptr;
    TimerInternal* timer = nullptr;
    std::atomic<bool> exit{false};

private:
    void threadProc() override;

    TimerSchedule& m_schedule;
};

// The manager thread: samples the clock every 10 ms and hands out the due
// timers, one per cycle.
struct TimerManagerInternal : public CThread {
    explicit TimerManagerInternal(TimerSchedule& schedule);
    // Stops the thread, then the idle workers; busy workers are left alone.
    ~TimerManagerInternal() override;

private:
    void threadProc() override;

    TimerSchedule& m_schedule;
};

} // namespace Virad
} // namespace Orvane

#endif
