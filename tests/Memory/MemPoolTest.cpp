// The fixed-size pool: unit sizes, blocks, reuse order and concurrent use.
#include "memory/MemPool.h"

#include "support/Testing.h"

#include <set>

using Orvane::Memory::Detail::CMemPool;

TEST(MemPoolTest, UnitsAreAtLeastEightBytesAndBlocksHoldTheirCount) {
    CMemPool pool(3, 4), single(13, 1);
    std::vector<unsigned char*> units;
    for (int i = 0; i < 5; ++i) {
        units.push_back(static_cast<unsigned char*>(pool.malloc()));
        std::memset(units.back(), 0x7F, 8); // every unit owns its 8 bytes (ASan checks the bounds)
    }
    EXPECT_EQ(std::vector<std::ptrdiff_t>({units[1] - units[0], units[2] - units[1], units[3] - units[2]}),
              std::vector<std::ptrdiff_t>({8, 8, 8}))
        << "the first block's units in address order";
    EXPECT_TRUE(units[4] < units[0] || units[4] >= units[3] + 8) << "the fifth unit comes from a second block";
    pool.free(units[2]);
    EXPECT_EQ(pool.malloc(), units[2]) << "a freed unit is the next one handed out";
    pool.free(units[0]);
    pool.free(units[4]);
    EXPECT_EQ(std::vector<void*>({pool.malloc(), pool.malloc()}), std::vector<void*>({units[4], units[0]}));

    auto* a = static_cast<unsigned char*>(single.malloc());
    auto* b = static_cast<unsigned char*>(single.malloc());
    std::memset(a, 1, 13);
    std::memset(b, 2, 13);
    single.free(a);
    single.free(b);
    EXPECT_EQ(std::vector<void*>({single.malloc(), single.malloc()}), std::vector<void*>({b, a}));
}

TEST(MemPoolTest, ConcurrentThreadsNeverShareAUnit) {
    CMemPool pool(64, 16);
    Orvane::Testing::onThreads(2, [&pool](int thread) {
        const auto mark = static_cast<unsigned char>(0xA1 + thread);
        std::vector<unsigned char*> held;
        for (int round = 0; round < 20000; ++round) {
            if (held.size() < 40 && round % 3 != 2) {
                auto* unit = static_cast<unsigned char*>(pool.malloc());
                std::memset(unit, mark, 64);
                held.push_back(unit);
            } else if (!held.empty()) {
                ASSERT_EQ(held.back()[63], mark) << "another thread wrote into this unit";
                pool.free(held.back());
                held.pop_back();
            }
        }
        for (unsigned char* unit : held) {
            pool.free(unit);
        }
    });
    std::set<void*> distinct;
    for (int i = 0; i < 100; ++i) {
        distinct.insert(pool.malloc());
    }
    EXPECT_EQ(distinct.size(), 100u);
}
