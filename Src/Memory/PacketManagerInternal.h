// The packet manager's core: the frozen configuration and the three memory
// operations packets are built on.
//
// The core is created on first use (the first packet, or the first call of
// CPacketManager::instance()) and freezes the configuration. It is never
// freed: releases that arrive from later exit handlers or static destructors
// must still find it. At exit only its pool is given back (see BuddyPool::close).
#ifndef DOZUV2_MEMORY_PACKETMANAGERINTERNAL_H
#define DOZUV2_MEMORY_PACKETMANAGERINTERNAL_H

#include "Src/Common/ProcessWide.h"
#include "Src/Memory/BuddyPool.h"
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
    // The bytes a packet record takes at the end of a block laid out with
    // this alignment (OldPacketInternal::recordRoom).
    std::uint64_t recordRoom = 0;
    CPacketManager::MemoryOperator memop;
    // Used under the pool policies only.
    Detail::BuddyPool pool;
    // Whether the pool operations keep the node statistics.
    std::atomic<bool> nodeStatistics{false};

    // The operations chosen by the policy. allocate may raise size to what it granted.
    void* (*allocate)(PacketManagerInternal& core, std::uint64_t& size) = nullptr;
    void (*release)(PacketManagerInternal& core, void* block) = nullptr;
    void* (*copy)(PacketManagerInternal& core, void* destination, const void* source, std::uint64_t length) = nullptr;

    // Where packets may take their memory without the operations, chosen
    // with them: the C heap itself (the system policy under the default
    // operator), or the pool (either pool policy) while it keeps no node
    // statistics. Packets do it in a few steps inline; everything else goes
    // through the operations.
    enum Direct : std::uint8_t { directNone, directHeap, directPool, directPoolBuffer };
    Direct direct = directNone;
    Direct directNow() const {
        return direct != directHeap && nodeStatistics.load(std::memory_order_relaxed) ? directNone : direct;
    }

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

} // namespace Detail

// The core, created on first use.
inline PacketManagerInternal& packetManagerCore() {
    return *PacketManagerCore::instance(&Detail::makePacketManagerCore);
}

} // namespace Memory
} // namespace Orvane

#endif
