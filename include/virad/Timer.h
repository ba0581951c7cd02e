/// \file
/// Timers: a callback run once after a delay, or periodically.
///
/// Every timer of the process is held by one timer manager. Its thread,
/// "TimerManager", samples the monotonic millisecond clock
/// (CTime::getCurrentMilliSecond) every 10 ms and hands each due timer to a
/// pooled worker thread, "[Pooled]", which calls the callback with no lock
/// held. A timer fires at the first manager cycle that sees the clock at least
/// 1 ms past its due time, so firings are late by up to about 10 ms.
///
/// Periodic timers stay on the grid start + delay + k * period. A firing that
/// finds the previous callback of the same timer still running is dropped, not
/// postponed: one timer never runs two callbacks at once, while different
/// timers run concurrently on different workers. Timers due at the same
/// millisecond are handed out newest first.
///
/// Thread-safety: any thread may call any method, callbacks included; a
/// callback may start, stop or re-time any timer, its own too. getName,
/// setName, isStarted, isCalled, isRunning, enableStat and limitIdlePooled do
/// not take the manager's lock, so their answers are snapshots; setName must
/// not race with a firing of the same timer.
///
/// Lifetime: destroying a CTimer stops it and waits for a running callback to
/// return (unless it is destroyed from inside that callback). The manager lives
/// from the first CTimer (or CTimerManager::instance()) to process exit, where
/// its thread and idle workers are stopped; timers still started then never
/// fire again.
#ifndef DOZUV2_VIRAD_TIMER_H
#define DOZUV2_VIRAD_TIMER_H

#include "virad/Export.h"
#include "virad/Function.h"

namespace Orvane {
namespace Virad {
/// \addtogroup timers
/// @{

/// A one-shot or periodic timer, described above.
class DOZUV2_API CTimer {
public:
    /// The callback; it receives the parameter given to start.
    using Proc = TFunction1<void, unsigned long>;

    /// name: at most 31 characters are kept. Creates the timer manager on first use.
    explicit CTimer(const char* name);
    /// Stops the timer and waits for its running callback, if any.
    virtual ~CTimer();
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    /// (Re)starts the timer: due delay ms from the manager's last clock sample,
    /// then every period ms (0: once). The worker carries timeout ms as its
    /// watchdog time-out while the callback runs (0: none). Statistics are
    /// switched off. With delay 0 the callback is handed out at once, and the
    /// result is false when the previous callback is still running (that
    /// firing is dropped); otherwise true.
    bool start(Proc callback, unsigned int delay, unsigned int period = 0, unsigned long parameter = 0,
               unsigned int timeout = 0);
    /// Stops the timer; a running callback is not affected. With callNow a
    /// one-shot timer is handed out at once instead (the result is then that
    /// of the hand-out); periodic timers ignore callNow. False if not started.
    bool stop(bool callNow = false);
    /// stop(), then waits until a running callback has returned, except when
    /// called from that callback. Always true.
    bool stopAndWait();
    /// Changes the period; the next due time moves by the difference.
    void setPeriodTime(unsigned int period);

    /// In the manager's list (waiting to fire).
    bool isStarted();
    /// A one-shot timer has been handed out since its last start.
    bool isCalled();
    /// A worker is running (or about to run) the callback.
    bool isRunning();
    /// The timer's name as last set.
    const char* getName();
    /// Keeps at most 31 characters.
    void setName(const char* name);
    /// Accumulates the time spent in the callback (see CTimerManager::dumpTimers).
    /// start switches it off again, so enable it after start.
    void enableStat(bool enable);

private:
    friend struct TimerInternal;
    struct TimerInternal* m_internal;
};

/// The process-wide manager that runs every timer.
class DOZUV2_API CTimerManager {
public:
    /// The process-wide manager, created (with its thread) on first call.
    static CTimerManager* instance();

    /// Caps the number of idle workers kept for reuse (values below 1: no
    /// cap). Applied when a worker next returns to the pool. Always true.
    bool limitIdlePooled(int limit);
    /// Prints the started timers in due order at level 4 (info).
    void dumpTimers();

private:
    CTimerManager();
    ~CTimerManager();
    CTimerManager(const CTimerManager&) = delete;
    CTimerManager& operator=(const CTimerManager&) = delete;

    struct TimerSchedule* m_internal;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
