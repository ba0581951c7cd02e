// CThreadSpecific: thread-local value slots shared between copies.
//
// Copies of a CThreadSpecific share one internal record, which counts its
// owners; the last owner to go frees the slot and the record. Without the
// count, each copy would free the same slot, and the second free could release
// a slot that meanwhile belongs to someone else.
#include "virad/ThreadLocalSlot.h"

#include "Src/Common/Report.h"
#include "Src/Platform/Thread.h"

#include <atomic>
#include <new>

namespace Orvane {
namespace Virad {

struct CThreadSpecific::ThreadSpecificInternal {
    // Drops one owner; the last one frees the slot and the record. acq_rel:
    // the last owner must see every other owner's use of the slot first.
    void release() {
        if (m_owners.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            if (m_index != Platform::kTlsNone) {
                Platform::tlsFree(m_index);
            }
            delete this;
        }
    }

    Platform::TlsIndex m_index = Platform::tlsAlloc();
    std::atomic<int> m_owners{1};
};

CThreadSpecific::CThreadSpecific() : m_internal(new (std::nothrow) ThreadSpecificInternal) {
    VIRAD_ASSERT(m_internal);
}

CThreadSpecific::CThreadSpecific(const CThreadSpecific& other) : m_internal(other.m_internal) {
    m_internal->m_owners.fetch_add(1, std::memory_order_relaxed);
}

CThreadSpecific& CThreadSpecific::operator=(const CThreadSpecific& other) {
    if (m_internal != other.m_internal) {
        other.m_internal->m_owners.fetch_add(1, std::memory_order_relaxed);
        m_internal->release();
        m_internal = other.m_internal;
    }
    return *this;
}

CThreadSpecific::~CThreadSpecific() {
    m_internal->release();
}

bool CThreadSpecific::valid() const {
    return m_internal->m_index != Platform::kTlsNone;
}

bool CThreadSpecific::setValue(const void* value) {
    return m_internal->m_index != Platform::kTlsNone && Platform::tlsSetValue(m_internal->m_index, value);
}

bool CThreadSpecific::getValue(void** value) const {
    if (m_internal->m_index == Platform::kTlsNone || value == nullptr) {
        return false;
    }
    *value = Platform::tlsGetValue(m_internal->m_index);
    return true;
}

} // namespace Virad
} // namespace Orvane
