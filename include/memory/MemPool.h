/// \file
/// A pool of equal-sized memory units.
///
/// Units are carved from blocks of unitsPerBlock units each; a block is taken
/// from the C heap when no free unit is left and is kept until the pool dies,
/// so a freed unit is simply the next one handed out. Good for many short-lived
/// objects of one size.
///
/// Thread-safety: malloc and free may be called from any thread at once.
/// Lifetime: destroying the pool frees every block; units still in use become
/// invalid.
#ifndef DOZUV2_MEMORY_MEMPOOL_H
#define DOZUV2_MEMORY_MEMPOOL_H

#include "virad/Export.h"

namespace Orvane {
namespace Memory {
/// \addtogroup memory
/// @{

namespace Detail {

class DOZUV2_API CMemPool {
public:
    /// Units of unitSize bytes (at least 8), unitsPerBlock (at least 1) to a block.
    CMemPool(unsigned int unitSize, unsigned int unitsPerBlock);
    ~CMemPool();
    CMemPool(const CMemPool&) = delete;
    CMemPool& operator=(const CMemPool&) = delete;

    /// A free unit; null only when a new block cannot be allocated.
    void* malloc();
    /// Gives a unit of this pool back. The pointer is not checked.
    void free(void* unit);

private:
    struct MemPoolInternal;
    MemPoolInternal* m_internal;
};

} // namespace Detail
/// @}

} // namespace Memory
} // namespace Orvane

#endif
