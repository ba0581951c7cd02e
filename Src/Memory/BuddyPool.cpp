// The buddy pool: carving, splitting, merging and the free-list dump.
#include "Src/Memory/BuddyPool.h"

#include "Src/Base/Bits.h"
#include "Src/Common/Report.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace Orvane {
namespace Memory {
namespace Detail {

namespace {

[[noreturn]] void fatal(const char* message) {
    VIRAD_REPORT(Virad::LOG_FATAL, "%s", message);
    Virad::Detail::assertionFailedMsg("false", message, DOZUV2_FUNCTION_SIGNATURE, __FILE__, __LINE__);
}

} // namespace

BuddyPool::~BuddyPool() {
    if (m_nodes != nullptr) {
        Retired retired;
        retire(retired);
    }
}

void BuddyPool::create(std::uint64_t totalSize, std::uint64_t chunkSize, const Allocate& allocate,
                       const Release& release) {
    m_release = release;
    m_chunkShift = Base::floorLog2(chunkSize);
    m_chunkSize = std::uint64_t{1} << m_chunkShift;
    m_chunkMask = static_cast<std::uint32_t>(m_chunkSize - 1);
    m_chunkCount = static_cast<std::uint32_t>(totalSize >> m_chunkShift);
    m_orderCount = m_chunkCount == 0 ? 0 : Base::floorLog2(m_chunkCount) + 1;
    m_poolBytes = std::uint64_t{m_chunkCount} << m_chunkShift;

    // The spare chunk leaves room to move the start up to a chunk boundary.
    m_memory = static_cast<unsigned char*>(allocate((std::uint64_t{m_chunkCount} + 1) * m_chunkSize));
    if (m_memory == nullptr) {
        fatal("sm_param.chunkSize malloc failed!\n");
    }
    const auto raw = reinterpret_cast<std::uintptr_t>(m_memory);
    m_base = m_memory + (((raw + m_chunkMask) & ~std::uintptr_t{m_chunkMask}) - raw);

    m_nodes = static_cast<ChunkNode*>(std::malloc(sizeof(ChunkNode) * (m_chunkCount + 1u)));
    if (m_nodes == nullptr) {
        fatal("ChunkNode malloc failed!\n");
    }
    m_lists = static_cast<Link*>(std::malloc(sizeof(Link) * (m_orderCount + 1u)));
    if (m_lists == nullptr) {
        fatal("BufferList malloc failed!\n");
    }
    for (std::uint32_t i = 0; i < m_chunkCount; ++i) {
        ChunkNode& node = m_nodes[i];
        node.prev = node.next = nullptr;
        node.order = 0;
        node.index = i;
        node.address = m_base + (std::uint64_t{i} << m_chunkShift);
    }
    for (std::uint32_t k = 0; k < m_orderCount; ++k) {
        m_lists[k].prev = m_lists[k].next = &m_lists[k];
        m_lists[k].order = static_cast<std::int32_t>(k + 1);
    }

    // From the top order down, lay out as many blocks as still fit.
    std::uint32_t carved = 0;
    for (std::uint32_t k = m_orderCount; k-- > 0;) {
        const std::uint32_t blockChunks = 1u << k;
        while (m_chunkCount - carved >= blockChunks) {
            ChunkNode& first = m_nodes[carved];
            first.order = static_cast<std::int32_t>(k + 1);
            insertAfter(*m_lists[k].prev, first);
            carved += blockChunks;
        }
    }
    m_freeChunks = m_chunkCount;

    ::logInfo("CPacketManager: malloc total:%zu pagesize:%zublockCount:%d ManagermentSize:%zu\n",
              static_cast<std::size_t>(totalSize), static_cast<std::size_t>(chunkSize), static_cast<int>(m_chunkCount),
              static_cast<std::size_t>(managementSize()));
    ::logInfo("AddrRange:%p/%p)\n", static_cast<void*>(m_base), static_cast<void*>(m_base + m_poolBytes));
}

std::uint64_t BuddyPool::managementSize() const {
    return sizeof(ChunkNode) * std::uint64_t{m_chunkCount} + sizeof(Link) * std::uint64_t{m_orderCount};
}

DOZUV2_NOINLINE void* BuddyPool::allocateSlow(std::uint64_t& size) {
    const int wanted = orderFor(size);
    if (wanted < 0) {
        return nullptr;
    }
    const auto r = static_cast<std::uint32_t>(wanted);
    std::lock_guard<Base::ShortLock> guard(m_lock);
    if (m_nodes == nullptr) {
        return nullptr;
    }
    // (A held-back block of order r that came back after takeBack looked is
    // settled and split again here, which grants that same block.)
    settle();
    std::uint32_t k = r;
    while (k < m_orderCount && m_lists[k].next == &m_lists[k]) {
        ++k;
    }
    if (k >= m_orderCount) {
        return nullptr;
    }
    Link* taken = m_lists[k].next;
    unlink(*taken);
    std::uint32_t index = static_cast<ChunkNode*>(taken)->index;
    // Halve down to the wanted order, keeping the upper half each time.
    while (k > r) {
        --k;
        ChunkNode& lower = m_nodes[index];
        lower.order = static_cast<std::int32_t>(k + 1);
        insertAfter(m_lists[k], lower);
        index += 1u << k;
    }
    m_nodes[index].order = -static_cast<std::int32_t>(r + 1);
    m_quickRelease.store(nullptr, std::memory_order_relaxed);
    m_freeChunks -= std::uint64_t{1} << r;
    ++m_blocksOut;
    size = m_chunkSize << r;
    return m_nodes[index].address;
}

std::uint32_t BuddyPool::checkedIndex(const void* block) const {
    const auto id = static_cast<std::intptr_t>(reinterpret_cast<std::uintptr_t>(block) -
                                               reinterpret_cast<std::uintptr_t>(m_base)) >>
                    m_chunkShift;
    VIRAD_ASSERT(id >= 0);
    VIRAD_ASSERT(id < static_cast<std::intptr_t>(m_chunkCount));
    return static_cast<std::uint32_t>(id);
}

DOZUV2_NOINLINE void BuddyPool::releaseSlow(void* block) {
    if (block == nullptr) {
        return;
    }
    {
        std::lock_guard<Base::ShortLock> guard(m_lock);
        if (!m_closing) {
            releaseLocked(block);
            return;
        }
    }
    releaseWhileClosing(block);
}

void BuddyPool::releaseWhileClosing(const void* block) {
    Retired retired;
    std::lock_guard<Base::ShortLock> guard(m_lock);
    releaseLocked(block);
    if (m_blocksOut == 0) {
        retire(retired);
    }
}

void BuddyPool::releaseLocked(const void* block) {
    const std::uint32_t index = checkedIndex(block);
    VIRAD_ASSERT(m_nodes != nullptr);
    settle();
    const std::int32_t order = -m_nodes[index].order;
    // Only the first chunk of an allocated block has a negative order: this
    // catches a double release and a pointer into the middle of a block.
    VIRAD_ASSERT(order > 0);
    const auto k = static_cast<std::uint32_t>(order - 1);
    if (!m_closing && nextAllocationUndoes(index, k)) {
        // Left on the counts as allocated; freeSize adds it (see settle).
        m_recent.address = m_nodes[index].address;
        m_recent.index = index;
        m_recent.order = k;
        m_heldBackOrder.store(k, std::memory_order_relaxed);
        m_quickRelease.store(nullptr, std::memory_order_relaxed);
        return;
    }
    m_freeChunks += std::uint64_t{1} << k;
    --m_blocksOut;
    mergeAndList(index, k);
}

void BuddyPool::mergeAndList(std::uint32_t index, std::uint32_t k) {
    m_nodes[index].order = 0;
    auto order = static_cast<std::int32_t>(k + 1);
    while (static_cast<std::uint32_t>(order) < m_orderCount) {
        const std::uint32_t half = 1u << (order - 1);
        const std::uint32_t buddy = index ^ half;
        if (buddy >= m_chunkCount || m_nodes[buddy].order != order) {
            break;
        }
        unlink(m_nodes[buddy]);
        m_nodes[buddy].order = 0;
        index &= ~half;
        ++order;
    }
    ChunkNode& merged = m_nodes[index];
    merged.order = order;
    insertAfter(m_lists[order - 1], merged);
    m_quickRelease.store(nullptr, std::memory_order_relaxed);
}

// The release merges the block up to some order K and lists the result in
// front of list K; the allocation then takes the first block of the lowest
// list from k up that is not empty and halves it down to k, keeping the upper
// half and listing each lower half in front of its list. The pair restores
// everything when, at every order the merging climbs, the block is the upper
// half and its buddy is alone on its list: those lists are then empty after
// the merge, so the allocation takes the merged block, halves it back into
// the same pieces and lists each buddy alone again.
bool BuddyPool::nextAllocationUndoes(std::uint32_t index, std::uint32_t k) const {
    for (; k + 1 < m_orderCount; ++k) {
        const std::uint32_t half = 1u << k;
        const std::uint32_t buddy = index ^ half;
        if (buddy >= m_chunkCount || m_nodes[buddy].order != static_cast<std::int32_t>(k + 1)) {
            return true; // the merging stops here
        }
        const Link& list = m_lists[k];
        if ((index & half) == 0 || list.next != &m_nodes[buddy] || list.prev != &m_nodes[buddy]) {
            return false;
        }
        index = buddy;
    }
    return true;
}

std::uint64_t BuddyPool::freeSize() {
    std::lock_guard<Base::ShortLock> guard(m_lock);
    const std::uint32_t k = m_heldBackOrder.load(std::memory_order_relaxed);
    const std::uint64_t heldBack = k != kNone ? std::uint64_t{1} << k : 0;
    return (m_freeChunks + heldBack) << m_chunkShift;
}

Common::Vector<std::uint32_t> BuddyPool::freeBlocks(std::uint32_t order) {
    Common::Vector<std::uint32_t> indexes;
    std::lock_guard<Base::ShortLock> guard(m_lock);
    if (order >= m_orderCount || m_nodes == nullptr) {
        return indexes;
    }
    settle();
    for (Link* at = m_lists[order].next; at != &m_lists[order]; at = at->next) {
        indexes.push_back(static_cast<ChunkNode*>(at)->index);
    }
    return indexes;
}

void BuddyPool::dumpFreeLists() {
    // The lines are printed after the lock: a printer may itself use the pool.
    Common::Vector<Common::String> lines;
    const auto add = [&lines](const char* format, auto... values) {
        char line[192];
        std::snprintf(line, sizeof line, format, values...);
        lines.emplace_back(line);
    };
    {
        std::lock_guard<Base::ShortLock> guard(m_lock);
        if (m_nodes == nullptr) {
            return;
        }
        settle();
        for (std::uint32_t k = 0; k < m_orderCount; ++k) {
            Link& head = m_lists[k];
            add("BufferList id:%d, order:%d, head:%p, headpre:%p, next:%p\n", static_cast<int>(k), head.order,
                static_cast<void*>(&head), static_cast<void*>(head.prev), static_cast<void*>(head.next));
            for (Link* at = head.next; at != &head; at = at->next) {
                const auto* node = static_cast<ChunkNode*>(at);
                add("bufflist:%d, id:%d, realIdx:%d, self:%p, order:%d, pre:%p, next:%p\n", static_cast<int>(k), 0,
                    static_cast<int>(node->index), static_cast<const void*>(node), node->order,
                    static_cast<void*>(node->prev), static_cast<void*>(node->next));
            }
        }
    }
    for (const Common::String& line : lines) {
        ::logInfo("%s", line.c_str());
    }
}

void BuddyPool::close() {
    Retired retired;
    std::lock_guard<Base::ShortLock> guard(m_lock);
    m_closing = true;
    m_quickRelease.store(nullptr, std::memory_order_relaxed);
    if (m_nodes != nullptr) {
        settle();
        if (m_blocksOut == 0) {
            retire(retired);
        }
    }
}

BuddyPool::Retired::~Retired() {
    if (memory != nullptr && !release.empty()) {
        release(memory);
    }
    std::free(nodes);
    std::free(lists);
}

void BuddyPool::retire(Retired& retired) {
    retired.release = m_release;
    retired.memory = m_memory;
    retired.nodes = m_nodes;
    retired.lists = m_lists;
    // The shape (base, counts) stays as it was: it is read without the lock.
    m_memory = nullptr;
    m_nodes = nullptr;
    m_lists = nullptr;
    m_freeChunks = 0;
}

} // namespace Detail
} // namespace Memory
} // namespace Orvane
