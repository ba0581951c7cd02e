// POSIX realisation of the platform's synchronisation objects.
#include "Src/Platform/Sync.h"

#include "Src/Platform/Thread.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <new>

#include <pthread.h>
#include <semaphore.h>

namespace Orvane {
namespace Platform {

static_assert(sizeof(pthread_mutex_t) <= 48, "mutex storage too small");
static_assert(sizeof(pthread_cond_t) <= 48, "condition storage too small");
static_assert(sizeof(sem_t) <= 32, "semaphore storage too small");
static_assert(SEM_VALUE_MAX >= KernelSemaphore::kMaximum, "host semaphores cannot count far enough");

namespace {

void initMutex(pthread_mutex_t* mutex, int type) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, type);
    pthread_mutex_init(mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

// A condition whose timed waits run on the monotonic clock.
void initMonotonicCondition(pthread_cond_t* condition) {
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(condition, &attr);
    pthread_condattr_destroy(&attr);
}

// An absolute monotonic deadline the given milliseconds from now.
timespec deadlineAfter(unsigned int milliseconds) {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_sec += milliseconds / 1000;
    ts.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

} // namespace

// ---- CriticalSection ----

CriticalSection::CriticalSection() {
    initMutex(m_native.as<pthread_mutex_t>(), PTHREAD_MUTEX_RECURSIVE);
}
CriticalSection::~CriticalSection() {
    pthread_mutex_destroy(m_native.as<pthread_mutex_t>());
}
void CriticalSection::enter() {
    pthread_mutex_lock(m_native.as<pthread_mutex_t>());
}
bool CriticalSection::tryEnter() {
    return pthread_mutex_trylock(m_native.as<pthread_mutex_t>()) == 0;
}
void CriticalSection::leave() {
    pthread_mutex_unlock(m_native.as<pthread_mutex_t>());
}

// ---- KernelSemaphore ----

KernelSemaphore::KernelSemaphore(long initial, long maximum) : m_maximum(maximum), m_valid(false) {
    if (maximum < 1 || maximum > kMaximum || initial < 0 || initial > maximum) {
        return;
    }
    if (sem_init(m_sem.as<sem_t>(), 0, static_cast<unsigned int>(initial)) != 0) {
        return;
    }
    initMutex(m_postLock.as<pthread_mutex_t>(), PTHREAD_MUTEX_NORMAL);
    m_valid = true;
}

KernelSemaphore::~KernelSemaphore() {
    if (m_valid) {
        sem_destroy(m_sem.as<sem_t>());
        pthread_mutex_destroy(m_postLock.as<pthread_mutex_t>());
    }
}

bool KernelSemaphore::wait() {
    if (!m_valid) {
        return false;
    }
    int rc;
    do {
        rc = sem_wait(m_sem.as<sem_t>());
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool KernelSemaphore::tryWait() {
    if (!m_valid) {
        return false;
    }
    int rc;
    do {
        rc = sem_trywait(m_sem.as<sem_t>());
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool KernelSemaphore::timedWait(unsigned int milliseconds) {
    if (milliseconds == 0) {
        return tryWait();
    }
    if (!m_valid) {
        return false;
    }
    const timespec deadline = deadlineAfter(milliseconds);
    int rc;
    do {
        rc = sem_clockwait(m_sem.as<sem_t>(), CLOCK_MONOTONIC, &deadline);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool KernelSemaphore::post() {
    if (!m_valid) {
        return false;
    }
    sem_t* sem = m_sem.as<sem_t>();
    if (m_maximum >= SEM_VALUE_MAX) {
        // The native semaphore refuses to pass its own maximum (EOVERFLOW).
        return sem_post(sem) == 0;
    }
    // Below the native maximum the bound is checked here. Posts are
    // serialised so the count cannot rise between the check and the post;
    // concurrent waits only lower it.
    pthread_mutex_t* lock = m_postLock.as<pthread_mutex_t>();
    pthread_mutex_lock(lock);
    int value = 0;
    sem_getvalue(sem, &value);
    const bool ok = value < m_maximum && sem_post(sem) == 0;
    pthread_mutex_unlock(lock);
    return ok;
}

// ---- ManualResetEvent ----

ManualResetEvent::ManualResetEvent(bool initiallySet) : m_set(initiallySet), m_generation(0) {
    initMutex(m_mutex.as<pthread_mutex_t>(), PTHREAD_MUTEX_NORMAL);
    initMonotonicCondition(m_cond.as<pthread_cond_t>());
}

ManualResetEvent::~ManualResetEvent() {
    pthread_cond_destroy(m_cond.as<pthread_cond_t>());
    pthread_mutex_destroy(m_mutex.as<pthread_mutex_t>());
}

void ManualResetEvent::set() {
    pthread_mutex_t* mutex = m_mutex.as<pthread_mutex_t>();
    pthread_mutex_lock(mutex);
    m_set = true;
    ++m_generation;
    pthread_cond_broadcast(m_cond.as<pthread_cond_t>());
    pthread_mutex_unlock(mutex);
}

void ManualResetEvent::reset() {
    pthread_mutex_t* mutex = m_mutex.as<pthread_mutex_t>();
    pthread_mutex_lock(mutex);
    m_set = false;
    pthread_mutex_unlock(mutex);
}

void ManualResetEvent::waitSince(unsigned long generation) {
    pthread_mutex_t* mutex = m_mutex.as<pthread_mutex_t>();
    pthread_mutex_lock(mutex);
    while (!m_set && m_generation == generation) {
        pthread_cond_wait(m_cond.as<pthread_cond_t>(), mutex);
    }
    pthread_mutex_unlock(mutex);
}

bool ManualResetEvent::timedWait(unsigned int milliseconds) {
    const timespec deadline = deadlineAfter(milliseconds);
    pthread_mutex_t* mutex = m_mutex.as<pthread_mutex_t>();
    pthread_mutex_lock(mutex);
    const unsigned long generation = m_generation;
    while (!m_set && m_generation == generation) {
        if (pthread_cond_timedwait(m_cond.as<pthread_cond_t>(), mutex, &deadline) == ETIMEDOUT) {
            break;
        }
    }
    const bool set = m_set || m_generation != generation;
    pthread_mutex_unlock(mutex);
    return set;
}

// ---- KernelMutex ----
//
// A robust mutex: when its owner ends, the system hands it to the next
// locker with EOWNERDEAD, which is the abandoned case. The re-entry count
// and the owner are kept here, so the native mutex is locked once per
// ownership.

namespace {

// A number of the calling thread that no other thread of the process has
// ever had or will have.
std::uint64_t threadSerial() {
    static std::atomic<std::uint64_t> next{1};
    thread_local const std::uint64_t serial = next.fetch_add(1, std::memory_order_relaxed);
    return serial;
}

// Takes the mutex for the calling thread, waiting for it or only trying: once
// more when the thread owns it already, else by locking the native mutex
// (made usable again when it was abandoned).
KernelMutex::Ownership enter(std::atomic<std::uint64_t>& owner, int& count, pthread_mutex_t* mutex, bool wait) {
    using Ownership = KernelMutex::Ownership;
    const std::uint64_t self = threadSerial();
    // Only this thread can have stored its own serial, so the unlocked read is exact for it.
    if (owner.load(std::memory_order_relaxed) == self) {
        ++count;
        return Ownership::taken;
    }
    const int locked = wait ? pthread_mutex_lock(mutex) : pthread_mutex_trylock(mutex);
    if (locked == EOWNERDEAD) {
        pthread_mutex_consistent(mutex);
    } else if (locked != 0) {
        return Ownership::none;
    }
    owner.store(self, std::memory_order_relaxed);
    count = 1;
    return locked == 0 ? Ownership::taken : Ownership::abandoned;
}

} // namespace

KernelMutex::KernelMutex() : m_owner(0), m_count(0) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(m_mutex.as<pthread_mutex_t>(), &attr);
    pthread_mutexattr_destroy(&attr);
}

KernelMutex::~KernelMutex() {
    // A robust mutex is linked into its owner's list of held mutexes, which
    // must not keep pointing into freed storage.
    if (m_owner.load(std::memory_order_relaxed) == threadSerial()) {
        m_owner.store(0, std::memory_order_relaxed);
        m_count = 0;
        pthread_mutex_unlock(m_mutex.as<pthread_mutex_t>());
    }
    pthread_mutex_destroy(m_mutex.as<pthread_mutex_t>());
}

KernelMutex::Ownership KernelMutex::acquire() {
    return enter(m_owner, m_count, m_mutex.as<pthread_mutex_t>(), true);
}

KernelMutex::Ownership KernelMutex::tryAcquire() {
    return enter(m_owner, m_count, m_mutex.as<pthread_mutex_t>(), false);
}

bool KernelMutex::release() {
    if (m_owner.load(std::memory_order_relaxed) != threadSerial()) {
        return false;
    }
    if (--m_count == 0) {
        m_owner.store(0, std::memory_order_relaxed);
        pthread_mutex_unlock(m_mutex.as<pthread_mutex_t>());
    }
    return true;
}

} // namespace Platform
} // namespace Orvane
