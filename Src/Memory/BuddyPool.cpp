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

    // The order bytes follow the nodes in one allocation.
    m_nodes = static_cast<ChunkNode*>(std::malloc((sizeof(ChunkNode) + 1) * (m_chunkCount + 1u)));
    if (m_nodes == nullptr) {
        fatal("ChunkNode malloc failed!\n");
    }
    m_orders = reinterpret_cast<std::int8_t*>(m_nodes + m_chunkCount + 1u);
    m_lists = static_cast<Link*>(std::malloc(sizeof(Link) * (m_orderCount + 1u)));
    if (m_lists == nullptr) {
        fatal("BufferList malloc failed!\n");
    }
    for (std::uint32_t i = 0; i < m_chunkCount; ++i) {
        m_nodes[i].prev = m_nodes[i].next = nullptr;
        m_orders[i] = 0;
    }
    for (std::uint32_t k = 0; k < m_orderCount; ++k) {
        m_lists[k].prev = m_lists[k].next = &m_lists[k];
    }
    m_nonEmpty = 0;

    // From the top order down, lay out as many blocks as still fit.
    std::uint32_t carved = 0;
    for (std::uint32_t k = m_orderCount; k-- > 0;) {
        const std::uint32_t blockChunks = 1u << k;
        while (m_chunkCount - carved >= blockChunks) {
            m_orders[carved] = static_cast<std::int8_t>(k + 1);
            pushBack(k, carved);
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
    return (sizeof(ChunkNode) + 1) * std::uint64_t{m_chunkCount} + sizeof(Link) * std::uint64_t{m_orderCount};
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
    const std::uint64_t large = m_nonEmpty & (~std::uint64_t{0} << r);
    if (large == 0) {
        return nullptr;
    }
    std::uint32_t k = Base::lowestSetBit(large);
    Link* taken = m_lists[k].next;
    remove(k, *taken);
    std::uint32_t index = indexOf(taken);
    // Halve down to the wanted order, keeping the upper half each time.
    while (k > r) {
        --k;
        m_orders[index] = static_cast<std::int8_t>(k + 1);
        pushFront(k, index);
        index += 1u << k;
    }
    m_orders[index] = static_cast<std::int8_t>(-static_cast<int>(r + 1));
    m_quickRelease.store(nullptr, std::memory_order_relaxed);
    m_freeChunks -= std::uint64_t{1} << r;
    ++m_blocksOut;
    size = m_chunkSize << r;
    return m_base + (std::uint64_t{index} << m_chunkShift);
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
    const int order = -m_orders[index];
    // Only the first chunk of an allocated block has a negative order: this
    // catches a double release and a pointer into the middle of a block.
    VIRAD_ASSERT(order > 0);
    const auto k = static_cast<std::uint32_t>(order - 1);
    if (!m_closing && nextAllocationUndoes(index, k)) {
        // Left on the counts as allocated; freeSize adds it (see settle).
        m_recent.address = m_base + (std::uint64_t{index} << m_chunkShift);
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
    m_orders[index] = 0;
    std::uint32_t order = k + 1;
    while (order < m_orderCount) {
        const std::uint32_t half = 1u << (order - 1);
        const std::uint32_t buddy = index ^ half;
        if (buddy >= m_chunkCount || m_orders[buddy] != static_cast<std::int8_t>(order)) {
            break;
        }
        remove(order - 1, m_nodes[buddy]);
        m_orders[buddy] = 0;
        index &= ~half;
        ++order;
    }
    m_orders[index] = static_cast<std::int8_t>(order);
    pushFront(order - 1, index);
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
        if (buddy >= m_chunkCount || m_orders[buddy] != static_cast<std::int8_t>(k + 1)) {
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
        indexes.push_back(indexOf(at));
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
            add("BufferList id:%d, order:%d, head:%p, headpre:%p, next:%p\n", static_cast<int>(k),
                static_cast<int>(k + 1), static_cast<void*>(&head), static_cast<void*>(head.prev),
                static_cast<void*>(head.next));
            for (Link* at = head.next; at != &head; at = at->next) {
                const std::uint32_t index = indexOf(at);
                add("bufflist:%d, id:%d, realIdx:%d, self:%p, order:%d, pre:%p, next:%p\n", static_cast<int>(k), 0,
                    static_cast<int>(index), static_cast<const void*>(at), static_cast<int>(m_orders[index]),
                    static_cast<void*>(at->prev), static_cast<void*>(at->next));
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
    m_orders = nullptr;
    m_lists = nullptr;
    m_nonEmpty = 0;
    m_freeChunks = 0;
}

} // namespace Detail
} // namespace Memory
} // namespace Orvane
