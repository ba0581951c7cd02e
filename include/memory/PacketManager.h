/// \file
/// The packet manager: the process-wide allocator behind packets.
///
/// Before its first use the manager can be configured with a policy, a memory
/// operator (allocate, free and copy delegates; the C library's by default)
/// and pool parameters. The first packet or the first call of instance()
/// creates its core, and from then on the configuration is frozen for the rest
/// of the process:
///
///     CPacketManager::PoolParameter param;          // 2 MiB of 1 KiB chunks
///     CPacketManager::config(CPacketManager::policyPool, nullptr, &param);
///     Orvane::Memory::CPacket packet(1500);         // a 2048-byte pool block
///
/// Under the pool policies the manager reserves one contiguous pool and hands
/// out power-of-two runs of chunks with a buddy scheme: blocks split in halves
/// on the way out and merge with their free halves on the way back. Under the
/// system policy every request goes to the memory operator.
///
/// Thread-safety: every operation may be called from any thread. config is the
/// exception: it takes no lock and is meant for start-up, before any packet.
/// Lifetime: the pool is returned to the memory operator at process exit, or,
/// when packets still hold blocks then, as soon as the last of them is freed.
#ifndef DOZUV2_MEMORY_PACKETMANAGER_H
#define DOZUV2_MEMORY_PACKETMANAGER_H

#include "virad/Export.h"
#include "virad/Function.h"

#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Memory {
/// \addtogroup memory
/// @{

struct PacketManagerInternal;

/// The process-wide packet allocator, described above.
class DOZUV2_API CPacketManager {
public:
    /// Where packets and manager allocations come from.
    enum Policy {
        policyKeep = 0,       ///< for config: keep the current policy
        policySystem = 1,     ///< the memory operator, no pool (the default)
        policyPool = 2,       ///< buddy pool; a packet is one pool block
        policyPoolBuffer = 3, ///< buddy pool for packet data; records from the C heap
        policyNoPacket = 4,   ///< the memory operator, no pool; packets cannot be created
    };

    /// The three memory operations the manager is built on.
    struct MemoryOperator {
        /// Allocate, free and copy, like the C library's functions of these names.
        ///@{
        Virad::TFunction1<void*, std::size_t> malloc;
        Virad::TFunction1<void, void*> free;
        Virad::TFunction3<void*, void*, const void*, std::size_t> memcpy;
        ///@}
    };

    /// The pool's shape under the pool policies.
    struct PoolParameter {
        std::uint64_t totalSize = 2097152; ///< pool bytes, a multiple of chunkSize
        std::uint64_t chunkSize = 1024;    ///< the smallest block, at least 1024, a power of two
        std::uint64_t alignSize = 4;       ///< packet layout alignment, at least 4 (rounded down to a power of two)
    };

    /// Sets the policy (policyKeep leaves it), the memory operator and the pool
    /// parameters (null leaves them). After the manager's first use it reports
    /// and changes nothing. Invalid parameters or an operator with an empty
    /// delegate end the process with an assertion.
    static void config(Policy policy, const MemoryOperator* memop = nullptr, const PoolParameter* param = nullptr);

    /// The process-wide manager, created on first call.
    static CPacketManager* instance();

    /// Allocates under the policy: a pool block of at least size bytes, or the
    /// memory operator's allocation. Null on failure (reported for the pool).
    void* malloc(std::uint64_t size);
    /// Returns what malloc gave; null does nothing.
    void free(void* pointer);
    /// Copies under the policy: the memory operator's copy, except that under
    /// the pool policies a copy from or to memory outside the pool uses the C
    /// library's. Returns the destination.
    void* memcpy(void* destination, const void* source, std::uint64_t length);

    /// The pool memory as the memory operator returned it; null without a pool.
    unsigned char* getPoolBuffer();
    /// The pool's size in bytes; 0 without a pool.
    std::uint64_t getBufferSize();
    /// Bytes in free pool blocks; 0 without a pool.
    std::uint64_t getFreeSize();

    /// Records which thread holds how much pool memory (off at start);
    /// switching it off forgets what was recorded.
    void enableNodesStatistics(bool enable);
    /// Writes the per-thread statistics to standard output and the free lists
    /// to the print path.
    void dumpNodes();

private:
    /// Takes the core, creating it if needed.
    CPacketManager();
    ~CPacketManager();
    CPacketManager(const CPacketManager&) = delete;
    CPacketManager& operator=(const CPacketManager&) = delete;

    friend struct PacketManagerInstance; ///< deletes the process-wide handle at exit

    PacketManagerInternal* m_internal;
};
/// @}

} // namespace Memory
} // namespace Orvane

#endif
