// The component base: its record, reference counting and the hand-out rules.
#include "component/Unknown.h"

#include "Src/Common/Report.h"
#include "Src/Component/ClientInternal.h"
#include "Src/Component/UnknownInternal.h"
#include "component/Factory.h"
#include "component/ObjectTable.h"

#include <new>

namespace Orvane {
namespace Component {

using Detail::UnknownAccess;

namespace {

// The first hand-out takes over the creation reference; later ones add one.
// The value is read first so that the common case (already handed out) is
// one load instead of a locked exchange.
bool markHandedOut(UnknownInternal* record) {
    return record->instanceMade.load(std::memory_order_acquire) != 0 || record->instanceMade.exchange(1) != 0;
}

} // namespace

const ClassID ClassID::local("Local");

IUnknown::IUnknown() : m_internal(new (std::nothrow) UnknownInternal) {
    VIRAD_ASSERT(m_internal);
}

IUnknown::IUnknown(const IUnknown& other) : m_internal(other.m_internal) {}

IUnknown& IUnknown::operator=(const IUnknown& other) {
    m_internal = other.m_internal;
    return *this;
}

IUnknown::~IUnknown() {
    delete m_internal;
    m_internal = nullptr;
}

int IUnknown::addRef() {
    markHandedOut(m_internal);
    return static_cast<int>(m_internal->refCount.fetch_add(1) + 1);
}

int IUnknown::release() {
    Detail::CObjectTable* table = m_internal->table;
    if (table != nullptr) {
        table->lock();
    }
    const std::int64_t count = m_internal->refCount.fetch_sub(1) - 1;
    if (static_cast<std::int32_t>(count) == 0) {
        if (!m_internal->classId.empty()) {
            destroyComponent(this, m_internal->classId.c_str(), m_internal->inComponentMap);
        } else {
            if (table != nullptr) {
                table->erase(this);
                table->unlock();
                table = nullptr;
            }
            destroy();
        }
    }
    if (table != nullptr) {
        table->unlock();
    }
    return static_cast<int>(count);
}

int decreaseRefCount(IUnknown* object) {
    VIRAD_ASSERT(object);
    return static_cast<int>(UnknownAccess::record(object)->refCount.fetch_sub(1) - 1);
}

int refCountOf(IUnknown* object) {
    return static_cast<int>(UnknownAccess::record(object)->refCount.load());
}

void setObjectTable(IUnknown* object, Detail::CObjectTable* table) {
    VIRAD_ASSERT(object);
    UnknownAccess::record(object)->table = table;
}

void makeInstanceForTable(IUnknown* object) {
    VIRAD_ASSERT(object);
    UnknownInternal* record = UnknownAccess::record(object);
    if (markHandedOut(record)) {
        record->refCount.fetch_add(1);
    }
}

namespace Detail {

int CComponentHelper::release(IUnknown* object) {
    if (object == nullptr) {
        return 0;
    }
    if (UnknownAccess::record(object)->isClient) {
        return ClientFactory::releaseClientObject(static_cast<IClient*>(object));
    }
    return object->release();
}

IUnknown* CComponentHelper::makeComponentInstance(IUnknown* object) {
    if (object == nullptr) {
        Virad::setLastError(kErrorGetInstanceFailed);
        return nullptr;
    }
    UnknownInternal* record = UnknownAccess::record(object);
    if (record->table == nullptr && markHandedOut(record)) {
        record->refCount.fetch_add(1);
    }
    return object;
}

IUnknown* CComponentHelper::makeComponentObject(IUnknown* object) {
    if (object == nullptr) {
        Virad::setLastError(kErrorCreateObjectFailed);
        return nullptr;
    }
    UnknownInternal* record = UnknownAccess::record(object);
    if (record->table == nullptr) {
        record->instanceMade.exchange(1);
    }
    return object;
}

} // namespace Detail
} // namespace Component
} // namespace Orvane
