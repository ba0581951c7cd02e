// Test helper for the programs that run the packet manager with its pool.
//
// The configuration freezes at the manager's first use, so each such program
// configures it from a static initialiser (configurePool) and then reaches it
// only through pooledManager(), which creates it without printing.
#ifndef DOZUV2_TESTS_SUPPORT_POOLEDMANAGER_H
#define DOZUV2_TESTS_SUPPORT_POOLEDMANAGER_H

#include "memory/PacketManager.h"
#include "support/CapturePrinter.h"

#include <cstdint>

namespace Orvane {
namespace Testing {

inline bool configurePool(Memory::CPacketManager::Policy policy, std::uint64_t total, std::uint64_t chunk,
                          std::uint64_t align, const Memory::CPacketManager::MemoryOperator* memop = nullptr) {
    Memory::CPacketManager::PoolParameter param;
    param.totalSize = total;
    param.chunkSize = chunk;
    param.alignSize = align;
    Memory::CPacketManager::config(policy, memop, &param);
    return true;
}

inline Memory::CPacketManager& pooledManager() {
    static Memory::CPacketManager* const instance = [] {
        CapturePrinter quiet;
        return Memory::CPacketManager::instance();
    }();
    return *instance;
}

// The first chunk-aligned address of the pool memory: where chunk 0 starts.
inline unsigned char* poolBase(std::uint64_t chunk) {
    const auto memory = reinterpret_cast<std::uintptr_t>(pooledManager().getPoolBuffer());
    return reinterpret_cast<unsigned char*>((memory + chunk - 1) & ~std::uintptr_t{chunk - 1});
}

inline bool insidePool(const void* address, std::uint64_t total, std::uint64_t chunk) {
    const auto at = reinterpret_cast<unsigned char*>(const_cast<void*>(address));
    return at >= poolBase(chunk) && at < poolBase(chunk) + total;
}

} // namespace Testing
} // namespace Orvane

#endif
