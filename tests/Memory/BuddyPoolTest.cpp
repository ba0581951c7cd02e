// The buddy pool on its own: how blocks are carved, split, merged and listed.
#include "Memory/BuddyPool.h"

#include "support/Testing.h"

using namespace Orvane::Testing;
using Orvane::Memory::Detail::BuddyPool;
using Blocks = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

static constexpr std::uint64_t kChunk = 1024;
static int g_givenBack = 0; // times the pool memory was given back

// A pool of the given number of 1 KiB chunks, created quietly.
struct TestPool {
    explicit TestPool(std::uint32_t chunks) {
        CapturePrinter quiet;
        pool.create(std::uint64_t{chunks} * kChunk, kChunk, BuddyPool::Allocate(&std::malloc),
                    BuddyPool::Release(+[](void* memory) {
                        ++g_givenBack;
                        std::free(memory);
                    }));
    }
    unsigned char* chunk(std::uint32_t index) const { return pool.base() + index * kChunk; }
    void* take(std::uint64_t size = 1) { return pool.allocate(size); }
    // (order, chunk index) of every free block, list by list.
    Blocks freeBlocks() {
        Blocks blocks;
        for (std::uint32_t k = 0; k < pool.orderCount(); ++k) {
            for (std::uint32_t index : pool.freeBlocks(k)) {
                blocks.emplace_back(k, index);
            }
        }
        return blocks;
    }
    void releaseAll(std::vector<void*>& blocks) {
        std::for_each(blocks.begin(), blocks.end(), [this](void* block) { block ? pool.release(block) : void(); });
        blocks.clear();
    }
    BuddyPool pool;
};

// A 3000-chunk pool: 2048 + 512 + 256 + 128 + 32 + 16 + 8, laid out upward.
static const Blocks kOddPool = {{3, 2992}, {4, 2976}, {5, 2944}, {7, 2816}, {8, 2560}, {9, 2048}, {11, 0}};

TEST(BuddyPoolTest, CarvingSplittingAndMergingInListOrder) {
    TestPool whole(2048), odd(3000);
    const auto base = reinterpret_cast<std::uintptr_t>(whole.pool.base());
    // The spare chunk absorbs the shift to a chunk boundary.
    EXPECT_TRUE(base % kChunk == 0 && base - reinterpret_cast<std::uintptr_t>(whole.pool.memory()) < kChunk);
    EXPECT_EQ(std::make_pair(whole.pool.orderCount(), odd.pool.orderCount()), std::make_pair(12u, 12u));
    EXPECT_EQ(whole.freeBlocks(), (Blocks{{11, 0}}));
    EXPECT_EQ(odd.freeBlocks(), kOddPool);
    // The largest block is granted whole; any order of releases is the buddy pool fuzz target's.
    EXPECT_EQ(odd.take(2048 * kChunk), odd.chunk(0));
    odd.pool.release(odd.chunk(0));
    EXPECT_EQ(odd.freeBlocks(), kOddPool);

    // The highest piece is kept; lower halves go in front of their lists.
    EXPECT_EQ(whole.take(), whole.chunk(2047));
    Blocks afterFirst;
    for (std::uint32_t k = 0; k < 11; ++k) {
        afterFirst.emplace_back(k, 2048 - (2u << k));
    }
    EXPECT_EQ(whole.freeBlocks(), afterFirst); // one lower half on every list below the split block
    EXPECT_EQ(std::vector<void*>({whole.take(), whole.take()}),
              std::vector<void*>({whole.chunk(2046), whole.chunk(2045)}));
    EXPECT_EQ(whole.pool.freeBlocks(0), (std::vector<std::uint32_t>{2044}));
    whole.pool.release(whole.chunk(2046)); // its buddy 2047 is held: it stays on list 0, in front
    EXPECT_EQ(whole.pool.freeBlocks(0), (std::vector<std::uint32_t>{2046, 2044}));
    whole.pool.release(whole.chunk(2047)); // 2046 and 2047 merge into the front of list 1
    EXPECT_EQ(std::make_pair(whole.pool.freeBlocks(0), whole.pool.freeBlocks(1).front()),
              std::make_pair(std::vector<std::uint32_t>{2044}, 2046u));
    whole.pool.release(whole.chunk(2045));
    EXPECT_EQ(whole.freeBlocks(), (Blocks{{11, 0}}));

    // Grants are power-of-two runs; refused sizes are left alone.
    std::vector<std::uint64_t> granted;
    std::vector<void*> held;
    for (std::uint64_t size : {std::uint64_t{1}, std::uint64_t{1024}, std::uint64_t{1025}, std::uint64_t{3000},
                               std::uint64_t{4097}, std::uint64_t{0}, 2048 * kChunk + 1}) {
        held.push_back(whole.pool.allocate(size));
        granted.push_back(held.back() != nullptr ? size : 0);
    }
    EXPECT_EQ(granted, (std::vector<std::uint64_t>{1024, 1024, 2048, 4096, 8192, 0, 0}));
    EXPECT_EQ(whole.pool.freeSize(), 2048 * kChunk - 16384);
    whole.releaseAll(held);
    EXPECT_EQ(whole.freeBlocks(), (Blocks{{11, 0}}));
}

TEST(BuddyPoolTest, ClosingGivesThePoolBackOnceTheLastBlockReturns) {
    g_givenBack = 0;
    {
        TestPool idle(16);
        idle.pool.close();                                                 // nothing out: given back at once
        EXPECT_TRUE(idle.take() == nullptr && idle.pool.freeSize() == 0u); // a given-back pool grants nothing
    }
    TestPool busy(16);
    std::vector<void*> held = {busy.take(), busy.take()};
    busy.pool.close();
    busy.pool.release(held[0]);
    const int whileOut = g_givenBack;
    busy.pool.release(held[1]);
    EXPECT_EQ(std::vector<int>({whileOut, g_givenBack}), std::vector<int>({1, 2}));
}

TEST(BuddyPoolTest, DumpsEveryListAndBlock) {
    TestPool t(6);
    Lines lines = reported([&] { t.pool.dumpFreeLists(); });
    EXPECT_NE(lines.at(2).find(", order:2, pre:"), std::string::npos) << lines[2];
    for (std::string& line : lines) { // each up to its first address, which follows "head:" or "self:"
        line.resize(std::min(line.find("head:"), line.find("self:")) + 5);
    }
    EXPECT_EQ(lines, (Lines{"BufferList id:0, order:1, head:", "BufferList id:1, order:2, head:",
                            "bufflist:1, id:0, realIdx:4, self:", "BufferList id:2, order:3, head:",
                            "bufflist:2, id:0, realIdx:0, self:"}));
}

TEST(BuddyPoolDeathTest, ReleasingBelowThePoolOrTwiceEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TestPool t(4);
    EXPECT_DEATH(t.pool.release(t.pool.base() - kChunk), "assertion \\(id >= 0\\) failed");
    void* block = t.take();
    t.pool.release(block);
    EXPECT_DEATH(t.pool.release(block), "assertion \\(order > 0\\) failed");
}
