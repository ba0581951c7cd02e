// The buddy pool under any sequence of allocations and releases.
//
// Properties: a granted block is the smallest power-of-two run of chunks
// that holds the size asked for, lies inside the pool on a boundary of its
// own size and overlaps no other block held; a refusal means the size was 0,
// larger than the largest block, or no free block was large enough; the free
// size always equals what the free lists hold and the pool minus the blocks
// held; once every block is back, in any order, the free lists are exactly
// the blocks carved at creation (no merge across their bounds).
#include "support/FuzzCheck.h"

#include "Src/Memory/BuddyPool.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <vector>

using Orvane::Memory::Detail::BuddyPool;

namespace {

constexpr std::uint64_t kChunk = 1024;

using Lists = std::vector<std::vector<std::uint32_t>>;

Lists freeLists(BuddyPool& pool) {
    Lists lists;
    for (std::uint32_t k = 0; k < pool.orderCount(); ++k) {
        const auto list = pool.freeBlocks(k);
        lists.emplace_back(list.begin(), list.end());
    }
    return lists;
}

std::uint64_t listedBytes(const Lists& lists) {
    std::uint64_t bytes = 0;
    for (std::size_t k = 0; k < lists.size(); ++k) {
        bytes += lists[k].size() * (kChunk << k);
    }
    return bytes;
}

} // namespace

FUZZ_QUIET_START()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint32_t chunks = in.ConsumeIntegralInRange<std::uint32_t>(1, 700);
    BuddyPool pool;
    pool.create(chunks * kChunk, kChunk, BuddyPool::Allocate(&std::malloc), BuddyPool::Release(&std::free));
    const Lists carved = freeLists(pool);
    const std::uint64_t total = std::uint64_t{chunks} * kChunk;
    FUZZ_CHECK(listedBytes(carved) == total, "a pool of %u chunks lists %llu bytes", chunks,
               static_cast<unsigned long long>(listedBytes(carved)));
    FUZZ_CHECK(pool.freeSize() == total, "a pool of %u chunks has %llu bytes free", chunks,
               static_cast<unsigned long long>(pool.freeSize()));
    std::uint64_t largest = kChunk;
    while (largest * 2 <= total) {
        largest *= 2;
    }

    std::map<std::uint64_t, std::uint64_t> held; // offset from the base -> granted size
    std::uint64_t heldBytes = 0;
    while (in.remaining_bytes() > 0) {
        if (held.empty() || in.ConsumeBool()) {
            const std::uint64_t asked = in.ConsumeIntegralInRange<std::uint64_t>(0, largest + 1);
            std::uint64_t granted = asked;
            void* block = pool.allocate(granted);
            std::uint64_t fits = kChunk;
            while (fits < asked) {
                fits *= 2;
            }
            if (block == nullptr) {
                const Lists lists = freeLists(pool);
                bool anyLargeEnough = false;
                for (std::size_t k = 0; k < lists.size(); ++k) {
                    anyLargeEnough = anyLargeEnough || ((kChunk << k) >= fits && !lists[k].empty());
                }
                FUZZ_CHECK(granted == asked, "a refusal of %llu bytes changed the size to %llu",
                           static_cast<unsigned long long>(asked), static_cast<unsigned long long>(granted));
                // A refusal is right for nothing asked, more than the pool's largest block, or no block free.
                const bool refusable = asked == 0 || asked > largest || !anyLargeEnough;
                FUZZ_CHECK(refusable, "%llu bytes refused although a block was free",
                           static_cast<unsigned long long>(asked));
                continue;
            }
            const auto offset = static_cast<std::uint64_t>(static_cast<unsigned char*>(block) - pool.base());
            FUZZ_CHECK(granted == fits, "%llu bytes: granted %llu, not %llu", static_cast<unsigned long long>(asked),
                       static_cast<unsigned long long>(granted), static_cast<unsigned long long>(fits));
            FUZZ_CHECK(offset % granted == 0, "a block of %llu at offset %llu",
                       static_cast<unsigned long long>(granted), static_cast<unsigned long long>(offset));
            FUZZ_CHECK(offset + granted <= total, "a block of %llu at offset %llu ends past %llu",
                       static_cast<unsigned long long>(granted), static_cast<unsigned long long>(offset),
                       static_cast<unsigned long long>(total));
            // The nearest held blocks above and below must end before it and start after it.
            const auto next = held.lower_bound(offset);
            const std::uint64_t nextStart = next == held.end() ? total : next->first;
            const std::uint64_t previousEnd =
                next == held.begin() ? 0 : std::prev(next)->first + std::prev(next)->second;
            FUZZ_CHECK(offset + granted <= nextStart, "the block at offset %llu runs into the held one at %llu",
                       static_cast<unsigned long long>(offset), static_cast<unsigned long long>(nextStart));
            FUZZ_CHECK(previousEnd <= offset, "the block at offset %llu starts inside a held one ending at %llu",
                       static_cast<unsigned long long>(offset), static_cast<unsigned long long>(previousEnd));
            held[offset] = granted;
            heldBytes += granted;
        } else {
            auto victim = held.begin();
            std::advance(victim, in.ConsumeIntegralInRange<std::size_t>(0, held.size() - 1));
            pool.release(pool.base() + victim->first);
            heldBytes -= victim->second;
            held.erase(victim);
        }
        FUZZ_CHECK(pool.freeSize() == total - heldBytes, "free size %llu, held %llu of %llu",
                   static_cast<unsigned long long>(pool.freeSize()), static_cast<unsigned long long>(heldBytes),
                   static_cast<unsigned long long>(total));
        FUZZ_CHECK(listedBytes(freeLists(pool)) == total - heldBytes, "lists %llu, held %llu of %llu",
                   static_cast<unsigned long long>(listedBytes(freeLists(pool))),
                   static_cast<unsigned long long>(heldBytes), static_cast<unsigned long long>(total));
    }
    // The rest goes back from the top address down, the reverse of the map.
    for (auto at = held.rbegin(); at != held.rend(); ++at) {
        pool.release(pool.base() + at->first);
    }
    Lists after = freeLists(pool);
    FUZZ_CHECK(after == carved, "with every block back the lists differ from the carved ones (%u chunks)", chunks);
    return 0;
}
