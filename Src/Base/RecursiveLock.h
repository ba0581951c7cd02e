// The recursive lock behind CRecursiveMutex, whole in this header so that the
// library's own hot paths (the timer schedule) take it inline, without the
// exported call and the record it hides behind.
//
// The nesting is counted here rather than left to the lock underneath so the
// owner is known: a thread that already owns it passes without touching the
// lock at all. The lock underneath is therefore entered once per owner and
// need not be recursive itself; a plain one is the cheaper to take.
#ifndef DOZUV2_BASE_RECURSIVELOCK_H
#define DOZUV2_BASE_RECURSIVELOCK_H

#include "Src/Platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace Orvane {
namespace Base {

// Held for a scope with std::lock_guard<RecursiveLock>.
class RecursiveLock {
public:
    RecursiveLock() = default;
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() {
        const std::uint32_t self = Platform::currentThreadId();
        if (m_owner.load(std::memory_order_relaxed) == self) {
            ++m_count;
            return;
        }
        m_section.lock();
        m_owner.store(self, std::memory_order_relaxed);
        m_count = 1;
    }
    void unlock() {
        if (--m_count == 0) {
            m_owner.store(0, std::memory_order_relaxed);
            m_section.unlock();
        }
    }

private:
    std::mutex m_section;
    // Levels held by the owner; touched only by the owner.
    int m_count = 0;
    // The owner's thread id, 0 while free. Other threads read it without the
    // lock, which is safe: only the owner ever stores its own id, so a thread
    // can see its own id here only when it really is the owner.
    std::atomic<std::uint32_t> m_owner{0};
};

} // namespace Base
} // namespace Orvane

#endif
