// The memory pools churned from two threads at once, round after round.
//
// Buddy pool: an odd pool of 3000 chunks (so its carved blocks have no
// buddies), two threads taking and giving back blocks of random sizes, each
// block marked at both ends by its holder. Fixed-size pool: two threads take
// and free 64-byte units, each filled with its holder's mark. Checked: a
// held block or unit keeps its holder's mark (nobody else was given it); the
// buddy pool is whole again after every round, every chunk can be taken one
// by one and giving them back in random order rebuilds exactly the carved
// blocks; the fixed-size pool then hands out distinct units.
#include "support/StressRun.h"
#include "support/OnThreads.h"

#include "Src/Memory/BuddyPool.h"
#include "memory/MemPool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using Orvane::Memory::Detail::BuddyPool;
using Orvane::Memory::Detail::CMemPool;
using Orvane::Testing::onThreads;

namespace {

constexpr std::uint64_t kChunk = 1024;
constexpr std::uint32_t kChunks = 3000;

// (order, chunk index) of every free block, list by list.
std::vector<std::pair<std::uint32_t, std::uint32_t>> freeBlocks(BuddyPool& pool) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> blocks;
    for (std::uint32_t k = 0; k < pool.orderCount(); ++k) {
        for (std::uint32_t index : pool.freeBlocks(k)) {
            blocks.emplace_back(k, index);
        }
    }
    return blocks;
}

void buddyRound(Stress::Run& run, BuddyPool& pool, unsigned seed) {
    const auto carved = freeBlocks(pool);
    std::atomic<long> overwritten{0};
    onThreads(2, [&](int thread) {
        std::mt19937& rng = Stress::random(seed + static_cast<unsigned>(thread));
        std::vector<std::pair<unsigned char*, std::uint64_t>> held;
        const auto mark = static_cast<unsigned char>(thread + 1);
        for (int round = 0; round < 20000; ++round) {
            std::uint64_t want = 1 + Stress::below(rng, 16 * kChunk);
            const std::uint64_t asked = want;
            if (held.size() < 8 && (rng() & 1) == 0) {
                if (auto* block = static_cast<unsigned char*>(pool.allocate(want))) {
                    block[0] = block[asked - 1] = mark;
                    held.emplace_back(block, asked);
                }
            } else if (!held.empty()) {
                overwritten += held.back().first[0] != mark || held.back().first[held.back().second - 1] != mark;
                pool.release(held.back().first);
                held.pop_back();
            }
        }
        for (const auto& block : held) {
            pool.release(block.first);
        }
    });
    run.check(overwritten.load() == 0, "no buddy block was handed to two holders");
    run.check(freeBlocks(pool) == carved, "the buddy pool is whole again after the churn");
    std::vector<void*> chunks;
    std::uint64_t one = 1;
    while (void* block = pool.allocate(one)) {
        chunks.push_back(block);
        one = 1;
    }
    run.check(chunks.size() == kChunks, "every chunk can be taken: " + std::to_string(chunks.size()));
    std::shuffle(chunks.begin(), chunks.end(), Stress::random(seed));
    for (void* block : chunks) {
        pool.release(block);
    }
    run.check(freeBlocks(pool) == carved, "chunks given back in any order merge into exactly the carved blocks");
    run.check(pool.freeSize() == kChunks * kChunk, "chunks given back in any order free " +
                                                       std::to_string(pool.freeSize()) + " bytes, not " +
                                                       std::to_string(kChunks * kChunk));
}

void fixedRound(Stress::Run& run) {
    CMemPool pool(64, 16);
    std::atomic<long> overwritten{0};
    onThreads(2, [&](int thread) {
        const auto mark = static_cast<unsigned char>(0xA1 + thread);
        std::vector<unsigned char*> held;
        for (int round = 0; round < 20000; ++round) {
            if (held.size() < 40 && round % 3 != 2) {
                auto* unit = static_cast<unsigned char*>(pool.malloc());
                std::memset(unit, mark, 64);
                held.push_back(unit);
            } else if (!held.empty()) {
                overwritten += held.back()[0] != mark || held.back()[63] != mark;
                pool.free(held.back());
                held.pop_back();
            }
        }
        for (unsigned char* unit : held) {
            pool.free(unit);
        }
    });
    run.check(overwritten.load() == 0, "no fixed-size unit was handed to two holders");
    std::set<void*> distinct;
    for (int i = 0; i < 100; ++i) {
        distinct.insert(pool.malloc());
    }
    run.check(distinct.size() == 100, "the fixed-size pool hands out distinct units after the churn");
}

} // namespace

int main(int argc, char** argv) {
    Stress::Run run("PoolChurnStress", argc, argv);
    BuddyPool pool;
    pool.create(kChunks * kChunk, kChunk, BuddyPool::Allocate(&std::malloc), BuddyPool::Release(&std::free));
    long rounds = 0;
    while (run.running()) {
        buddyRound(run, pool, 4000u + static_cast<unsigned>(rounds) * 2);
        fixedRound(run);
        ++rounds;
    }
    std::printf("PoolChurnStress: %ld rounds of buddy-pool and fixed-size-pool churn on two threads\n", rounds);
    return run.finish();
}
