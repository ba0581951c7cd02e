// The fixed-size memory pool: units threaded on a free list, carved from
// blocks that live as long as the pool.
#include "memory/MemPool.h"

#include "Src/Common/Report.h"
#include "Src/Base/ShortLock.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <cstring>
#include <new>

namespace Orvane {
namespace Memory {
namespace Detail {

namespace {

// A unit's link to the next free unit sits in its first 8 bytes. Units need
// not be 8-byte aligned (a unit size of 12 is allowed), so the link is copied
// rather than accessed in place.
void* nextOf(void* unit) {
    void* next;
    std::memcpy(&next, unit, sizeof next);
    return next;
}

void setNext(void* unit, void* next) {
    std::memcpy(unit, &next, sizeof next);
}

// What precedes the units of every block.
struct BlockHeader {
    unsigned char* firstUnit;
    BlockHeader* previous;
};

} // namespace

struct CMemPool::MemPoolInternal {
    MemPoolInternal(unsigned int unitBytes, unsigned int perBlock)
        : unitSize(unitBytes < 8 ? 8 : unitBytes), unitsPerBlock(perBlock) {}

    // Links a new block in front and threads its units on the free list in
    // address order. False when the heap has no room.
    bool grow() {
        const std::size_t unitBytes = std::size_t{unitSize} * unitsPerBlock;
        auto* block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + unitBytes));
        if (block == nullptr) {
            return false;
        }
        block->firstUnit = reinterpret_cast<unsigned char*>(block + 1);
        block->previous = blocks;
        blocks = block;
        unsigned char* unit = block->firstUnit;
        for (unsigned int i = 1; i < unitsPerBlock; ++i, unit += unitSize) {
            setNext(unit, unit + unitSize);
        }
        setNext(unit, nullptr);
        freeUnits = block->firstUnit;
        return true;
    }

    BlockHeader* blocks = nullptr;
    std::uint32_t unitSize;
    std::uint32_t unitsPerBlock;
    void* freeUnits = nullptr;
    Base::ShortLock lock;
};

CMemPool::CMemPool(unsigned int unitSize, unsigned int unitsPerBlock)
    : m_internal(new (std::nothrow) MemPoolInternal(unitSize, unitsPerBlock == 0 ? 1 : unitsPerBlock)) {
    VIRAD_ASSERT(m_internal);
}

CMemPool::~CMemPool() {
    BlockHeader* block = m_internal->blocks;
    while (block != nullptr) {
        BlockHeader* previous = block->previous;
        std::free(block);
        block = previous;
    }
    delete m_internal;
}

void* CMemPool::malloc() {
    std::lock_guard<Base::ShortLock> guard(m_internal->lock);
    if (m_internal->freeUnits == nullptr && !m_internal->grow()) {
        return nullptr;
    }
    void* unit = m_internal->freeUnits;
    m_internal->freeUnits = nextOf(unit);
    return unit;
}

void CMemPool::free(void* unit) {
    std::lock_guard<Base::ShortLock> guard(m_internal->lock);
    setNext(unit, m_internal->freeUnits);
    m_internal->freeUnits = unit;
}

} // namespace Detail
} // namespace Memory
} // namespace Orvane
