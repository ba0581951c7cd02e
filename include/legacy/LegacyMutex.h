/// \file
/// The older mutex and guard of the global namespace, kept for callers written
/// against the earlier interface (capitalised method names, a type argument).
///
/// ::CMutex is an owned, re-entrant mutex: the thread that entered it may enter
/// again and must leave as often, and a Leave by any other thread fails and
/// changes nothing. It is independent of Orvane::Virad::CMutex; only the names
/// coincide.
///
/// Assignment shares: after `a = b` both objects use b's mutex, so entering one
/// excludes holders of the other. The mutex is counted by the objects that
/// share it and freed with the last of them, so the two objects may be
/// destroyed in any order. The object that was assigned to lets go of its
/// former mutex (freeing it when no other object shares it); do not assign to
/// a CMutex while a thread holds it through that object or a CGuard is open on
/// it. Objects cannot be copy-constructed, only assigned.
///
/// Thread-safety: Enter, TryEnter and Leave may be called from any thread. An
/// assignment must not race with any other use of the object assigned to; the
/// source may be in use meanwhile.
#ifndef DOZUV2_LEGACY_LEGACYMUTEX_H
#define DOZUV2_LEGACY_LEGACYMUTEX_H

#include "virad/Export.h"

/// \addtogroup legacy
/// @{

/// The older re-entrant mutex, described above.
class DOZUV2_API CMutex {
public:
    /// Kept for source compatibility: every type behaves the same.
    enum Type { Normal = 0 };

    /// A mutex nobody owns.
    explicit CMutex(Type type = Normal);
    ~CMutex();
    CMutex(const CMutex&) = delete;
    /// Shares the source's mutex; see above.
    CMutex& operator=(const CMutex& other);

    /// Waits without limit until the calling thread owns the mutex. True when
    /// it was handed over in the ordinary way; false when a thread ended
    /// while owning it (abandoned): the caller owns it then all the same, must
    /// Leave it, and finds what it guards as the ended thread left it.
    bool Enter();
    /// True when the calling thread owns the mutex now, abandoned or not;
    /// never waits.
    bool TryEnter();
    /// Gives back one ownership; false when the calling thread does not own it.
    bool Leave();

private:
    struct MutexInternal;
    MutexInternal* m_internal;
};

/// Enters a ::CMutex for the lifetime of the guard.
class DOZUV2_API CGuard {
public:
    /// Enters the mutex; the destructor leaves it.
    explicit CGuard(CMutex& mutex);
    ~CGuard();
    CGuard(const CGuard&) = delete;
    CGuard& operator=(const CGuard&) = delete;

private:
    CMutex& m_mutex;
};
/// @}

#endif
