// The packet manager: configuration, the core and its policies, node
// statistics and the dumps.
#include "memory/PacketManager.h"

#include "Src/Base/Bits.h"
#include "Src/Common/Containers.h"
#include "Src/Base/NeverDestroyed.h"
#include "Src/Common/Report.h"
#include "Src/Memory/PacketInternal.h"
#include "Src/Memory/PacketManagerInternal.h"
#include "Src/Platform/Thread.h"
#include "virad/Mutex.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace Orvane {
namespace Memory {

namespace {

using Base::NeverDestroyed;
using Virad::CGuard;
using Virad::CMutex;

// The default memory operator: the C runtime's own allocator and copy.
CPacketManager::MemoryOperator cRuntimeOperator() {
    CPacketManager::MemoryOperator memop;
    memop.malloc = &::malloc;
    memop.free = &::free;
    memop.memcpy = &::memcpy;
    return memop;
}

// What config stores until the core exists.
struct Configuration {
    CPacketManager::Policy policy = CPacketManager::policySystem;
    CPacketManager::MemoryOperator memop = cRuntimeOperator();
    CPacketManager::PoolParameter param;
};

Configuration& configuration() {
    static Configuration state;
    return state;
}

// The default operator is built when the library is loaded.
[[maybe_unused]] const bool g_configurationAtLoad = (configuration(), true);

// Which thread holds how much pool memory, by chunk index. Kept for the whole
// process: blocks may come back from exit handlers.
struct NodeUse {
    std::uint32_t threadId;
    std::uint64_t size;
};
struct NodeStatistics {
    CMutex lock;
    Common::Map<std::uint32_t, NodeUse> nodes;
};

NodeStatistics& statistics() {
    static NeverDestroyed<NodeStatistics> state;
    return state.get();
}

void dumpNodeStatistics(const PacketManagerInternal& core) {
    NodeStatistics& stats = statistics();
    CGuard guard(stats.lock);
    if (!core.nodeStatistics.load(std::memory_order_relaxed)) {
        return;
    }
    struct ThreadUse {
        std::uint32_t nodes = 0;
        std::uint64_t size = 0;
    };
    Common::Map<std::uint32_t, ThreadUse> perThread;
    std::uint64_t total = 0;
    for (const auto& entry : stats.nodes) {
        ThreadUse& use = perThread[entry.second.threadId];
        ++use.nodes;
        use.size += entry.second.size;
        total += entry.second.size;
    }
    for (const auto& entry : perThread) {
        std::printf("ThreadID %u  nodes= %u  size(K)= %llu\n", entry.first, entry.second.nodes,
                    static_cast<unsigned long long>(entry.second.size / 1024));
        std::fflush(stdout);
    }
    std::printf("Total  unfree count = %zu packetUsed(K) %llu\n", stats.nodes.size(),
                static_cast<unsigned long long>(total / 1024));
    std::fflush(stdout);
}

void dumpNodesOf(PacketManagerInternal& core) {
    dumpNodeStatistics(core);
    switch (core.policy) {
    case CPacketManager::policySystem:
    case CPacketManager::policyPoolBuffer:
        ::logInfo("CPacketManager dump: SYS Policy\n");
        break;
    case CPacketManager::policyNoPacket:
        break;
    default:
        ::logInfo("CPacketManager: dump FreeList\n");
        core.pool.dumpFreeLists();
        break;
    }
}

// ---- The operations by policy ----

void* systemAllocate(PacketManagerInternal& core, std::uint64_t& size) {
    return core.memop.malloc(size);
}

void systemRelease(PacketManagerInternal& core, void* block) {
    core.memop.free(block);
}

// The same two operations when the operator is the default one, calling the
// C runtime without going through the delegates.
void* heapAllocate(PacketManagerInternal&, std::uint64_t& size) {
    return std::malloc(size);
}

void heapRelease(PacketManagerInternal&, void* block) {
    std::free(block);
}

void* systemCopy(PacketManagerInternal& core, void* destination, const void* source, std::uint64_t length) {
    return core.memop.memcpy(destination, source, length);
}

// What the pool operations do beyond the pool itself: the report of a failed
// allocation, and the node statistics while they are kept. Out of line, so
// that the operations' common path needs no frame.
DOZUV2_NOINLINE void* poolAllocationFailed(PacketManagerInternal& core) {
    VIRAD_REPORT(Virad::LOG_WARN, "CPacket No Free Space, totalSize:%u, freeSize:%u \n",
                 static_cast<unsigned int>(core.totalSize), static_cast<unsigned int>(core.pool.freeSize()));
    if (core.nodeStatistics.load(std::memory_order_relaxed)) {
        dumpNodesOf(core);
    }
    return nullptr;
}

DOZUV2_NOINLINE void* countAllocation(PacketManagerInternal& core, void* block, std::uint64_t size) {
    NodeStatistics& stats = statistics();
    CGuard guard(stats.lock);
    if (core.nodeStatistics.load(std::memory_order_relaxed)) {
        stats.nodes[core.pool.chunkIndex(block)] = NodeUse{Platform::currentThreadId(), size};
    }
    return block;
}

DOZUV2_NOINLINE void uncountAndRelease(PacketManagerInternal& core, void* block) {
    // The entry goes before the block does: once back in the pool the block
    // may be handed to another thread, whose entry must not be removed.
    if (core.pool.contains(block)) {
        NodeStatistics& stats = statistics();
        CGuard guard(stats.lock);
        stats.nodes.erase(core.pool.chunkIndex(block));
    }
    core.pool.release(block);
}

void* poolAllocate(PacketManagerInternal& core, std::uint64_t& size) {
    void* block = core.pool.allocate(size);
    if (block == nullptr) {
        return poolAllocationFailed(core);
    }
    if (core.nodeStatistics.load(std::memory_order_relaxed)) {
        return countAllocation(core, block, size);
    }
    return block;
}

void poolRelease(PacketManagerInternal& core, void* block) {
    if (block == nullptr) {
        return;
    }
    if (core.nodeStatistics.load(std::memory_order_relaxed)) {
        uncountAndRelease(core, block);
        return;
    }
    core.pool.release(block);
}

void* poolCopy(PacketManagerInternal& core, void* destination, const void* source, std::uint64_t length) {
    if (core.pool.contains(destination) && core.pool.contains(source)) {
        return core.memop.memcpy(destination, source, length);
    }
    return std::memcpy(destination, source, length);
}

} // namespace

namespace Detail {

PacketManagerInternal* makePacketManagerCore() {
    const Configuration& config = configuration();
    PacketManagerInternal* core = new (std::nothrow) PacketManagerInternal;
    VIRAD_ASSERT(core);
    core->policy = config.policy;
    core->totalSize = config.param.totalSize;
    core->alignment = Base::floorPowerOfTwo(config.param.alignSize);
    core->recordRoom = OldPacketInternal::recordRoom(core->alignment);
    core->memop = config.memop;
    core->allocate = &systemAllocate;
    core->release = &systemRelease;
    core->copy = &systemCopy;
    const CPacketManager::MemoryOperator cRuntime = cRuntimeOperator();
    if (core->memop.malloc == cRuntime.malloc && core->memop.free == cRuntime.free) {
        core->allocate = &heapAllocate;
        core->release = &heapRelease;
        if (core->policy == CPacketManager::policySystem) {
            core->direct = PacketManagerInternal::directHeap;
        }
    }
    if (core->policy == CPacketManager::policySystem) {
        ::logInfo("CPacketManager: System Policy\n");
    } else if (core->hasPool()) {
        core->allocate = &poolAllocate;
        core->release = &poolRelease;
        core->copy = &poolCopy;
        core->direct = core->policy == CPacketManager::policyPool ? PacketManagerInternal::directPool
                                                                  : PacketManagerInternal::directPoolBuffer;
        core->pool.create(config.param.totalSize, config.param.chunkSize, config.memop.malloc, config.memop.free);
    }
    return core;
}

} // namespace Detail

// ---- Configuration ----

void CPacketManager::config(Policy policy, const MemoryOperator* memop, const PoolParameter* param) {
    if (PacketManagerCore::existing() != nullptr) {
        VIRAD_REPORT(Virad::LOG_WARN,
                     "PacketManagerInternal::config() failured: Packet Manager has been configured!\n");
        return;
    }
    Configuration& state = configuration();
    if (policy >= policySystem && policy <= policyNoPacket) {
        state.policy = policy;
    } else if (policy != policyKeep) {
        // The core knows only the four policies; anything else keeps the current one.
        VIRAD_REPORT(Virad::LOG_WARN, "PacketManagerInternal::config() unknown policy:%d, policy %d kept\n",
                     static_cast<int>(policy), static_cast<int>(state.policy));
    }
    if (param != nullptr) {
        VIRAD_ASSERT(param->chunkSize >= 1024 && param->chunkSize > 0 && param->totalSize % param->chunkSize == 0);
        VIRAD_ASSERT(param->alignSize >= 4);
        state.param = *param;
    }
    if (memop != nullptr) {
        VIRAD_ASSERT(!memop->malloc.empty() && !memop->free.empty() && !memop->memcpy.empty());
        state.memop = *memop;
    }
}

// ---- The process-wide manager ----

// Deletes the handle at exit (its destructor is private). The handle holds
// nothing but the core, which stays; a call of instance() after this (from a
// later exit handler) builds a new handle.
struct PacketManagerInstance {
    void operator()(CPacketManager* manager) const { delete manager; }
};

CPacketManager::CPacketManager() : m_internal(&packetManagerCore()) {}

CPacketManager::~CPacketManager() = default;

CPacketManager* CPacketManager::instance() {
    return Common::ProcessWide<CPacketManager, Common::AtExit::destroy, PacketManagerInstance>::instance([] {
        {
            NodeStatistics& stats = statistics();
            CGuard statsGuard(stats.lock);
            stats.nodes.clear();
        }
        return new (std::nothrow) CPacketManager;
    });
}

// ---- Allocation and copy ----

void* CPacketManager::malloc(std::uint64_t size) {
    return m_internal->allocate(*m_internal, size);
}

void CPacketManager::free(void* pointer) {
    m_internal->release(*m_internal, pointer);
}

void* CPacketManager::memcpy(void* destination, const void* source, std::uint64_t length) {
    return m_internal->copy(*m_internal, destination, source, length);
}

// ---- Pool state, statistics and dumps ----

unsigned char* CPacketManager::getPoolBuffer() {
    return m_internal->hasPool() ? m_internal->pool.memory() : nullptr;
}

std::uint64_t CPacketManager::getBufferSize() {
    return m_internal->hasPool() ? m_internal->totalSize : 0;
}

std::uint64_t CPacketManager::getFreeSize() {
    return m_internal->hasPool() ? m_internal->pool.freeSize() : 0;
}

void CPacketManager::enableNodesStatistics(bool enable) {
    NodeStatistics& stats = statistics();
    CGuard guard(stats.lock);
    m_internal->nodeStatistics.store(enable, std::memory_order_relaxed);
    if (!enable) {
        stats.nodes.clear();
    }
}

void CPacketManager::dumpNodes() {
    dumpNodesOf(*m_internal);
}

} // namespace Memory
} // namespace Orvane
