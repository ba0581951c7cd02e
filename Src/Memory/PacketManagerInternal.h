// The packet manager's core: the frozen configuration and the three memory
// operations packets are built on.
//
// The core is created on first use (the first packet, or the first call of
// CPacketManager::instance()) and freezes the configuration. It is never
// freed: releases that arrive from later exit handlers or static destructors
// must still find it. At exit only its pool is given back (see BuddyPool::close).
#ifndef DOZUV2_MEMORY_PACKETMANAGERINTERNAL_H
#define DOZUV2_MEMORY_PACKETMANAGERINTERNAL_H

#include "Common/ProcessWide.h"
#include "Memory/BuddyPool.h"
#include "memory/PacketManager.h"

#include <atomic>
#include <cstdint>

namespace Orvane {
namespace Memory {

struct PacketManagerInternal {
    using Policy = CPacketManager::Policy;

    // The frozen configuration.
    Policy policy = CPacketManager::policySystem;
    std::uint64_t totalSize = 0;
    // The packet layout's alignment: a power of two.
    std::uint64_t alignment = 4;
    CPacketManager::MemoryOperator memop;
    // Used under the pool policies only.
    Detail::BuddyPool pool;
    // Whether the pool operations keep the node statistics.
    std::atomic<bool> nodeStatistics{false};

    // The operations chosen by the policy. allocate may raise size to what it granted.
    void* (*allocate)(PacketManagerInternal& core, std::uint64_t& size) = nullptr;
    void (*release)(PacketManagerInternal& core, void* block) = nullptr;
    void* (*copy)(PacketManagerInternal& core, void* destination, const void* source, std::uint64_t length) = nullptr;

    bool hasPool() const { return policy == CPacketManager::policyPool || policy == CPacketManager::policyPoolBuffer; }
    // The least multiple of the alignment that is not below n.
    std::uint64_t align(std::uint64_t n) const { return (n + alignment - 1) & ~(alignment - 1); }
};

// At exit the core gives its pool back and stays: releases that arrive
// later go to the system.
struct ClosePoolAtExit {
    void operator()(PacketManagerInternal* core) const {
        if (core->hasPool()) {
            core->pool.close();
        }
    }
};

using PacketManagerCore = Common::ProcessWide<PacketManagerInternal, Common::AtExit::shutDown, ClosePoolAtExit>;

namespace Detail {

// Builds the core from the configuration; called once, by the pattern.
PacketManagerInternal* makePacketManagerCore();

// The pool policies' allocation and release, for packets, which know their
// policy. While no node statistics are kept they are the pool's own, inline;
// otherwise, and to report a pool with no room, they are the core's
// operations (which try the pool again, as any later allocation would).
DOZUV2_ALWAYS_INLINE void* allocateFromPool(PacketManagerInternal& core, std::uint64_t& size) {
    if (DOZUV2_LIKELY(!core.nodeStatistics.load(std::memory_order_relaxed))) {
        void* block = core.pool.allocate(size);
        if (DOZUV2_LIKELY(block != nullptr)) {
            return block;
        }
    }
    return core.allocate(core, size);
}

DOZUV2_ALWAYS_INLINE void releaseToPool(PacketManagerInternal& core, void* block) {
    if (DOZUV2_LIKELY(!core.nodeStatistics.load(std::memory_order_relaxed))) {
        core.pool.release(block);
    } else {
        core.release(core, block);
    }
}

} // namespace Detail

// The core, created on first use.
inline PacketManagerInternal& packetManagerCore() {
    return *PacketManagerCore::instance(&Detail::makePacketManagerCore);
}

} // namespace Memory
} // namespace Orvane

#endif
