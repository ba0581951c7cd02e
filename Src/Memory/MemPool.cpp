// The fixed-size memory pool: the exported face of the library's unit store.
#include "memory/MemPool.h"

#include "Src/Base/UnitStore.h"
#include "Src/Common/Report.h"

#include <new>

namespace Orvane {
namespace Memory {
namespace Detail {

struct CMemPool::MemPoolInternal : Base::UnitStore {
    using UnitStore::UnitStore;
};

CMemPool::CMemPool(unsigned int unitSize, unsigned int unitsPerBlock)
    : m_internal(new (std::nothrow) MemPoolInternal(unitSize, unitsPerBlock)) {
    VIRAD_ASSERT(m_internal);
}

CMemPool::~CMemPool() {
    delete m_internal;
}

void* CMemPool::malloc() {
    return m_internal->take();
}

void CMemPool::free(void* unit) {
    m_internal->give(unit);
}

} // namespace Detail
} // namespace Memory
} // namespace Orvane
