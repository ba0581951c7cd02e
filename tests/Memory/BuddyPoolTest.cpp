// The buddy pool on its own.
#include "Memory/BuddyPool.h"

#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

using Orvane::Memory::Detail::BuddyPool;
using Orvane::Testing::CapturePrinter;

namespace {

constexpr std::uint64_t kChunk = 1024;

// Counts the reservations the pool takes and gives back.
int g_reserved = 0;
int g_givenBack = 0;
void* countingAllocate(std::size_t size) {
    ++g_reserved;
    return std::malloc(size);
}
void countingRelease(void* memory) {
    ++g_givenBack;
    std::free(memory);
}

// A pool of the given number of 1 KiB chunks, created quietly.
struct TestPool {
    explicit TestPool(std::uint32_t chunks) {
        CapturePrinter quiet;
        pool.create(std::uint64_t{chunks} * kChunk, kChunk, BuddyPool::Allocate(&countingAllocate),
                    BuddyPool::Release(&countingRelease));
    }
    unsigned char* chunk(std::uint32_t index) const { return pool.base() + index * kChunk; }
    void* take(std::uint64_t& size) { return pool.allocate(size); }

    BuddyPool pool;
};

// (order, chunk index) of every free block, list by list.
using Blocks = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
Blocks freeBlocks(BuddyPool& pool) {
    Blocks blocks;
    for (std::uint32_t k = 0; k < pool.orderCount(); ++k) {
        for (std::uint32_t index : pool.freeBlocks(k)) {
            blocks.emplace_back(k, index);
        }
    }
    return blocks;
}

// A 3000-chunk pool: 2048 + 512 + 256 + 128 + 32 + 16 + 8, laid out upward.
const Blocks kOddPool = {{3, 2992}, {4, 2976}, {5, 2944}, {7, 2816}, {8, 2560}, {9, 2048}, {11, 0}};

} // namespace

TEST(BuddyPoolTest, CarvesFromTheTopOrderDownOnAChunkBoundary) {
    TestPool whole(2048);
    EXPECT_EQ(whole.pool.orderCount(), 12u);
    EXPECT_EQ(freeBlocks(whole.pool), (Blocks{{11, 0}}));
    const auto base = reinterpret_cast<std::uintptr_t>(whole.pool.base());
    const auto shift = base - reinterpret_cast<std::uintptr_t>(whole.pool.memory());
    EXPECT_TRUE(base % kChunk == 0 && shift < kChunk) << "the spare chunk absorbs the shift";

    TestPool odd(3000);
    EXPECT_EQ(odd.pool.orderCount(), 12u);
    EXPECT_EQ(freeBlocks(odd.pool), kOddPool);
    EXPECT_EQ(odd.pool.freeSize(), 3000 * kChunk);
}

TEST(BuddyPoolTest, GrantsThePowerOfTwoRunThatHoldsTheSize) {
    TestPool t(2048);
    std::vector<void*> held;
    std::vector<std::uint64_t> granted;
    for (const std::uint64_t ask : {1, 1024, 1025, 3000, 4096, 4097}) {
        std::uint64_t size = ask;
        held.push_back(t.take(size));
        granted.push_back(size);
    }
    EXPECT_EQ(granted, (std::vector<std::uint64_t>{1024, 1024, 2048, 4096, 4096, 8192}));
    EXPECT_EQ(t.pool.freeSize(), 2048 * kChunk - 20480) << "the granted sizes are taken";
    for (void* block : held) {
        t.pool.release(block);
    }
    EXPECT_EQ(t.pool.freeSize(), 2048 * kChunk);
    EXPECT_EQ(freeBlocks(t.pool), (Blocks{{11, 0}})) << "everything merged back";
}

TEST(BuddyPoolTest, KeepsTheHighestPieceAndPutsLowerHalvesInFront) {
    TestPool t(2048);
    std::uint64_t size = 1;
    EXPECT_EQ(t.take(size), t.chunk(2047)) << "the first block comes from the top";
    Blocks afterFirst;
    for (std::uint32_t k = 0; k < 11; ++k) {
        afterFirst.emplace_back(k, 2048 - (2u << k));
    }
    EXPECT_EQ(freeBlocks(t.pool), afterFirst) << "one lower half on every list below the split block";

    EXPECT_EQ(t.take(size), t.chunk(2046));
    EXPECT_EQ(t.take(size), t.chunk(2045)) << "an order-1 block split again";
    EXPECT_EQ(t.pool.freeBlocks(0), (std::vector<std::uint32_t>{2044}));

    // 2046's buddy (2047) is held, so it stays on list 0, in front of 2044.
    t.pool.release(t.chunk(2046));
    EXPECT_EQ(t.pool.freeBlocks(0), (std::vector<std::uint32_t>{2046, 2044}));
    t.pool.release(t.chunk(2047));
    EXPECT_EQ(t.pool.freeBlocks(0), (std::vector<std::uint32_t>{2044}));
    EXPECT_EQ(t.pool.freeBlocks(1).front(), 2046u) << "2046 and 2047 merged into the front of list 1";
    t.pool.release(t.chunk(2045));
    EXPECT_EQ(freeBlocks(t.pool), (Blocks{{11, 0}}));
}

TEST(BuddyPoolTest, OddPoolRefusesOversizeAndNeverMergesAcrossCarvedBounds) {
    TestPool t(3000);
    for (std::uint64_t wanted : {std::uint64_t{0}, 2048 * kChunk + 1, 3000 * kChunk}) {
        std::uint64_t size = wanted;
        EXPECT_EQ(t.take(size), nullptr) << wanted;
        EXPECT_EQ(size, wanted) << "a refused size is left alone";
    }
    std::uint64_t size = 2048 * kChunk;
    EXPECT_EQ(t.take(size), t.chunk(0)) << "the largest block is granted";
    t.pool.release(t.chunk(0));

    std::vector<void*> held;
    for (size = 1; void* block = t.take(size); size = 1) {
        held.push_back(block);
    }
    EXPECT_EQ(held.size(), 3000u);
    EXPECT_EQ(t.pool.freeSize(), 0u);
    std::shuffle(held.begin(), held.end(), std::mt19937(7));
    for (void* block : held) {
        t.pool.release(block);
    }
    EXPECT_EQ(freeBlocks(t.pool), kOddPool);
    EXPECT_EQ(t.pool.freeSize(), 3000 * kChunk);
}

TEST(BuddyPoolTest, TwoThreadsSplittingAndMergingLeaveTheWholePool) {
    TestPool t(512);
    auto churn = [&t](unsigned seed) {
        std::mt19937 random(seed);
        std::vector<void*> held;
        for (int round = 0; round < 20000; ++round) {
            if (held.size() < 8 && (random() & 1) == 0) {
                std::uint64_t size = 1 + random() % (16 * kChunk);
                if (void* block = t.take(size)) {
                    // Marked at both ends so ASan or the other thread's check sees overlaps.
                    static_cast<unsigned char*>(block)[0] = static_cast<unsigned char>(seed);
                    static_cast<unsigned char*>(block)[size - 1] = static_cast<unsigned char>(seed);
                    held.push_back(block);
                }
            } else if (!held.empty()) {
                EXPECT_EQ(static_cast<unsigned char*>(held.back())[0], static_cast<unsigned char>(seed));
                t.pool.release(held.back());
                held.pop_back();
            }
        }
        for (void* block : held) {
            t.pool.release(block);
        }
    };
    std::thread other(churn, 1u);
    churn(2u);
    other.join();
    EXPECT_EQ(t.pool.freeSize(), 512 * kChunk);
    EXPECT_EQ(freeBlocks(t.pool), (Blocks{{9, 0}}));
}

TEST(BuddyPoolTest, ClosingGivesThePoolBackOnceTheLastBlockReturns) {
    g_reserved = g_givenBack = 0;
    {
        TestPool idle(16);
        idle.pool.close();
        EXPECT_EQ(g_givenBack, 1) << "nothing out: given back at once";
        std::uint64_t size = 1;
        EXPECT_EQ(idle.take(size), nullptr) << "a given-back pool grants nothing";
        EXPECT_EQ(idle.pool.freeSize(), 0u);
    }
    EXPECT_EQ(g_givenBack, 1) << "and not a second time";

    TestPool busy(16);
    std::uint64_t size = 1;
    void* first = busy.take(size);
    void* second = busy.take(size);
    busy.pool.close();
    busy.pool.release(first);
    EXPECT_EQ(g_givenBack, 1) << "a block is still out";
    busy.pool.release(second);
    EXPECT_EQ(g_givenBack, 2);
    EXPECT_EQ(g_reserved, 2);
}

TEST(BuddyPoolTest, DumpsEveryListAndBlock) {
    TestPool t(6);
    CapturePrinter capture;
    t.pool.dumpFreeLists();
    const std::vector<std::string> lines = capture.lines();
    const std::vector<std::string> expected = {
        "BufferList id:0, order:1, head:", "BufferList id:1, order:2, head:", "bufflist:1, id:0, realIdx:4, self:",
        "BufferList id:2, order:3, head:", "bufflist:2, id:0, realIdx:0, self:"};
    ASSERT_EQ(lines.size(), expected.size()) << capture.text();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];
    }
    EXPECT_NE(lines[2].find(", order:2, pre:"), std::string::npos) << lines[2];
}

TEST(BuddyPoolDeathTest, ReleasingBelowThePoolOrTwiceEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TestPool t(4);
    EXPECT_DEATH(t.pool.release(t.pool.base() - kChunk), "assertion \\(id >= 0\\) failed");
    std::uint64_t size = 1;
    void* block = t.take(size);
    t.pool.release(block);
    EXPECT_DEATH(t.pool.release(block), "assertion \\(order > 0\\) failed");
}
