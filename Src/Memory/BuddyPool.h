// The buddy pool behind the packet manager's pool policies.
//
// One contiguous reservation is cut into chunks of a power-of-two size. A
// block of order k is 2^k consecutive chunks; free blocks wait on one list per
// order. An allocation takes the smallest free block that is large enough and
// halves it until it fits, keeping the highest-addressed piece and putting the
// lower halves on the front of their lists; a release merges the block with
// its free buddy for as long as there is one. A bitmap of the lists that are
// not empty finds the list to take from in one bit scan, and a byte per chunk
// holding its order value answers every buddy test, so neither walks more
// than one step per order, however many blocks are held or free.
//
// The reservation is carved at creation from the top order down, so a pool
// whose chunk count is not a power of two starts as a few blocks of falling
// orders laid out from its first chunk upward.
//
// Releasing a block and then asking for a block of the same order is the
// commonest use (a packet made and dropped in a loop), and from an otherwise
// empty pool it costs a merge and a split across every order. Where the pair
// is certain to grant that same block and leave every list as it was, the
// release is held back instead: the block is counted free, and the next
// allocation of its order takes it straight back. Anything else first
// completes the held-back release, so every grant, list and count is the one
// the plain algorithm gives.
//
// Thread-safety: allocate, release, freeSize and the dumps take the pool lock.
#ifndef DOZUV2_MEMORY_BUDDYPOOL_H
#define DOZUV2_MEMORY_BUDDYPOOL_H

#include "Src/Base/Bits.h"
#include "Src/Common/Containers.h"
#include "Src/Base/ShortLock.h"
#include "virad/Function.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Orvane {
namespace Memory {
namespace Detail {

class BuddyPool {
public:
    using Allocate = Virad::TFunction1<void*, std::size_t>;
    using Release = Virad::TFunction1<void, void*>;

    BuddyPool() = default;
    ~BuddyPool();
    BuddyPool(const BuddyPool&) = delete;
    BuddyPool& operator=(const BuddyPool&) = delete;

    // Reserves totalSize bytes in chunks of chunkSize (rounded down to a power
    // of two) from allocate, plus one spare chunk so the pool can start on a
    // chunk boundary, and carves it. Failure to get any of its memory is
    // fatal. release is what gives the reservation back.
    void create(std::uint64_t totalSize, std::uint64_t chunkSize, const Allocate& allocate, const Release& release);

    // A block of the smallest order that holds size bytes; size becomes the
    // block's size. Null, with size unchanged, when size is 0, larger than
    // the largest block, or no block that large is free.
    DOZUV2_ALWAYS_INLINE void* allocate(std::uint64_t& size) {
        void* block = takeBack(size);
        return block != nullptr ? block : allocateSlow(size);
    }
    // Gives back a block that allocate returned; null does nothing. A pointer
    // outside the pool, or one that is not the start of an allocated block,
    // ends the process.
    DOZUV2_ALWAYS_INLINE void release(void* block) {
        if (!holdBackAgain(block)) {
            releaseSlow(block);
        }
    }

    // The two halves of allocate and of release, for callers that keep their
    // own common path free of calls. takeBack and holdBackAgain are inline
    // and make no call: taking back the held-back block, and holding back
    // again the block just taken back, are a compare and two stores under
    // the lock. A first look without the lock skips the lock when they
    // cannot apply, so allocateSlow and releaseSlow take it only once; and
    // they do not wait for the lock: while another thread holds it, the slow
    // half does.
    //
    // The held-back block, when it is of the order size asks for (size
    // becomes its size); null otherwise.
    DOZUV2_ALWAYS_INLINE void* takeBack(std::uint64_t& size) {
        const int wanted = orderFor(size);
        const auto r = static_cast<std::uint32_t>(wanted);
        if (wanted < 0 || m_heldBackOrder.load(std::memory_order_relaxed) != r) {
            return nullptr;
        }
        std::unique_lock<Base::ShortLock> guard(m_lock, std::try_to_lock);
        if (!guard.owns_lock() || m_heldBackOrder.load(std::memory_order_relaxed) != r) {
            return nullptr;
        }
        // The held-back release and this allocation undo each other. The
        // block was never taken off the counts, so they stay as they are.
        m_heldBackOrder.store(kNone, std::memory_order_relaxed);
        m_quickRelease.store(m_recent.address, std::memory_order_relaxed);
        size = m_chunkSize << r;
        return m_recent.address;
    }
    // Holds back the release of the block just taken back, while the lists
    // are as they were then; false, with nothing done, for any other block.
    DOZUV2_ALWAYS_INLINE bool holdBackAgain(void* block) {
        if (block == nullptr || m_quickRelease.load(std::memory_order_relaxed) != block) {
            return false;
        }
        std::unique_lock<Base::ShortLock> guard(m_lock, std::try_to_lock);
        if (!guard.owns_lock() || m_quickRelease.load(std::memory_order_relaxed) != block) {
            return false;
        }
        m_quickRelease.store(nullptr, std::memory_order_relaxed);
        m_heldBackOrder.store(m_recent.order, std::memory_order_relaxed);
        return true;
    }
    // allocate and release without those two cases' shortcut.
    void* allocateSlow(std::uint64_t& size);
    void releaseSlow(void* block);

    // Bytes in free blocks.
    std::uint64_t freeSize();
    // Whether the address lies inside the pool.
    bool contains(const void* address) const {
        const auto at = reinterpret_cast<std::uintptr_t>(address);
        const auto base = reinterpret_cast<std::uintptr_t>(m_base);
        return at >= base && at - base < m_poolBytes;
    }
    // The chunk index of an address inside the pool.
    std::uint32_t chunkIndex(const void* address) const {
        return static_cast<std::uint32_t>(
            (reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(m_base)) >> m_chunkShift);
    }

    // What the memory operator returned for the reservation.
    unsigned char* memory() const { return m_memory; }
    // The first chunk boundary in the reservation.
    unsigned char* base() const { return m_base; }
    std::uint64_t chunkSize() const { return m_chunkSize; }
    std::uint32_t chunkCount() const { return m_chunkCount; }
    std::uint32_t orderCount() const { return m_orderCount; }
    // Bytes of the node and list-head arrays.
    std::uint64_t managementSize() const;

    // The chunk indexes of the blocks on free list k, front first.
    Common::Vector<std::uint32_t> freeBlocks(std::uint32_t order);
    // Prints every free list and its blocks through the print path.
    void dumpFreeLists();

    // For process exit: the reservation and the arrays are given back now,
    // or, while blocks are still out, when the last of them comes back.
    // Later allocations from a pool that has been given back fail.
    void close();

private:
    // A place on a circular, doubly linked free list: a list head, or the
    // node of a chunk that starts a free block. A node is found from its
    // chunk index and back by its place in the node array.
    struct Link {
        Link* prev;
        Link* next;
    };
    using ChunkNode = Link;

    static void unlink(Link& node) {
        node.prev->next = node.next;
        node.next->prev = node.prev;
    }
    static void insertAfter(Link& where, Link& node) {
        node.prev = &where;
        node.next = where.next;
        where.next->prev = &node;
        where.next = &node;
    }
    // Lists a free block at the front, or the back, of list k; takes one off.
    void pushFront(std::uint32_t k, std::uint32_t index) {
        insertAfter(m_lists[k], m_nodes[index]);
        m_nonEmpty |= std::uint64_t{1} << k;
    }
    void pushBack(std::uint32_t k, std::uint32_t index) {
        insertAfter(*m_lists[k].prev, m_nodes[index]);
        m_nonEmpty |= std::uint64_t{1} << k;
    }
    void remove(std::uint32_t k, Link& node) {
        unlink(node);
        if (m_lists[k].next == &m_lists[k]) {
            m_nonEmpty &= ~(std::uint64_t{1} << k);
        }
    }
    std::uint32_t indexOf(const Link* node) const { return static_cast<std::uint32_t>(node - m_nodes); }
    // The order whose blocks hold size bytes, or -1.
    int orderFor(std::uint64_t size) const {
        if (size == 0) {
            return -1;
        }
        const std::uint64_t chunks = (size >> m_chunkShift) + ((size & m_chunkMask) != 0 ? 1 : 0);
        const std::uint32_t order = chunks <= 1 ? 0 : Base::floorLog2(chunks - 1) + 1;
        return order < m_orderCount ? static_cast<int>(order) : -1;
    }
    // What a closed pool gives back, taken out under the lock and given back
    // when it goes, after the lock: the release procedure is the caller's
    // and may itself use the pool.
    struct Retired {
        Release release;
        unsigned char* memory = nullptr;
        void* nodes = nullptr;
        void* lists = nullptr;
        ~Retired();
    };
    // Moves the reservation and the arrays into retired; under the lock.
    void retire(Retired& retired);

    // The chunk index of a block given back; a pointer outside the pool ends
    // the process.
    std::uint32_t checkedIndex(const void* block) const;
    // Releases an allocated block, or holds its release back; under the lock.
    void releaseLocked(const void* block);
    // The release once closing has begun (which never ends): the last block
    // back gives the pool back, after the lock.
    void releaseWhileClosing(const void* block);
    // Merges the free block at index, of order k, with its free buddies and
    // lists the result; under the lock.
    void mergeAndList(std::uint32_t index, std::uint32_t k);
    // Completes a held-back release, if there is one; under the lock. A
    // held-back block stays on the counts as allocated until then (freeSize
    // adds it), so the release and the allocation that undoes it leave the
    // counts alone.
    void settle() {
        const std::uint32_t k = m_heldBackOrder.load(std::memory_order_relaxed);
        if (k != kNone) {
            m_heldBackOrder.store(kNone, std::memory_order_relaxed);
            m_freeChunks += std::uint64_t{1} << k;
            --m_blocksOut;
            mergeAndList(m_recent.index, k);
        }
    }
    // Whether releasing the allocated block at index, of order k, and then
    // allocating order k would give that block and leave every list as it is
    // now; under the lock.
    bool nextAllocationUndoes(std::uint32_t index, std::uint32_t k) const;

    // Every operation is a few list steps, so a short lock: one atomic step
    // and no call when nobody else is in the pool.
    Base::ShortLock m_lock;
    Release m_release;
    unsigned char* m_memory = nullptr;
    unsigned char* m_base = nullptr;
    ChunkNode* m_nodes = nullptr;
    // The order value of every chunk: k + 1 for the first chunk of a free
    // block of order k (on list k), -(k + 1) for the first chunk of an
    // allocated block of order k, 0 for every other chunk. One byte a chunk,
    // apart from the nodes, so that the buddy tests of a merge read a few
    // cache lines however large the pool. (In the nodes' allocation, after them.)
    std::int8_t* m_orders = nullptr;
    Link* m_lists = nullptr;
    // Bit k is set while list k is not empty: the smallest free block that is
    // large enough is one bit scan away.
    std::uint64_t m_nonEmpty = 0;
    std::uint64_t m_chunkSize = 0;
    std::uint64_t m_poolBytes = 0;
    std::uint32_t m_chunkMask = 0;
    std::uint32_t m_chunkShift = 0;
    std::uint32_t m_chunkCount = 0;
    std::uint32_t m_orderCount = 0;
    // Kept so freeSize does not walk the lists, and so exit knows when the
    // last block is back. A held-back block is still counted allocated in
    // both; freeSize adds it, and everything else settles it first.
    std::uint64_t m_freeChunks = 0;
    std::uint64_t m_blocksOut = 0;
    bool m_closing = false;

    static constexpr std::uint32_t kNone = ~std::uint32_t{0};
    // The block whose release was last held back.
    struct Recent {
        unsigned char* address = nullptr;
        std::uint32_t index = kNone;
        std::uint32_t order = 0;
    };
    Recent m_recent;
    // The recent block's order while its release is held back (the block is
    // counted free, still marked allocated and on no list); kNone otherwise.
    // Written under the lock; atomic only for the look without it.
    std::atomic<std::uint32_t> m_heldBackOrder{kNone};
    // The recent block's address once it has been taken back, for as long as
    // the lists stay as they are and nothing else is held back; null
    // otherwise. Releasing it again then meets the same lists it was held
    // back from, so that release is held back at once, unchecked. Anything
    // that changes the lists clears it, and so does closing. Written under
    // the lock; atomic only for the look without it.
    std::atomic<unsigned char*> m_quickRelease{nullptr};
};

} // namespace Detail
} // namespace Memory
} // namespace Orvane

#endif
