// Windows realisation of the platform's synchronisation objects: critical
// sections, kernel semaphores, kernel events and kernel mutexes.
#include "Platform/Sync.h"

#include <windows.h>

namespace Orvane {
namespace Platform {

static_assert(sizeof(CRITICAL_SECTION) <= 48, "critical section storage too small");

namespace {

template <typename T, std::size_t N> T* native(NativeStorage<N>& storage) {
    static_assert(sizeof(T) <= N, "native object does not fit");
    return reinterpret_cast<T*>(storage.bytes);
}

// Milliseconds as a kernel wait takes them: the all-ones value would mean
// "without limit", which a finite request must never become.
DWORD waitSpan(unsigned int milliseconds) {
    return milliseconds >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(milliseconds);
}

} // namespace

// ---- CriticalSection ----

CriticalSection::CriticalSection() {
    InitializeCriticalSection(native<CRITICAL_SECTION>(m_native));
}
CriticalSection::~CriticalSection() {
    DeleteCriticalSection(native<CRITICAL_SECTION>(m_native));
}
void CriticalSection::enter() {
    EnterCriticalSection(native<CRITICAL_SECTION>(m_native));
}
bool CriticalSection::tryEnter() {
    return TryEnterCriticalSection(native<CRITICAL_SECTION>(m_native)) != 0;
}
void CriticalSection::leave() {
    LeaveCriticalSection(native<CRITICAL_SECTION>(m_native));
}

// ---- KernelSemaphore ----
//
// The kernel object keeps the maximum itself: ReleaseSemaphore fails and
// changes nothing when the count would pass it, so the post lock of hosts
// without such a bound is not needed here.

KernelSemaphore::KernelSemaphore(long initial, long maximum) : m_maximum(maximum), m_valid(false) {
    *native<HANDLE>(m_sem) = nullptr;
    if (maximum < 1 || maximum > kMaximum || initial < 0 || initial > maximum) {
        return;
    }
    HANDLE handle = CreateSemaphoreA(nullptr, initial, maximum, nullptr);
    if (handle == nullptr) {
        return;
    }
    *native<HANDLE>(m_sem) = handle;
    m_valid = true;
}

KernelSemaphore::~KernelSemaphore() {
    if (m_valid) {
        CloseHandle(*native<HANDLE>(m_sem));
    }
}

bool KernelSemaphore::wait() {
    return m_valid && WaitForSingleObject(*native<HANDLE>(m_sem), INFINITE) == WAIT_OBJECT_0;
}

bool KernelSemaphore::tryWait() {
    return m_valid && WaitForSingleObject(*native<HANDLE>(m_sem), 0) == WAIT_OBJECT_0;
}

bool KernelSemaphore::timedWait(unsigned int milliseconds) {
    return m_valid && WaitForSingleObject(*native<HANDLE>(m_sem), waitSpan(milliseconds)) == WAIT_OBJECT_0;
}

bool KernelSemaphore::post() {
    return m_valid && ReleaseSemaphore(*native<HANDLE>(m_sem), 1, nullptr) != 0;
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
    InitializeCriticalSection(native<CRITICAL_SECTION>(m_mutex));
    *native<HANDLE>(m_cond) = CreateEventA(nullptr, TRUE, initiallySet ? TRUE : FALSE, nullptr);
}

ManualResetEvent::~ManualResetEvent() {
    if (*native<HANDLE>(m_cond) != nullptr) {
        CloseHandle(*native<HANDLE>(m_cond));
    }
    DeleteCriticalSection(native<CRITICAL_SECTION>(m_mutex));
}

void ManualResetEvent::set() {
    CRITICAL_SECTION* lock = native<CRITICAL_SECTION>(m_mutex);
    EnterCriticalSection(lock);
    m_set = true;
    ++m_generation;
    SetEvent(*native<HANDLE>(m_cond));
    LeaveCriticalSection(lock);
}

void ManualResetEvent::reset() {
    CRITICAL_SECTION* lock = native<CRITICAL_SECTION>(m_mutex);
    EnterCriticalSection(lock);
    if (m_set) {
        m_set = false;
        HANDLE& event = *native<HANDLE>(m_cond);
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

void ManualResetEvent::wait() {
    waitSince(generation());
}

unsigned long ManualResetEvent::generation() {
    CRITICAL_SECTION* lock = native<CRITICAL_SECTION>(m_mutex);
    EnterCriticalSection(lock);
    const unsigned long generation = m_generation;
    LeaveCriticalSection(lock);
    return generation;
}

void ManualResetEvent::waitSince(unsigned long generation) {
    CRITICAL_SECTION* lock = native<CRITICAL_SECTION>(m_mutex);
    for (;;) {
        EnterCriticalSection(lock);
        if (m_set || m_generation != generation) {
            LeaveCriticalSection(lock);
            return;
        }
        HANDLE event = waiterHandle(*native<HANDLE>(m_cond));
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
    CRITICAL_SECTION* lock = native<CRITICAL_SECTION>(m_mutex);
    EnterCriticalSection(lock);
    const unsigned long generation = m_generation;
    HANDLE event = m_set ? nullptr : waiterHandle(*native<HANDLE>(m_cond));
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
// A kernel mutex object: the kernel keeps the owner and the count, and
// ReleaseMutex fails for any thread but the owner.

KernelMutex::KernelMutex() : m_owner(0), m_count(0) {
    *native<HANDLE>(m_mutex) = CreateMutexA(nullptr, FALSE, nullptr);
}

KernelMutex::~KernelMutex() {
    if (*native<HANDLE>(m_mutex) != nullptr) {
        CloseHandle(*native<HANDLE>(m_mutex));
    }
}

void KernelMutex::acquire() {
    // An abandoned mutex (its owner ended holding it) passes to the waiter.
    WaitForSingleObject(*native<HANDLE>(m_mutex), INFINITE);
}

bool KernelMutex::timedAcquire(unsigned int milliseconds) {
    const DWORD result = WaitForSingleObject(*native<HANDLE>(m_mutex), waitSpan(milliseconds));
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

bool KernelMutex::release() {
    return ReleaseMutex(*native<HANDLE>(m_mutex)) != 0;
}

} // namespace Platform
} // namespace Orvane
