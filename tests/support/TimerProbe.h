// Test helper: a timer callback that records each call (manager clock,
// parameter, the worker thread's name), may stay inside for a while or until
// released, and counts the callbacks inside and done.
#ifndef DOZUV2_TESTS_SUPPORT_TIMERPROBE_H
#define DOZUV2_TESTS_SUPPORT_TIMERPROBE_H

#include "Src/Devez3/TimerInternal.h"
#include "virad/CTime.h"
#include "virad/ThreadManager.h"
#include "virad/Timer.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace Orvane {
namespace Testing {

struct TimerProbe {
    struct Call {
        std::uint64_t time;
        unsigned long parameter;
        std::string thread;
    };
    void onTimer(unsigned long parameter) {
        Virad::flex_string name;
        Virad::CThreadManager::instance()->getThreadNameByID(Virad::CThread::getCurrentThreadID(), name);
        {
            std::lock_guard<std::mutex> lock(mutex);
            log.push_back({Virad::CTime::getCurrentMilliSecond(), parameter, name.c_str()});
        }
        inside.fetch_add(1);
        Virad::CThread::sleep(holdMs);
        while (held.load()) {
            Virad::CThread::sleep(1);
        }
        inside.fetch_sub(1);
        calls.fetch_add(1);
    }
    Virad::CTimer::Proc proc() { return Virad::CTimer::Proc(&TimerProbe::onTimer, this); }
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

// The manager's clock, read under its lock.
inline std::uint64_t managerNow() {
    std::lock_guard<Base::RecursiveLock> guard(Virad::timerSchedule().lock);
    return Virad::timerSchedule().now;
}

} // namespace Testing
} // namespace Orvane

#endif
