// A store of equal-sized memory units: the engine of the exported memory
// pool, and the timers' source of tree nodes.
//
// Units are carved from blocks of unitsPerBlock units each; a block is taken
// from the C heap when no free unit is left and kept until the store dies, so
// a freed unit is simply the next one handed out. Units of one block sit side
// by side, which keeps a structure built of them (a tree walked on every
// insertion) in few cache lines.
//
// take and give may be called from any thread at once; the sections under
// the lock are a few list steps, so it is a short lock. Whole in this header,
// so that the timers take their nodes inline.
#ifndef DOZUV2_BASE_UNITSTORE_H
#define DOZUV2_BASE_UNITSTORE_H

#include "Src/Base/ShortLock.h"
#include "virad/Compiler.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace Orvane {
namespace Base {

class UnitStore {
public:
    // Units of unitSize bytes (8 at the least), unitsPerBlock (1 at the least) to a block.
    UnitStore(unsigned int unitSize, unsigned int unitsPerBlock)
        : m_unitSize(unitSize < 8 ? 8 : unitSize), m_unitsPerBlock(unitsPerBlock == 0 ? 1 : unitsPerBlock) {}
    // Frees every block; units still in use become invalid.
    ~UnitStore() {
        while (m_blocks != nullptr) {
            BlockHeader* const previous = m_blocks->previous;
            std::free(m_blocks);
            m_blocks = previous;
        }
    }
    UnitStore(const UnitStore&) = delete;
    UnitStore& operator=(const UnitStore&) = delete;

    // A free unit; null only when a new block cannot be allocated.
    void* take() {
        std::lock_guard<ShortLock> guard(m_lock);
        if (DOZUV2_UNLIKELY(m_freeUnits == nullptr) && !grow()) {
            return nullptr;
        }
        void* const unit = m_freeUnits;
        m_freeUnits = nextOf(unit);
        return unit;
    }
    // Gives a unit of this store back. The pointer is not checked.
    void give(void* unit) {
        std::lock_guard<ShortLock> guard(m_lock);
        setNext(unit, m_freeUnits);
        m_freeUnits = unit;
    }

private:
    // What precedes the units of every block.
    struct BlockHeader {
        unsigned char* firstUnit;
        BlockHeader* previous;
    };

    // A unit's link to the next free unit sits in its first 8 bytes. Units
    // need not be 8-byte aligned (a unit size of 12 is allowed), so the link
    // is copied rather than accessed in place.
    static void* nextOf(void* unit) {
        void* next;
        std::memcpy(&next, unit, sizeof next);
        return next;
    }
    static void setNext(void* unit, void* next) { std::memcpy(unit, &next, sizeof next); }

    // Links a new block in front and threads its units on the free list in
    // address order. False when the heap has no room. Out of line: it runs
    // once a block.
    DOZUV2_NOINLINE bool grow() {
        const std::size_t unitBytes = std::size_t{m_unitSize} * m_unitsPerBlock;
        auto* const block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + unitBytes));
        if (block == nullptr) {
            return false;
        }
        block->firstUnit = reinterpret_cast<unsigned char*>(block + 1);
        block->previous = m_blocks;
        m_blocks = block;
        unsigned char* unit = block->firstUnit;
        for (std::uint32_t i = 1; i < m_unitsPerBlock; ++i, unit += m_unitSize) {
            setNext(unit, unit + m_unitSize);
        }
        setNext(unit, nullptr);
        m_freeUnits = block->firstUnit;
        return true;
    }

    BlockHeader* m_blocks = nullptr;
    void* m_freeUnits = nullptr;
    std::uint32_t m_unitSize;
    std::uint32_t m_unitsPerBlock;
    ShortLock m_lock;
};

} // namespace Base
} // namespace Orvane

#endif
