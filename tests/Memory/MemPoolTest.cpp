// The fixed-size pool: unit sizes, blocks and reuse order (concurrent use is the pool stress program's).
#include "memory/MemPool.h"

#include "support/Testing.h"

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
    const auto outside = [](const unsigned char* unit, const unsigned char* first, const unsigned char* end) {
        return unit < first || unit >= end;
    };
    EXPECT_PRED3(outside, units[4], units[0], units[3] + 8) << "the fifth unit comes from a second block";
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
