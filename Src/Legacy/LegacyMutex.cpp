// The older global mutex and guard, on the platform's owned kernel mutex.
#include "legacy/LegacyMutex.h"

#include "Src/Common/Report.h"
#include "Src/Platform/Sync.h"

#include <atomic>
#include <new>

using Ownership = Orvane::Platform::KernelMutex::Ownership;

// One record per kernel mutex, counted by the CMutex objects that share it.
struct CMutex::MutexInternal {
    Orvane::Platform::KernelMutex m_handle;
    std::atomic<int> m_users{1};

    void addUser() { m_users.fetch_add(1, std::memory_order_relaxed); }
    // The last user frees the record.
    void dropUser() {
        if (m_users.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }
};

CMutex::CMutex(Type /*every type behaves the same*/) : m_internal(new (std::nothrow) MutexInternal) {
    VIRAD_ASSERT(m_internal);
}

CMutex::~CMutex() {
    m_internal->dropUser();
}

CMutex& CMutex::operator=(const CMutex& other) {
    if (m_internal != other.m_internal) {
        // Counted first, so sharing a record with itself through a chain never frees it early.
        other.m_internal->addUser();
        m_internal->dropUser();
        m_internal = other.m_internal;
    }
    return *this;
}

// An abandoned mutex (its owner ended owning it) is owned all the same, but
// Enter does not call that success: what it guarded may be half changed.
bool CMutex::Enter() {
    return m_internal->m_handle.acquire() == Ownership::taken;
}

bool CMutex::TryEnter() {
    return m_internal->m_handle.tryAcquire() != Ownership::none;
}

bool CMutex::Leave() {
    return m_internal->m_handle.release();
}

CGuard::CGuard(CMutex& mutex) : m_mutex(mutex) {
    m_mutex.Enter();
}

CGuard::~CGuard() {
    m_mutex.Leave();
}
