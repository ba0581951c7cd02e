// The object table: live components shared by key, searched under a lock
// that their last release also takes.
#include "component/ObjectTable.h"

#include "Src/Common/Containers.h"
#include "Src/Common/Report.h"
#include "Src/Component/UnknownInternal.h"
#include "virad/Mutex.h"

#include <algorithm>
#include <new>

namespace Orvane {
namespace Component {
namespace Detail {

struct ObjectTableInternal {
    Virad::CMutex lock;
    Common::Vector<IUnknown*> objects;
};

key_base::~key_base() = default;

CObjectTable::CObjectTable() : m_internal(new (std::nothrow) ObjectTableInternal) {
    VIRAD_ASSERT(m_internal);
}

CObjectTable::~CObjectTable() {
    delete m_internal;
}

CObjectTable& CObjectTable::operator=(const CObjectTable& other) {
    m_internal = other.m_internal;
    return *this;
}

void CObjectTable::lock() {
    m_internal->lock.enter();
}

void CObjectTable::unlock() {
    m_internal->lock.leave();
}

void CObjectTable::insert(IUnknown* object) {
    setObjectTable(object, this);
    makeInstanceForTable(object);
    m_internal->objects.push_back(object);
}

void CObjectTable::erase(IUnknown* object) {
    Common::Vector<IUnknown*>& objects = m_internal->objects;
    objects.erase(std::remove(objects.begin(), objects.end(), object), objects.end());
}

IUnknown* CObjectTable::find(const key_base& key) {
    for (IUnknown* object : m_internal->objects) {
        if (key.match(object)) {
            makeInstanceForTable(object);
            return object;
        }
    }
    return nullptr;
}

unsigned long long CObjectTable::count() {
    return m_internal->objects.size();
}

IUnknown* CObjectTable::get(unsigned long long index) {
    VIRAD_ASSERT(index < m_internal->objects.size());
    return m_internal->objects[index];
}

} // namespace Detail
} // namespace Component
} // namespace Orvane
