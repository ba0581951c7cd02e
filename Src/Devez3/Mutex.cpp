// The plain mutex, on the platform's critical section, and the recursive
// one, on std::mutex with its own owner and depth.
#include "virad/Mutex.h"

#include "Common/Report.h"
#include "Platform/Sync.h"
#include "Platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

namespace Orvane {
namespace Virad {

// ---- CMutex ----

struct CMutex::MutexInternal {
    Platform::CriticalSection m_section;
};

CMutex::CMutex() : m_internal(new (std::nothrow) MutexInternal) {
    VIRAD_ASSERT(m_internal);
}

CMutex::~CMutex() {
    delete m_internal;
}

bool CMutex::enter() {
    m_internal->m_section.enter();
    return true;
}

bool CMutex::tryEnter() {
    return m_internal->m_section.tryEnter();
}

bool CMutex::leave() {
    m_internal->m_section.leave();
    return true;
}

// ---- CRecursiveMutex ----

// The nesting is counted here rather than left to the critical section so the
// owner is known: a thread that already owns the mutex passes without touching
// the lock at all. The lock underneath is therefore entered once per owner
// and need not be recursive itself; a plain one is the cheaper to take.
struct CRecursiveMutex::RecursiveMutexInternal {
    std::mutex m_section;
    // Levels held by the owner; touched only by the owner.
    int m_count = 0;
    // The owner's thread id, 0 while free. Other threads read it without the
    // lock, which is safe: only the owner ever stores its own id, so a thread
    // can see its own id here only when it really is the owner.
    std::atomic<std::uint32_t> m_owner{0};
};

CRecursiveMutex::CRecursiveMutex() : m_internal(new (std::nothrow) RecursiveMutexInternal) {
    VIRAD_ASSERT(m_internal);
}

CRecursiveMutex::~CRecursiveMutex() {
    delete m_internal;
}

bool CRecursiveMutex::enter() {
    const std::uint32_t self = Platform::currentThreadId();
    if (m_internal->m_owner.load(std::memory_order_relaxed) == self) {
        ++m_internal->m_count;
        return true;
    }
    m_internal->m_section.lock();
    m_internal->m_owner.store(self, std::memory_order_relaxed);
    m_internal->m_count = 1;
    return true;
}

bool CRecursiveMutex::leave() {
    if (--m_internal->m_count == 0) {
        m_internal->m_owner.store(0, std::memory_order_relaxed);
        m_internal->m_section.unlock();
    }
    return true;
}

} // namespace Virad
} // namespace Orvane
