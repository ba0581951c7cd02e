/// \file
/// Mutual exclusion: a plain mutex, a recursive mutex that knows its owner,
/// and the scope guards that hold them.
///
/// CMutex may be entered again by the thread that holds it, which must then
/// leave it as often. CRecursiveMutex counts its nesting itself and records the
/// owning thread's id. Neither can be copied. Every method may be called from
/// any thread; a leave by a thread that does not hold the mutex is not detected
/// and is a caller error.
#ifndef DOZUV2_VIRAD_MUTEX_H
#define DOZUV2_VIRAD_MUTEX_H

#include "virad/Export.h"

namespace Orvane {
namespace Virad {
/// \addtogroup locks
/// @{

/// A plain mutex: one holder at a time.
class DOZUV2_API CMutex {
public:
    CMutex();
    ~CMutex();
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    /// Blocks until the mutex is held; true.
    bool enter();
    /// True if the mutex is now held; false if another thread holds it. Never blocks.
    bool tryEnter();
    /// Releases one hold; true.
    bool leave();

private:
    struct MutexInternal;
    MutexInternal* m_internal;
};

/// A mutex its holder may enter again, leaving it as often.
class DOZUV2_API CRecursiveMutex {
public:
    CRecursiveMutex();
    ~CRecursiveMutex();
    CRecursiveMutex(const CRecursiveMutex&) = delete;
    CRecursiveMutex& operator=(const CRecursiveMutex&) = delete;

    /// Blocks until held (at once when the caller already owns it); true.
    bool enter();
    /// Releases one level; the last one frees the mutex for other threads; true.
    bool leave();

private:
    struct RecursiveMutexInternal;
    RecursiveMutexInternal* m_internal;
};

/// Holds a CMutex for the lifetime of the guard.
class CGuard {
public:
    /// Enters the mutex; the destructor leaves it.
    explicit CGuard(CMutex& mutex) : m_mutex(mutex) { m_mutex.enter(); }
    ~CGuard() { m_mutex.leave(); }
    CGuard(const CGuard&) = delete;
    CGuard& operator=(const CGuard&) = delete;

private:
    CMutex& m_mutex;
};

/// Holds a CRecursiveMutex for the lifetime of the guard.
class CRecursiveGuard {
public:
    /// Enters the mutex; the destructor leaves it.
    explicit CRecursiveGuard(CRecursiveMutex& mutex) : m_mutex(mutex) { m_mutex.enter(); }
    ~CRecursiveGuard() { m_mutex.leave(); }
    CRecursiveGuard(const CRecursiveGuard&) = delete;
    CRecursiveGuard& operator=(const CRecursiveGuard&) = delete;

private:
    CRecursiveMutex& m_mutex;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
