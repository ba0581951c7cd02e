// The plain mutex, on the platform's critical section, and the recursive
// one, on the library's recursive lock (std::mutex with its own owner and
// depth).
#include "virad/Mutex.h"

#include "Src/Base/RecursiveLock.h"
#include "Src/Common/Report.h"
#include "Src/Platform/Sync.h"

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

struct CRecursiveMutex::RecursiveMutexInternal : Base::RecursiveLock {};

CRecursiveMutex::CRecursiveMutex() : m_internal(new (std::nothrow) RecursiveMutexInternal) {
    VIRAD_ASSERT(m_internal);
}

CRecursiveMutex::~CRecursiveMutex() {
    delete m_internal;
}

bool CRecursiveMutex::enter() {
    m_internal->lock();
    return true;
}

bool CRecursiveMutex::leave() {
    m_internal->unlock();
    return true;
}

} // namespace Virad
} // namespace Orvane
