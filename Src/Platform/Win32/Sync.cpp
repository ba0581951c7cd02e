// Windows realisation of the platform's synchronisation objects: critical
// sections, kernel semaphores, kernel events and kernel mutexes.
#include "Src/Platform/Sync.h"

#include <windows.h>

namespace Orvane {
namespace Platform {

static_assert(sizeof(CRITICAL_SECTION) <= 48, "critical section storage too small");

namespace {

// Milliseconds as a kernel wait takes them: the all-ones value would mean
// "without limit", which a finite request must never become.
DWORD waitSpan(unsigned int milliseconds) {
    return milliseconds >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(milliseconds);
}

} // namespace

// ---- CriticalSection ----

CriticalSection::CriticalSection() {
    InitializeCriticalSection(m_native.as<CRITICAL_SECTION>());
}
CriticalSection::~CriticalSection() {
    DeleteCriticalSection(m_native.as<CRITICAL_SECTION>());
}
void CriticalSection::enter() {
    EnterCriticalSection(m_native.as<CRITICAL_SECTION>());
}
bool CriticalSection::tryEnter() {
    return TryEnterCriticalSection(m_native.as<CRITICAL_SECTION>()) != 0;
}
void CriticalSection::leave() {
    LeaveCriticalSection(m_native.as<CRITICAL_SECTION>());
}

// ---- KernelSemaphore ----
//
// The kernel object keeps the maximum itself: ReleaseSemaphore fails and
// changes nothing when the count would pass it, so the post lock of hosts
// without such a bound is not needed here.

KernelSemaphore::KernelSemaphore(long initial, long maximum) : m_maximum(maximum), m_valid(false) {
    *m_sem.as<HANDLE>() = nullptr;
    if (maximum < 1 || maximum > kMaximum || initial < 0 || initial > maximum) {
        return;
    }
    HANDLE handle = CreateSemaphoreA(nullptr, initial, maximum, nullptr);
    if (handle == nullptr) {
        return;
    }
    *m_sem.as<HANDLE>() = handle;
    m_valid = true;
}

KernelSemaphore::~KernelSemaphore() {
    if (m_valid) {
        CloseHandle(*m_sem.as<HANDLE>());
    }
}

bool KernelSemaphore::wait() {
    return m_valid && WaitForSingleObject(*m_sem.as<HANDLE>(), INFINITE) == WAIT_OBJECT_0;
}

bool KernelSemaphore::tryWait() {
    return m_valid && WaitForSingleObject(*m_sem.as<HANDLE>(), 0) == WAIT_OBJECT_0;
}

bool KernelSemaphore::timedWait(unsigned int milliseconds) {
    return m_valid && WaitForSingleObject(*m_sem.as<HANDLE>(), waitSpan(milliseconds)) == WAIT_OBJECT_0;
}

bool KernelSemaphore::post() {
    return m_valid && ReleaseSemaphore(*m_sem.as<HANDLE>(), 1, nullptr) != 0;
}

// ---- ManualResetEvent ----
//
// A kernel manual-reset event per generation of "set". Waiters wait on their
// own duplicate of the current event's handle, taken under the lock; reset
// does not reset that event but replaces it with a fresh one. So an event a
// waiter holds only ever goes from clear to set, and a set followed at once
// by a reset still releases every thread that was waiting, including one
// that had let go of the lock but not yet entered the kernel wait.

namespace {

HANDLE newClearEvent() {
    return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

// A handle of the current event for a waiter, taken under the lock; null if
// the handle could not be duplicated (the waiter then polls).
HANDLE waiterHandle(HANDLE event) {
    HANDLE copy = nullptr;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, event, process, &copy, SYNCHRONIZE, FALSE, 0)) {
        return nullptr;
    }
    return copy;
}

} // namespace

ManualResetEvent::ManualResetEvent(bool initiallySet) : m_set(initiallySet), m_generation(0) {
    InitializeCriticalSection(m_mutex.as<CRITICAL_SECTION>());
    *m_cond.as<HANDLE>() = CreateEventA(nullptr, TRUE, initiallySet ? TRUE : FALSE, nullptr);
}

ManualResetEvent::~ManualResetEvent() {
    if (*m_cond.as<HANDLE>() != nullptr) {
        CloseHandle(*m_cond.as<HANDLE>());
    }
    DeleteCriticalSection(m_mutex.as<CRITICAL_SECTION>());
}

void ManualResetEvent::set() {
    CRITICAL_SECTION* lock = m_mutex.as<CRITICAL_SECTION>();
    EnterCriticalSection(lock);
    m_set = true;
    ++m_generation;
    SetEvent(*m_cond.as<HANDLE>());
    LeaveCriticalSection(lock);
}

void ManualResetEvent::reset() {
    CRITICAL_SECTION* lock = m_mutex.as<CRITICAL_SECTION>();
    EnterCriticalSection(lock);
    if (m_set) {
        m_set = false;
        HANDLE& event = *m_cond.as<HANDLE>();
        HANDLE fresh = newClearEvent();
        if (fresh != nullptr) {
            CloseHandle(event); // waiters keep their duplicates of the set one
            event = fresh;
        } else {
            ResetEvent(event);
        }
    }
    LeaveCriticalSection(lock);
}

void ManualResetEvent::waitSince(unsigned long generation) {
    CRITICAL_SECTION* lock = m_mutex.as<CRITICAL_SECTION>();
    for (;;) {
        EnterCriticalSection(lock);
        if (m_set || m_generation != generation) {
            LeaveCriticalSection(lock);
            return;
        }
        HANDLE event = waiterHandle(*m_cond.as<HANDLE>());
        LeaveCriticalSection(lock);
        if (event == nullptr) {
            Sleep(1);
            continue;
        }
        WaitForSingleObject(event, INFINITE);
        CloseHandle(event);
    }
}

bool ManualResetEvent::timedWait(unsigned int milliseconds) {
    CRITICAL_SECTION* lock = m_mutex.as<CRITICAL_SECTION>();
    EnterCriticalSection(lock);
    const unsigned long generation = m_generation;
    HANDLE event = m_set ? nullptr : waiterHandle(*m_cond.as<HANDLE>());
    LeaveCriticalSection(lock);
    if (event != nullptr) {
        WaitForSingleObject(event, waitSpan(milliseconds));
        CloseHandle(event);
    } else if (milliseconds > 0) {
        // Only when duplicating failed: one short look later.
        Sleep(waitSpan(milliseconds) < 1 ? 0 : 1);
    }
    EnterCriticalSection(lock);
    const bool set = m_set || m_generation != generation;
    LeaveCriticalSection(lock);
    return set;
}

// ---- KernelMutex ----
//
// A kernel mutex object: the kernel keeps the owner and the count, hands a
// mutex whose owner ended to the next waiter with WAIT_ABANDONED, and
// ReleaseMutex fails for any thread but the owner.

namespace {

KernelMutex::Ownership ownershipOf(DWORD waited) {
    switch (waited) {
    case WAIT_OBJECT_0:
        return KernelMutex::Ownership::taken;
    case WAIT_ABANDONED:
        return KernelMutex::Ownership::abandoned;
    default:
        return KernelMutex::Ownership::none;
    }
}

} // namespace

KernelMutex::KernelMutex() : m_owner(0), m_count(0) {
    *m_mutex.as<HANDLE>() = CreateMutexA(nullptr, FALSE, nullptr);
}

KernelMutex::~KernelMutex() {
    if (*m_mutex.as<HANDLE>() != nullptr) {
        CloseHandle(*m_mutex.as<HANDLE>());
    }
}

KernelMutex::Ownership KernelMutex::acquire() {
    return ownershipOf(WaitForSingleObject(*m_mutex.as<HANDLE>(), INFINITE));
}

KernelMutex::Ownership KernelMutex::tryAcquire() {
    return ownershipOf(WaitForSingleObject(*m_mutex.as<HANDLE>(), 0));
}

bool KernelMutex::release() {
    return ReleaseMutex(*m_mutex.as<HANDLE>()) != 0;
}

} // namespace Platform
} // namespace Orvane
